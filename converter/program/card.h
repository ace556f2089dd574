// Card mode: every sensor log on a camera card converted beside its video
// chapters in one command, with a summary line per log and a total.
#pragma once

#include "command_line.h"

namespace tarvex {

// Converts every log under command.dir, each in a child process running the
// single-log command line of `prog`; returns the exit status (exit_status.h).
int convert_card(const CardCommand& command, const char* prog);

}  // namespace tarvex
