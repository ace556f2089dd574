// The converter's two command lines, the single-log one and --card, read
// through one table of options.
#pragma once

#include <optional>

#include "driver.h"

namespace tarvex {

// converter --card DIR [-s settings_file] [-a number] [-g]
struct CardCommand {
    const char* dir = nullptr;
    const char* settings = nullptr;    // -s
    const char* alt_adjust = nullptr;  // -a, passed on to each log's command line as typed
    bool high_g = false;               // -g
};

// converter whatever.dat [options]: fills `command`, saying each option as it
// is taken. Returns an exit status when the program ends here (usage, help,
// version).
std::optional<int> parse_log_command(int argc, char** argv, LogCommand& command);

// converter --card DIR [options], argv[1] being "--card". As above.
std::optional<int> parse_card_command(int argc, char** argv, CardCommand& command);

}  // namespace tarvex
