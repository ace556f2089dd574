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
    LogCommand log;    // single log
    CardCommand card;  // --card
    bool help = false, version = false;
};

// One option: its names, whether the next word is its value, which command
// lines take it and what it does. The single-log command line says each
// option as it takes it.
struct OptionSpec {
    const char* short_name;  // nullptr: long name only
    const char* long_name;
    bool takes_value;
    bool single_log, card;
    void (*apply)(Options& o, const char* value);
};

constexpr OptionSpec option_table[] = {
    {"-v", "--video-file", true, true, false,
     [](Options& o, const char* v) {
         o.log.base_path = v;
         o.log.named_video = true;
         std::printf("Using video base path: %s\n", v);
     }},
    {"-s", "--settings-file", true, true, true,
     [](Options& o, const char* v) {
         if (o.command == Command::Card) {
             o.card.settings = v;
             return;
         }
         o.log.settings_path = v;
         o.log.settings_given = true;
         std::printf("Using settings file: %s\n", v);
     }},
    {"-a", "--alt-adjust", true, true, true,
     [](Options& o, const char* v) {
         if (o.command == Command::Card) {
             o.card.alt_adjust = v;
             return;
         }
         o.log.alt_adjust = strtol32(v);
         std::printf("Using altitude adjustment: %d\n", o.log.alt_adjust);
     }},
    {"-g", "--high-g", false, true, true,
     [](Options& o, const char*) {
         if (o.command == Command::Card) {
             o.card.high_g = true;
             return;
         }
         o.log.high_g = true;
         std::puts("Enabling high-G mode");
     }},
    // Card mode always reports as --strict does.
    {nullptr, "--strict", false, false, true, [](Options&, const char*) {}},
    {"-h", "--help", false, true, true, [](Options& o, const char*) { o.help = true; }},
    {nullptr, "--version", false, true, true, [](Options& o, const char*) { o.version = true; }},
};

const OptionSpec* find_option(const char* arg, Command command) {
    for (const OptionSpec& spec : option_table) {
        if (!(command == Command::Card ? spec.card : spec.single_log)) continue;
        const bool named = spec.short_name != nullptr ? is_option(arg, spec.short_name, spec.long_name)
                                                      : is_option(arg, spec.long_name);
        if (named) return &spec;
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
    std::printf("Usage: %s --card DIR [-s settings_file] [-a number] [-g]\n", prog);
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
        const OptionSpec* spec = find_option(arg, o.command);
        if (spec == nullptr) {
            std::printf("Unknown option: %s\n", arg);
            return EXIT_FATAL;
        }
        if (spec->takes_value && i + 1 >= argc) {
            print_usage(o.command, prog);
            return EXIT_FATAL;
        }
        spec->apply(o, spec->takes_value ? argv[++i] : nullptr);
        if (o.help) {
            print_usage(o.command, prog);
            return EXIT_CONVERTED;
        }
        if (o.version) {
            print_version();
            return EXIT_CONVERTED;
        }
    }
    return std::nullopt;
}

}  // namespace

std::optional<int> parse_log_command(int argc, char** argv, LogCommand& command) {
    const char* prog = program_name(argc, argv);
    if (argc < 2) {
        print_log_usage(prog);
        return EXIT_FATAL;
    }
    if (is_option(argv[1], "-h", "--help")) {
        print_log_usage(prog);
        return EXIT_CONVERTED;
    }
    if (is_option(argv[1], "--version")) {
        print_version();
        return EXIT_CONVERTED;
    }
    Options o{Command::SingleLog, {}, {}};
    o.log.dat_path = argv[1];
    o.log.base_path = argv[1];
    if (const auto status = parse_options(argc, argv, 2, o)) return status;
    command = o.log;
    return std::nullopt;
}

std::optional<int> parse_card_command(int argc, char** argv, CardCommand& command) {
    if (argc < 3) {
        print_card_usage(program_name(argc, argv));
        return EXIT_FATAL;
    }
    Options o{Command::Card, {}, {}};
    o.card.dir = argv[2];
    if (const auto status = parse_options(argc, argv, 3, o)) return status;
    command = o.card;
    return std::nullopt;
}

}  // namespace tarvex
