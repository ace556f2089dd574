// datview: looks inside a DAT log. `info` checks its health, `dump` decodes
// every entry, `plot` draws the ride as an SVG picture,
// `page` writes the ride page. The command line is
// parsed here; each command lives in its own file.

// Logs over 2 GiB must stay readable on 32-bit builds.
#define _FILE_OFFSET_BITS 64

#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "entry_dump.h"
#include "log_health.h"
#include "option_match.h"
#include "ride_info.h"
#include "ride_page_command.h"
#include "ride_plot.h"
#include "version.h"

namespace {

using namespace tarvex::datview;
using tarvex::is_option;

constexpr char USAGE[] =
    "Usage: datview info LOG [--json] [-s SETTINGS] [-v FIRST_CHAPTER.MP4] [-g]\n"
    "       datview dump LOG [--json] [-g]\n"
    "       datview plot LOG -o PICTURE.svg [-s SETTINGS] [-v FIRST_CHAPTER.MP4] [-g]\n"
    "       datview page LOG -o RIDE.html [-s SETTINGS] [-v FIRST_CHAPTER.MP4] [-g]\n"
    "\n"
    "info   header fields, entry counts, timing and damage, and a one-line verdict;\n"
    "       then the ride: height, climb, G, speed, distance and the highlights,\n"
    "       placed in the video chapters with -v; --json: all as one JSON object\n"
    "dump   every entry decoded, one per line; --json: one JSON object per line\n"
    "plot   altitude, climb rate, acceleration and GPS speed over time as an SVG;\n"
    "       -s settings file (default settings.txt here), -v first video chapter\n"
    "page   one HTML file that plays the chapters beside the plot, the track map,\n"
    "       live values and the highlights (place it beside the chapters)\n"
    "-g     the 200 G accelerometer instead of the 16 G one\n"
    "\n"
    "Exit status: 0 healthy log / done, 1 the log has problems (info, dump) or\n"
    "no samples to show, 2 usage error, unreadable log or output not written.\n";

int usage_error(const char* what, const char* arg) {
    std::fprintf(stderr, "datview: %s%s\n\n%s", what, arg, USAGE);
    return EXIT_UNUSABLE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && is_option(argv[1], "-h", "--help")) {
        std::fputs(USAGE, stdout);
        return EXIT_OK;
    }
    if (argc >= 2 && is_option(argv[1], "--version")) {
        std::printf("datview %s\n", tarvex::PROGRAM_VERSION);
        return EXIT_OK;
    }
    if (argc < 3) return usage_error("a command and a log are needed", "");
    const char* command = argv[1];
    const char* log = argv[2];
    // A FIFO would block every reader for ever; a directory or device is no log.
    struct stat log_st {};
    if (stat(log, &log_st) == 0 && !S_ISREG(log_st.st_mode)) {
        std::fprintf(stderr, "datview: %s is not a regular file\n", log);
        return EXIT_UNUSABLE;
    }
    DumpOptions dump;
    InfoOptions info;
    PlotOptions plot;
    plot.log_path = log;
    PageOptions page;
    page.log_path = log;
    for (int i = 3; i < argc; ++i) {
        const char* a = argv[i];
        const bool takes_value = is_option(a, "-o", "--output") || is_option(a, "-s", "--settings-file") ||
                                 is_option(a, "-v", "--video-file");
        if (takes_value && i + 1 >= argc) return usage_error("a value is missing after ", a);
        if (is_option(command, "dump") && is_option(a, "--json")) dump.format = DumpFormat::Json;
        else if (is_option(command, "info") && is_option(a, "--json")) info.json = true;
        else if (is_option(command, "info") && is_option(a, "-s", "--settings-file")) info.settings_path = argv[++i];
        else if (is_option(command, "info") && is_option(a, "-v", "--video-file")) info.first_chapter = argv[++i];
        else if (is_option(a, "-g", "--high-g")) dump.high_g = plot.high_g = info.high_g = page.high_g = true;
        else if (is_option(command, "plot") && is_option(a, "-o", "--output")) plot.out_path = argv[++i];
        else if (is_option(command, "plot") && is_option(a, "-s", "--settings-file")) plot.settings_path = argv[++i];
        else if (is_option(command, "plot") && is_option(a, "-v", "--video-file")) plot.first_chapter = argv[++i];
        else if (is_option(command, "page") && is_option(a, "-o", "--output")) page.out_path = argv[++i];
        else if (is_option(command, "page") && is_option(a, "-s", "--settings-file")) page.settings_path = argv[++i];
        else if (is_option(command, "page") && is_option(a, "-v", "--video-file")) page.first_chapter = argv[++i];
        else return usage_error("unknown option: ", a);
    }
    if (is_option(command, "info")) return info_command(stdout, log, info);
    if (is_option(command, "dump")) return dump_log(stdout, log, dump);
    if (is_option(command, "plot")) {
        if (plot.out_path == nullptr) return usage_error("plot needs -o PICTURE.svg", "");
        return plot_ride(plot);
    }
    if (is_option(command, "page")) {
        if (page.out_path == nullptr) return usage_error("page needs -o RIDE.html", "");
        return page_command(page);
    }
    return usage_error("unknown command: ", command);
}
