// Card mode: finds the sensor logs under a folder (the post-processing hook
// leaves each beside its recording's first chapter, but any folder counts),
// picks each log's settings file, converts every log as the single-log
// command would and says what came of each.
#include "card.h"

#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "chapters.h"
#include "dat_format.h"
#include "driver.h"
#include "exit_status.h"
#include "log_jobs.h"
#include "printable_name.h"

namespace tarvex {

namespace {

namespace fs = std::filesystem;

// The settings file the card keeps for all its logs, relative to the card.
constexpr const char* CARD_SETTINGS = "tarvex/settings.txt";
constexpr const char* LOG_SETTINGS = "settings.txt";

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

// Folders below DIR that are searched: a tree deeper than the open-file
// limit stopped the whole card when every level held a folder open.
constexpr int MAX_DEPTH = 16;

// What a search of the card found.
struct CardScan {
    std::vector<CardLog> logs;              // in name order
    std::vector<std::string> others;        // files named *.DAT without the log magic
    std::vector<std::string> not_searched;  // lines naming folders that could not be read or are too deep
    std::size_t stale_parts_removed = 0;
};

// "<folder>/.<output name>.<pid>.part": an output file's temporary name
// (output_file.h). Returns the pid, or -1 for any other name.
long part_file_pid(const std::string& name) {
    constexpr std::string_view suffix = ".part";
    if (name.size() < 2 + suffix.size() || name[0] != '.' ||
        name.compare(name.size() - suffix.size(), suffix.size(), suffix) != 0)
        return -1;
    const std::string rest = name.substr(0, name.size() - suffix.size());
    const std::size_t dot = rest.rfind('.');
    if (dot == std::string::npos || dot + 1 == rest.size() || dot < 2) return -1;
    const std::string digits = rest.substr(dot + 1);
    if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) return -1;
    // Only this program's outputs: a chapter's SRT, CSV, GPX or ASS, a ride page.
    std::string output = rest.substr(1, dot - 1);
    std::transform(output.begin(), output.end(), output.begin(), [](unsigned char c) { return std::toupper(c); });
    const bool ours =
        output.size() > 4 && (output.ends_with(".SRT") || output.ends_with(".CSV") || output.ends_with(".GPX") ||
                              output.ends_with(".ASS") || output.ends_with(".HTML"));
    return ours ? std::stol(digits) : -1;
}

// A temporary output file whose writer has gone (killed, power lost) is
// never completed: removed. One of a running conversion is left alone.
bool remove_if_stale(const fs::path& path) {
    const long pid = part_file_pid(path.filename().string());
    if (pid <= 0 || kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) return false;
    return unlink(path.c_str()) == 0;
}

// Every file under `dir` named *.DAT (any case), at most MAX_DEPTH folders
// down, one folder open at a time; removes stale temporary outputs on the
// way. A folder that cannot be read is named and the rest searched.
CardScan scan_card(const fs::path& dir) {
    CardScan scan;
    std::vector<std::pair<fs::path, int>> folders{{dir, 0}};
    while (!folders.empty()) {
        const auto [folder, depth] = folders.back();
        folders.pop_back();
        const std::string shown = folder.lexically_relative(dir).generic_string();
        std::vector<fs::directory_entry> entries;
        std::error_code ec;
        for (fs::directory_iterator it(folder, ec); !ec && it != fs::directory_iterator(); it.increment(ec))
            entries.push_back(*it);
        if (ec) scan.not_searched.push_back(printable_name(shown) + ": cannot be read (" + ec.message() + ")");
        for (const fs::directory_entry& e : entries) {
            std::error_code type_ec;
            if (e.is_directory(type_ec) && !e.is_symlink(type_ec)) {
                if (depth < MAX_DEPTH) {
                    folders.emplace_back(e.path(), depth + 1);
                } else {
                    scan.not_searched.push_back(printable_name(e.path().lexically_relative(dir).generic_string()) +
                                                ": more than " + std::to_string(MAX_DEPTH) +
                                                " folders down, not searched");
                }
                continue;
            }
            if (remove_if_stale(e.path())) {
                ++scan.stale_parts_removed;
                continue;
            }
            if (!e.is_regular_file(type_ec) || !has_dat_extension(e.path())) continue;
            const std::string log = e.path().lexically_relative(dir).generic_string();
            if (has_log_magic(e.path())) scan.logs.push_back({log, fs::absolute(e.path()), "", ""});
            else scan.others.push_back(log);
        }
    }
    std::sort(scan.logs.begin(), scan.logs.end(), [](const CardLog& a, const CardLog& b) { return a.shown < b.shown; });
    std::sort(scan.others.begin(), scan.others.end());
    std::sort(scan.not_searched.begin(), scan.not_searched.end());
    return scan;
}

// The card's settings file: tarvex/settings.txt in DIR or the nearest folder
// above it, without leaving DIR's file system (--card DCIM still finds the
// card's). Its path as shown (relative to DIR), or empty when there is none.
std::string find_card_settings(const fs::path& dir, fs::path& found) {
    std::error_code ec;
    fs::path folder = fs::absolute(dir, ec).lexically_normal();
    struct stat dir_st {};
    if (ec || stat(folder.c_str(), &dir_st) != 0) return "";
    std::string up;
    for (;;) {
        const fs::path candidate = folder / CARD_SETTINGS;
        if (is_regular_file(candidate.string())) {
            found = candidate;
            return up + CARD_SETTINGS;
        }
        const fs::path parent = folder.parent_path();
        struct stat st {};
        if (parent == folder || stat(parent.c_str(), &st) != 0 || st.st_dev != dir_st.st_dev) return "";
        folder = parent;
        up += "../";
    }
}

// First found wins: -s, settings.txt beside the log, the card's tarvex/settings.txt.
void choose_settings(CardLog& log, const CardCommand& opt, bool given_found, const fs::path& card_settings,
                     const std::string& card_settings_shown) {
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
    if (!card_settings_shown.empty()) {
        log.settings = card_settings.string();
        log.settings_shown = card_settings_shown;
        return;
    }
    log.settings_shown = "defaults";
}

LogJob job_for(const CardLog& log, const CardCommand& opt, const char* prog) {
    LogJob job;
    job.folder = log.path.parent_path().string();
    job.args = {prog, log.path.filename().string()};
    if (!log.settings.empty()) job.args.insert(job.args.end(), {"-s", log.settings});
    if (opt.alt_adjust != nullptr) job.args.insert(job.args.end(), {"-a", opt.alt_adjust});
    if (opt.high_g) job.args.push_back("-g");
    return job;
}

// The name every output of the log starts with: its first chapter's path
// up to the extension ("<folder>/GOPR0001.").
std::string output_stem(const CardLog& log) {
    std::array<char, PATH_BUFFER_SIZE> name{};
    const std::string base = log.path.string();
    if (chapter_file_name(name.data(), base.c_str(), 0, "", chapter_naming(base.c_str(), false)) != 0) return base;
    return name.data();
}

// For each log whose outputs would have the same names as another's (two
// copies of a log, two logs without a number), why it is not converted;
// empty for the others. Which of two racing logs would win changes from run
// to run, so none is converted. Names are compared in lower case: a card's
// FAT file system does not tell cases apart.
std::vector<std::string> output_collisions(const std::vector<CardLog>& logs) {
    std::map<std::string, std::vector<std::size_t>> by_stem;
    std::vector<std::string> stems;
    for (std::size_t i = 0; i < logs.size(); ++i) {
        stems.push_back(output_stem(logs[i]));
        std::string key = stems.back();
        std::transform(key.begin(), key.end(), key.begin(), [](unsigned char c) { return std::tolower(c); });
        by_stem[key].push_back(i);
    }
    std::vector<std::string> why(logs.size());
    for (const auto& [key, group] : by_stem) {
        if (group.size() < 2) continue;
        for (const std::size_t i : group) {
            std::string others;
            for (const std::size_t j : group) {
                if (j != i) others += (others.empty() ? "" : ", ") + logs[j].shown;
            }
            why[i] = "its outputs (" + fs::path(stems[i]).filename().string() + "*) would have the names of those of " +
                     others + "; none of them is converted";
        }
    }
    return why;
}

// In the child: the job's single-log command line, read as the user's would be.
int run_job(const LogJob& job, RunOutcome& outcome) {
    std::vector<std::string> args = job.args;
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    SingleLogCommand command;
    if (const auto status = parse_log_command(static_cast<int>(args.size()), argv.data(), command)) return *status;
    return convert_log(command.log, &outcome);
}

// Whether stdout and stderr are one file (both the terminal): a line then
// needs printing once.
bool stdout_is_stderr() {
    struct stat out {
    }, err{};
    return fstat(STDOUT_FILENO, &out) == 0 && fstat(STDERR_FILENO, &err) == 0 && out.st_dev == err.st_dev &&
           out.st_ino == err.st_ino;
}

// A line about a failure: on stdout with the rest and on stderr, so that it
// shows when stdout goes elsewhere.
void say_problem(const std::string& line) {
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    if (!stdout_is_stderr()) std::fprintf(stderr, "%s\n", line.c_str());
}

}  // namespace

int convert_card(const CardCommand& opt, const char* prog) {
    const fs::path dir(opt.dir);
    const std::string dir_shown = printable_name(opt.dir);
    std::error_code ec;
    const fs::directory_iterator readable(dir, ec);
    if (ec || !fs::is_directory(dir, ec)) {
        say_problem("Cannot read the card folder " + dir_shown + ": " +
                    (ec ? ec.message() : std::string("Not a directory")));
        return EXIT_NO_LOGS;
    }
    CardScan scan = scan_card(dir);
    if (scan.stale_parts_removed > 0) {
        std::printf("Removed %zu temporary file%s left by an interrupted conversion\n", scan.stale_parts_removed,
                    scan.stale_parts_removed == 1 ? "" : "s");
    }
    for (const std::string& name : scan.others)
        std::printf("%s: not a sensor log, skipped\n", printable_name(name).c_str());
    for (const std::string& line : scan.not_searched) say_problem(line);
    std::vector<CardLog>& logs = scan.logs;
    if (logs.empty()) {
        std::printf("No sensor logs found under %s\n", dir_shown.c_str());
        return EXIT_NO_LOGS;
    }

    fs::path card_settings;
    const std::string card_settings_shown = find_card_settings(dir, card_settings);
    if (card_settings_shown.rfind("../", 0) == 0)
        std::printf("The card's settings file: %s\n", printable_name(card_settings_shown).c_str());
    const bool given_found = opt.settings != nullptr && is_regular_file(opt.settings);
    if (opt.settings != nullptr && !given_found) {
        std::printf(
            "Settings file %s not found: each log uses the settings.txt beside it, else the card's %s, "
            "else the defaults.\n",
            printable_name(opt.settings).c_str(), CARD_SETTINGS);
    }
    std::vector<LogJob> jobs;
    for (CardLog& log : logs) {
        choose_settings(log, opt, given_found, card_settings, card_settings_shown);
        jobs.push_back(job_for(log, opt, prog));
    }

    const std::vector<std::string> collisions = output_collisions(logs);
    std::vector<LogJob> runnable;
    std::vector<std::size_t> log_of_job;
    for (std::size_t i = 0; i < logs.size(); ++i) {
        if (!collisions[i].empty()) continue;
        runnable.push_back(jobs[i]);
        log_of_job.push_back(i);
    }

    // By default each log's summary line shows as soon as the logs before it
    // are done; --verbose shows each log's console instead, and the summary
    // lines at the end.
    std::size_t converted = 0, next_summary = 0;
    std::vector<std::string> held;  // --verbose: summary lines for the end
    const auto summarize = [&](std::size_t i, const ConversionResult& r) {
        const std::string line = summary_line(logs[i].shown, r, logs[i].settings_shown);
        const bool ok = conversion_converted(r);
        if (ok) ++converted;
        if (opt.verbose) held.push_back((ok ? "+" : "-") + line);
        else if (ok) std::printf("%s\n", line.c_str());
        else say_problem(line);
    };
    // The logs not run (collisions) take their place in the order.
    const auto summarize_collisions_before = [&](std::size_t end) {
        for (; next_summary < end; ++next_summary) {
            ConversionResult r;
            r.exit_status = 0;  // nothing ran
            note_failure(r.outcome, collisions[next_summary]);
            summarize(next_summary, r);
        }
    };
    JobSettings settings;
    settings.max_parallel = parallel_job_limit();
    settings.keep_consoles = opt.verbose;
    run_log_jobs(
        runnable, settings, run_job,
        [&](std::size_t j) {
            if (!opt.verbose) return;
            const CardLog& log = logs[log_of_job[j]];
            std::printf("Converting %s (settings: %s)\n", printable_name(log.shown).c_str(),
                        printable_name(log.settings_shown).c_str());
        },
        [&](std::size_t j, const ConversionResult& r) {
            summarize_collisions_before(log_of_job[j]);
            summarize(log_of_job[j], r);
            next_summary = log_of_job[j] + 1;
        });
    summarize_collisions_before(logs.size());
    for (const std::string& line : held) {
        if (line[0] == '+') std::printf("%s\n", line.c_str() + 1);
        else say_problem(line.substr(1));
    }

    std::printf("%zu log%s: %zu converted, %zu failed", logs.size(), logs.size() == 1 ? "" : "s", converted,
                logs.size() - converted);
    if (!scan.not_searched.empty()) {
        std::printf("; %zu folder%s not searched", scan.not_searched.size(), scan.not_searched.size() == 1 ? "" : "s");
    }
    std::printf("\n");
    const bool complete = converted == logs.size() && scan.not_searched.empty();
    return complete ? EXIT_CONVERTED : EXIT_NOT_ALL_CONVERTED;
}

}  // namespace tarvex
