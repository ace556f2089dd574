#include "command_line.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "exit_status.h"
#include "option_match.h"
#include "settings.h"
#include "version.h"

namespace tarvex {

namespace {

enum class Command : std::uint8_t { SingleLog, Card };

// What the options of either command line set.
struct Options {
    Command command;
    bool announce;            // single log: say each option as it is taken
    bool silent = false;      // print nothing at all, not even usage or errors
    SingleLogCommand single;  // single log
    CardCommand card;         // --card
    bool help = false, version = false;

    LogCommand& log() { return single.log; }
    bool card_mode() const { return command == Command::Card; }
};

// One option: its names, whether the next word is its value, which command
// lines take it and what it does.
struct OptionRow {
    const char* short_name;  // nullptr: long name only
    const char* long_name;
    bool takes_value;
    bool single_log, card;
    void (*apply)(Options& o, const char* value);
};

constexpr OptionRow option_table[] = {
    {"-v", "--video-file", true, true, false,
     [](Options& o, const char* v) {
         o.log().base_path = v;
         o.log().named_video = true;
         if (o.announce) std::printf("Using video base path: %s\n", v);
     }},
    {"-s", "--settings-file", true, true, true,
     [](Options& o, const char* v) {
         if (o.card_mode()) {
             o.card.settings = v;
             return;
         }
         o.log().settings_path = v;
         o.log().settings_given = true;
         if (o.announce) std::printf("Using settings file: %s\n", v);
     }},
    {"-a", "--alt-adjust", true, true, true,
     [](Options& o, const char* v) {
         if (o.card_mode()) {
             o.card.alt_adjust = v;
             return;
         }
         o.log().alt_adjust = strtol32(v);
         if (o.announce) std::printf("Using altitude adjustment: %d\n", o.log().alt_adjust);
     }},
    {"-g", "--high-g", false, true, true,
     [](Options& o, const char*) {
         if (o.card_mode()) {
             o.card.high_g = true;
             return;
         }
         o.log().high_g = true;
         if (o.announce) std::puts("Enabling high-G mode");
     }},
    // Card mode always reports as --strict does.
    {nullptr, "--strict", false, true, true, [](Options& o, const char*) { o.single.strict = true; }},
    {nullptr, "--quiet", false, true, false, [](Options& o, const char*) { o.single.quiet = true; }},
    {nullptr, "--verbose", false, false, true, [](Options& o, const char*) { o.card.verbose = true; }},
    {"-h", "--help", false, true, true, [](Options& o, const char*) { o.help = true; }},
    {nullptr, "--version", false, true, true, [](Options& o, const char*) { o.version = true; }},
};

// The options that may also stand before the log: they are later additions to
// the single-log command line, and "converter --strict x.dat" reads
// as naturally as "converter x.dat --strict".
bool is_leading_flag(const char* arg) { return is_option(arg, "--strict") || is_option(arg, "--quiet"); }

const OptionRow* find_option(const char* arg, Command command) {
    for (const OptionRow& row : option_table) {
        if (!(command == Command::Card ? row.card : row.single_log)) continue;
        const bool named =
            row.short_name != nullptr ? is_option(arg, row.short_name, row.long_name) : is_option(arg, row.long_name);
        if (named) return &row;
    }
    return nullptr;
}

const char* program_name(int argc, char** argv) { return argc > 0 && argv[0] != nullptr ? argv[0] : "converter"; }

void print_log_usage(const char* prog) {
    std::puts("Wrong arguments.");
    std::printf("Usage: %s whatever.dat [-a number] [-s settings_file] [-v video_file] [-g]\n\n", prog);
    std::puts("-a <number> or --alt-adjust <number>");
    std::puts("\tAdjust the altitude in CSV and SRT file by the given number of feet.");
    std::puts("\tNegative numbers allowed. This gets *added* to the altitude that would");
    std::puts("\tnormally be produced.\n");
    std::puts("-s <settings_whatever.txt> or --settings-file <settings_whatever.txt>");
    std::puts("\tUse the given settings text file. If option not specified, then");
    std::puts("\t\"settings.txt\" in current directory is used. If that doesn't exist,");
    std::puts("\tdefaults are used.\n");
    std::puts("-v <video file> or --video-file <video file>");
    std::puts("\tProduce subtitles for the given MP4 file. For multi-chapter files,");
    std::puts("\tprovide name of first chapter. If not specified, the name of the DAT");
    std::puts("\tfile determines the name of the output SRT/CSV files.\n");
    std::puts("-g or --high-g");
    std::puts("\tAssume 200G accelerometer, instead of 16G.\n");
}

void print_card_usage(const char* prog) {
    std::printf("Usage: %s --card DIR [-s settings_file] [-a number] [-g] [--verbose]\n", prog);
}

// After the usage text of -h: the options added to the single-log command line.
void print_added_options() {
    std::puts("--strict");
    std::puts("\tThen print a summary line; exit 1 when the log was not converted completely.");
    std::puts("--quiet");
    std::puts("\tPrint only warnings, errors and (with --strict) the summary line.");
    std::puts("--card DIR [-s settings_file] [-a number] [-g] [--verbose]");
    std::puts("\tConvert every sensor log under DIR beside its video chapters, with a summary");
    std::puts("\tline per log; --verbose also prints each log's console.");
    std::puts("--version");
    std::puts("\tPrint the program's name and version.");
}

void print_usage(Command command, const char* prog) {
    if (command == Command::Card) print_card_usage(prog);
    else print_log_usage(prog);
}

void print_version() { std::printf("converter %s\n", PROGRAM_VERSION); }

// The options from argv[first] on. Returns an exit status when the program
// ends here.
std::optional<int> parse_options(int argc, char** argv, int first, Options& o) {
    const char* prog = program_name(argc, argv);
    for (int i = first; i < argc; ++i) {
        const char* arg = argv[i];
        const OptionRow* row = find_option(arg, o.command);
        if (row == nullptr) {
            if (!o.silent) std::printf("Unknown option: %s\n", arg);
            return EXIT_FATAL;
        }
        if (row->takes_value && i + 1 >= argc) {
            if (!o.silent) print_usage(o.command, prog);
            return EXIT_FATAL;
        }
        row->apply(o, row->takes_value ? argv[++i] : nullptr);
        if (o.help) {
            if (o.silent) return EXIT_CONVERTED;
            print_usage(o.command, prog);
            if (o.command == Command::SingleLog) print_added_options();
            return EXIT_CONVERTED;
        }
        if (o.version) {
            if (!o.silent) print_version();
            return EXIT_CONVERTED;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> parse_log_command(int argc, char** argv, SingleLogCommand& command, bool announce) {
    const char* prog = program_name(argc, argv);
    Options o{Command::SingleLog, announce, !announce, {}, {}};
    int first = 1;
    for (; first < argc && is_leading_flag(argv[first]); ++first)
        find_option(argv[first], o.command)->apply(o, nullptr);
    if (first >= argc) {
        if (!o.silent) print_log_usage(prog);
        return EXIT_FATAL;
    }
    if (is_option(argv[first], "-h", "--help")) {
        if (!o.silent) {
            print_log_usage(prog);
            print_added_options();
        }
        return EXIT_CONVERTED;
    }
    if (is_option(argv[first], "--version")) {
        if (!o.silent) print_version();
        return EXIT_CONVERTED;
    }
    o.log().dat_path = argv[first];
    o.log().base_path = argv[first];
    if (const auto status = parse_options(argc, argv, first + 1, o)) return status;
    command = o.single;
    return std::nullopt;
}

std::optional<int> parse_card_command(int argc, char** argv, CardCommand& command) {
    if (argc < 3) {
        print_card_usage(program_name(argc, argv));
        return EXIT_FATAL;
    }
    Options o{Command::Card, false, false, {}, {}};
    o.card.dir = argv[2];
    if (const auto status = parse_options(argc, argv, 3, o)) return status;
    command = o.card;
    return std::nullopt;
}

}  // namespace tarvex
