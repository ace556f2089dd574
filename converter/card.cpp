// Card mode: finds the sensor logs under a folder (the post-processing hook
// leaves each beside its recording's first chapter, but any folder counts),
// picks each log's settings file, converts every log as the single-log
// command would and says what came of each.
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
#include "driver.h"
#include "exit_status.h"
#include "log_jobs.h"

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
void choose_settings(CardLog& log, const fs::path& dir, const CardCommand& opt, bool given_found) {
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

LogJob job_for(const CardLog& log, const CardCommand& opt, const char* prog) {
    LogJob job;
    job.folder = log.path.parent_path().string();
    job.args = {prog, log.path.filename().string()};
    if (!log.settings.empty()) job.args.insert(job.args.end(), {"-s", log.settings});
    if (opt.alt_adjust != nullptr) job.args.insert(job.args.end(), {"-a", opt.alt_adjust});
    if (opt.high_g) job.args.push_back("-g");
    return job;
}

// In the child: the job's single-log command line, read as the user's would be.
int run_job(const LogJob& job, RunOutcome& outcome) {
    std::vector<std::string> args = job.args;
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    LogCommand command;
    if (const auto status = parse_log_command(static_cast<int>(args.size()), argv.data(), command)) return *status;
    return convert_log(command, &outcome);
}

}  // namespace

int convert_card(const CardCommand& opt, const char* prog) {
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

    const std::vector<ConversionResult> results = run_log_jobs(jobs, parallel_job_limit(), run_job, [&](std::size_t i) {
        std::printf("Converting %s (settings: %s)\n", logs[i].shown.c_str(), logs[i].settings_shown.c_str());
    });

    std::size_t converted = 0;
    for (std::size_t i = 0; i < logs.size(); ++i) {
        print_summary_line(logs[i].shown, results[i], logs[i].settings_shown);
        if (conversion_converted(results[i])) ++converted;
    }
    std::printf("%zu log%s: %zu converted, %zu failed\n", logs.size(), logs.size() == 1 ? "" : "s", converted,
                logs.size() - converted);
    return converted == logs.size() ? EXIT_CONVERTED : EXIT_NOT_ALL_CONVERTED;
}

}  // namespace tarvex
