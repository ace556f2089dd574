// One log's conversion, from the DAT header to the last video chapter:
// start-up checks, the chapter state machine and the calls to the writers,
// in order, for every event.
#pragma once

#include <cstdint>
#include <cstdio>

namespace tarvex {

class OutputPlace;
struct RunOutcome;
struct Settings;

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

// Where a conversion learns each chapter's length.
class ChapterLengths {
public:
    // The length in ms of chapter `index`, whose video is `mp4_path`; -1
    // when there is no such chapter.
    virtual std::int32_t length_ms(const char* mp4_path, std::int32_t index) = 0;

protected:
    ~ChapterLengths() = default;
};

// The conversion's two ways out to the world besides the log and the
// console. The fuzz target replaces both, to run the real conversion in
// memory; nullptr takes the real one.
struct ConversionSeams {
    ChapterLengths* chapters = nullptr;  // the MP4 files' own durations
    OutputPlace* outputs = nullptr;      // files in the file system
};

// convert_log for a log already open (at its start), with `settings` as
// loaded, from the header on: the header check, the settings for this log,
// the chapters and their outputs. `command` gives the names and -a / -g.
int convert_open_log(const LogCommand& command, std::FILE* dat, const Settings& settings, const ConversionSeams& seams,
                     RunOutcome* outcome);

}  // namespace tarvex
