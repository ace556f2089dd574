// The converter's command line and its run from the DAT header to the last
// video chapter: options, start-up checks, the chapter state machine and the
// calls to the writers, in order, for every event.
#pragma once

namespace tarvex {

struct RunOutcome;

// The whole program; returns the exit status: 0, 255 on a fatal error, or
// EXIT_WRITE_FAILED (74, output_file.h) when an output could not be written;
// card mode and --strict have their own, see card.h.
int converter_main(int argc, char** argv);

// The single-log command. With `outcome`, the run also prints the settings
// file's line notes and a line for a missing -s file, and records what it
// achieved.
int convert_single_log(int argc, char** argv, RunOutcome* outcome);

}  // namespace tarvex
