// The converter program: card mode, or the single-log command with or
// without --strict and --quiet.
#include <csignal>
#include <cstring>
#include <optional>
#include <string>

#include "card.h"
#include "command_line.h"
#include "console_tap.h"
#include "driver.h"
#include "exit_status.h"
#include "run_outcome.h"

namespace tarvex {
namespace {

// The single-log command. With --strict it records what the conversion
// achieved and ends with the summary line; its status is then non-zero
// where card mode counts a failure. The console shows as it goes.
int single_log_main(int argc, char** argv) {
    // The options are read once without a word, to know whether the console
    // is to be quiet before the first option is announced.
    SingleLogCommand command;
    const bool parsed = !parse_log_command(argc, argv, command, false).has_value();
    std::optional<ConsoleTap> tap;
    if (parsed && (command.quiet || command.strict)) tap.emplace(command.quiet);
    // A command line that ends before any conversion (usage, help, version)
    // keeps its own status and has nothing to sum up.
    if (const auto status = parse_log_command(argc, argv, command)) return *status;
    if (!command.strict) return convert_log(command.log, nullptr);

    ConversionResult r;
    r.exit_status = convert_log(command.log, &r.outcome);
    const RunOutcome& o = r.outcome;
    tap->start_summary();
    print_summary_line(command.log.dat_path, r, o.settings_found ? std::string(o.settings_path.data()) : "defaults");
    if (conversion_converted(r)) return EXIT_CONVERTED;
    return r.exit_status > 0 ? r.exit_status : EXIT_NOT_ALL_CONVERTED;
}

int converter_main(int argc, char** argv) {
    // A file size limit (ulimit -f) would kill the program silently, leaving
    // its temporary files; ignored, the write fails with EFBIG and is
    // reported (exit status 74) like a full card.
    std::signal(SIGXFSZ, SIG_IGN);
    if (argc >= 2 && std::strcmp(argv[1], "--card") == 0) {
        CardCommand card;
        if (const auto status = parse_card_command(argc, argv, card)) return *status;
        return convert_card(card, argv[0] != nullptr ? argv[0] : "converter");
    }
    return single_log_main(argc, argv);
}

}  // namespace
}  // namespace tarvex

int main(int argc, char** argv) { return tarvex::converter_main(argc, argv); }
