// The converter program: card mode, --strict or the single-log command.
#include <cstring>
#include <string>
#include <vector>

#include "card.h"
#include "command_line.h"
#include "driver.h"
#include "exit_status.h"
#include "run_outcome.h"

namespace tarvex {
namespace {

// The single-log command, then its summary line; non-zero where card mode
// counts a failure. The conversion's console shows as it goes.
int strict_main(int argc, char** argv) {
    LogCommand command;
    // A command line that ended before any conversion (usage, help, version)
    // keeps its own status and has nothing to sum up.
    if (const auto status = parse_log_command(argc, argv, command)) return *status;
    ConversionResult r;
    r.exit_status = convert_log(command, &r.outcome);
    const RunOutcome& o = r.outcome;
    print_summary_line(argv[1], r, o.settings_found ? std::string(o.settings_path.data()) : "defaults");
    if (conversion_converted(r)) return EXIT_CONVERTED;
    return r.exit_status > 0 ? r.exit_status : EXIT_NOT_ALL_CONVERTED;
}

int converter_main(int argc, char** argv) {
    if (argc >= 2 && std::strcmp(argv[1], "--card") == 0) {
        CardCommand card;
        if (const auto status = parse_card_command(argc, argv, card)) return *status;
        return convert_card(card, argv[0] != nullptr ? argv[0] : "converter");
    }
    // --strict may stand anywhere after the program name; the rest is the
    // single-log command line.
    std::vector<char*> rest;
    bool strict = false;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::strcmp(argv[i], "--strict") == 0) strict = true;
        else rest.push_back(argv[i]);
    }
    if (strict) {
        rest.push_back(nullptr);
        return strict_main(static_cast<int>(rest.size()) - 1, rest.data());
    }
    LogCommand command;
    if (const auto status = parse_log_command(argc, argv, command)) return *status;
    return convert_log(command, nullptr);
}

}  // namespace
}  // namespace tarvex

int main(int argc, char** argv) { return tarvex::converter_main(argc, argv); }
