// The converter's two command lines, the single-log one and --card, read
// through one table of options.
#pragma once

#include <optional>

#include "driver.h"

namespace tarvex {

// converter whatever.dat [options]
struct SingleLogCommand {
    LogCommand log;
    bool strict = false;  // --strict: a summary line, and a status that says whether all was converted
    bool quiet = false;   // --quiet: only warnings, errors and the summary line
};

// converter --card DIR [options]
struct CardCommand {
    const char* dir = nullptr;
    const char* settings = nullptr;    // -s
    const char* alt_adjust = nullptr;  // -a, passed on to each log's command line as typed
    bool high_g = false;               // -g
    bool verbose = false;              // --verbose: each log's console too
};

// Reads the single-log command line into `command`, saying each option as
// it is taken; without `announce`, prints nothing at all (not even usage or
// errors). Returns an exit status when the program ends here (usage, help,
// version).
std::optional<int> parse_log_command(int argc, char** argv, SingleLogCommand& command, bool announce = true);

// converter --card DIR [options], argv[1] being "--card". As above.
std::optional<int> parse_card_command(int argc, char** argv, CardCommand& command);

}  // namespace tarvex
