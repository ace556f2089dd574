// Card mode: finds the sensor logs under a folder (the post-processing hook
// leaves each beside its recording's first chapter, but any folder counts),
// picks each log's settings file, converts every log as the single-log
// command would and says what came of each. Also --strict, which is one such
// conversion of the log the user named.
#include "card.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "dat_format.h"
#include "log_jobs.h"
#include "option_match.h"
#include "version.h"

namespace tarvex {

namespace {

namespace fs = std::filesystem;

// The settings file the card keeps for all its logs, relative to the card.
constexpr const char* CARD_SETTINGS = "tarvex/settings.txt";
constexpr const char* LOG_SETTINGS = "settings.txt";

struct CardOptions {
    const char* dir = nullptr;
    const char* settings = nullptr;    // -s
    const char* alt_adjust = nullptr;  // -a, passed on as typed
    bool high_g = false;
};

void print_card_usage(const char* prog) {
    std::printf("Usage: %s --card DIR [-s settings_file] [-a number] [-g]\n", prog);
}

// Returns an exit status when the program ends here.
std::optional<int> parse_card_options(int argc, char** argv, CardOptions& opt) {
    const char* prog = argv[0] != nullptr ? argv[0] : "converter";
    if (argc < 3) {
        print_card_usage(prog);
        return EXIT_USAGE;
    }
    opt.dir = argv[2];
    for (int i = 3; i < argc; ++i) {
        const char* arg = argv[i];
        const bool takes_value = is_option(arg, "-s", "--settings-file") || is_option(arg, "-a", "--alt-adjust");
        if (takes_value && i + 1 >= argc) {
            print_card_usage(prog);
            return EXIT_USAGE;
        }
        if (is_option(arg, "-s", "--settings-file")) {
            opt.settings = argv[++i];
        } else if (is_option(arg, "-a", "--alt-adjust")) {
            opt.alt_adjust = argv[++i];
        } else if (is_option(arg, "-g", "--high-g")) {
            opt.high_g = true;
        } else if (std::strcmp(arg, "--strict") == 0) {
            // Card mode always reports as --strict does.
        } else if (is_option(arg, "-h", "--help")) {
            print_card_usage(prog);
            return 0;
        } else if (std::strcmp(arg, "--version") == 0) {
            std::printf("converter %s\n", PROGRAM_VERSION);
            return 0;
        } else {
            std::printf("Unknown option: %s\n", arg);
            return EXIT_USAGE;
        }
    }
    return std::nullopt;
}

bool is_regular_file(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

// A sensor log starts with the DAT magic; other files named .DAT are not ours.
bool has_log_magic(const fs::path& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return true;  // unreadable: let the conversion say why
    std::uint8_t start[sizeof DAT_MAGIC] = {};
    const std::size_t n = std::fread(start, 1, sizeof start, f);
    std::fclose(f);
    return has_dat_magic(std::span(start, n));
}

bool has_dat_extension(const fs::path& path) {
    std::string ext = path.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext == ".dat";
}

struct CardLog {
    std::string shown;     // path relative to the card folder
    fs::path path;         // absolute
    std::string settings;  // what the child reads ("" for the defaults)
    std::string settings_shown;
};

// Every file under `dir` named *.DAT (any case), in name order; the ones
// without the log magic go to `others`.
std::vector<CardLog> find_logs(const fs::path& dir, std::vector<std::string>& others, std::error_code& ec) {
    std::vector<CardLog> logs;
    fs::recursive_directory_iterator it(dir, fs::directory_options::skip_permission_denied, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code type_ec;
        if (!it->is_regular_file(type_ec) || !has_dat_extension(it->path())) continue;
        const std::string shown = it->path().lexically_relative(dir).generic_string();
        if (has_log_magic(it->path())) logs.push_back({shown, fs::absolute(it->path()), "", ""});
        else others.push_back(shown);
    }
    std::sort(logs.begin(), logs.end(), [](const CardLog& a, const CardLog& b) { return a.shown < b.shown; });
    std::sort(others.begin(), others.end());
    return logs;
}

// First found wins: -s, settings.txt beside the log, the card's tarvex/settings.txt.
void choose_settings(CardLog& log, const fs::path& dir, const CardOptions& opt, bool given_found) {
    if (given_found) {
        log.settings = fs::absolute(opt.settings).string();
        log.settings_shown = opt.settings;
        return;
    }
    const fs::path beside = log.path.parent_path() / LOG_SETTINGS;
    if (is_regular_file(beside.string())) {
        log.settings = LOG_SETTINGS;  // the conversion runs in the log's folder
        log.settings_shown = fs::path(log.shown).parent_path().empty()
                                 ? std::string(LOG_SETTINGS)
                                 : (fs::path(log.shown).parent_path() / LOG_SETTINGS).generic_string();
        return;
    }
    const fs::path card = dir / CARD_SETTINGS;
    if (is_regular_file(card.string())) {
        log.settings = fs::absolute(card).string();
        log.settings_shown = CARD_SETTINGS;
        return;
    }
    log.settings_shown = "defaults";
}

LogJob job_for(const CardLog& log, const CardOptions& opt, const char* prog) {
    LogJob job;
    job.folder = log.path.parent_path().string();
    job.args = {prog, log.path.filename().string()};
    if (!log.settings.empty()) job.args.insert(job.args.end(), {"-s", log.settings});
    if (opt.alt_adjust != nullptr) job.args.insert(job.args.end(), {"-a", opt.alt_adjust});
    if (opt.high_g) job.args.push_back("-g");
    return job;
}

}  // namespace

int card_main(int argc, char** argv) {
    CardOptions opt;
    if (const auto status = parse_card_options(argc, argv, opt)) return *status;
    const char* prog = argv[0] != nullptr ? argv[0] : "converter";

    const fs::path dir(opt.dir);
    std::vector<std::string> others;
    std::error_code ec;
    std::vector<CardLog> logs = find_logs(dir, others, ec);
    if (ec) {
        std::printf("Cannot read the card folder %s: %s\n", opt.dir, ec.message().c_str());
        return EXIT_NO_LOGS;
    }
    for (const std::string& name : others) std::printf("%s: not a sensor log, skipped\n", name.c_str());
    if (logs.empty()) {
        std::printf("No sensor logs found under %s\n", opt.dir);
        return EXIT_NO_LOGS;
    }

    const bool given_found = opt.settings != nullptr && is_regular_file(opt.settings);
    if (opt.settings != nullptr && !given_found) {
        std::printf(
            "Settings file %s not found: each log uses the settings.txt beside it, else the card's %s, "
            "else the defaults.\n",
            opt.settings, CARD_SETTINGS);
    }
    std::vector<LogJob> jobs;
    for (CardLog& log : logs) {
        choose_settings(log, dir, opt, given_found);
        jobs.push_back(job_for(log, opt, prog));
    }

    const std::vector<JobResult> results = run_log_jobs(jobs, parallel_job_limit(), [&](std::size_t i) {
        std::printf("Converting %s (settings: %s)\n", logs[i].shown.c_str(), logs[i].settings_shown.c_str());
    });

    std::size_t converted = 0;
    for (std::size_t i = 0; i < logs.size(); ++i) {
        print_summary_line(logs[i].shown, results[i], logs[i].settings_shown);
        if (job_converted(results[i])) ++converted;
    }
    std::printf("%zu log%s: %zu converted, %zu failed\n", logs.size(), logs.size() == 1 ? "" : "s", converted,
                logs.size() - converted);
    return converted == logs.size() ? EXIT_ALL_CONVERTED : EXIT_NOT_ALL_CONVERTED;
}

int strict_main(int argc, char** argv) {
    LogJob job;
    job.args.assign(argv, argv + argc);
    const std::vector<JobResult> results = run_log_jobs({job}, 1, [](std::size_t) {});
    const JobResult& r = results.front();
    // A command line that ended before any conversion (usage, help, version)
    // keeps its own status and has nothing to sum up.
    if (r.signal == 0 && !r.outcome.started) return r.exit_status;
    const RunOutcome& o = r.outcome;
    print_summary_line(argv[1], r, o.settings_found ? std::string(o.settings_path.data()) : "defaults");
    if (job_converted(r)) return EXIT_ALL_CONVERTED;
    return r.exit_status > 0 ? r.exit_status : EXIT_NOT_ALL_CONVERTED;
}

}  // namespace tarvex
