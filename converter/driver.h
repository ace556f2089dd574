// One log's conversion, from the DAT header to the last video chapter:
// start-up checks, the chapter state machine and the calls to the writers,
// in order, for every event.
#pragma once

#include <cstdint>

namespace tarvex {

struct RunOutcome;

// What the command line asks of one log's conversion.
struct LogCommand {
    const char* dat_path = nullptr;
    const char* base_path = nullptr;  // -v, else the DAT path
    const char* settings_path = "settings.txt";
    bool settings_given = false;  // -s
    bool named_video = false;     // -v
    std::int32_t alt_adjust = 0;  // ft, -a
    bool high_g = false;          // -g
};

// Converts the log; returns the exit status (exit_status.h): 0, EXIT_FATAL
// or EXIT_WRITE_FAILED. With `outcome`, the run also prints the settings
// file's line notes and a line for a missing -s file, and records what it
// achieved and, on failure, why.
int convert_log(const LogCommand& command, RunOutcome* outcome);

}  // namespace tarvex
