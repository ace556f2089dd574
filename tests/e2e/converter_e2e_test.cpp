// Runs the real converter on DAT logs and chapter MP4 files built here, and
// compares its console output, exit status and output files byte for byte.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "dat_format.h"
#include "dat_log.h"
#include "mp4_bytes.h"
#include "settings.h"
#include "test_support.h"

namespace tarvex {
namespace {

using test::DatLog;
using test::log_with_header;
using test::mp4_file;
using test::read_file;
using test::reading;
using test::RunResult;
using test::TempDir;
using test::write_file;

const std::string& converter() {
    static const std::string path = test::binary_path("converter/converter");
    return path;
}

RunResult convert(const TempDir& dir, std::vector<std::string> args) {
    args.insert(args.begin(), converter());
    return test::run_program(args, dir.path());
}

// ---- DAT logs.

// A GpsFix at 51.123456 N, 1.5 W, 12.34 m up, 100 km/h; `odometer` in 10 m units.
GpsFix fix_at(std::int32_t odometer) {
    GpsFix f;
    f.lat_deg = 51;
    f.lat_frac = 123456;
    f.lon_deg = -1;
    f.lon_frac = 500000;
    f.gps_alt = 1234;
    f.gps_speed = 100;
    f.dist = odometer;
    return f;
}

// ---- Expected console text.

std::string usage() {
    return "Wrong arguments.\n"
           "Usage: " +
           converter() +
           " whatever.dat [-a number] [-s settings_file] [-v video_file] [-g]\n\n"
           "-a <number> or --alt-adjust <number>\n"
           "\tAdjust the altitude in CSV and SRT file by the given number of feet.\n"
           "\tNegative numbers allowed. This gets *added* to the altitude that would\n"
           "\tnormally be produced.\n\n"
           "-s <settings_whatever.txt> or --settings-file <settings_whatever.txt>\n"
           "\tUse the given settings text file. If option not specified, then\n"
           "\t\"settings.txt\" in current directory is used. If that doesn't exist,\n"
           "\tdefaults are used.\n\n"
           "-v <video file> or --video-file <video file>\n"
           "\tProduce subtitles for the given MP4 file. For multi-chapter files,\n"
           "\tprovide name of first chapter. If not specified, the name of the DAT\n"
           "\tfile determines the name of the output SRT/CSV files.\n\n"
           "-g or --high-g\n"
           "\tAssume 200G accelerometer, instead of 16G.\n\n";
}

// -h and --help: the usage text, then the options added to it.
std::string help() {
    return usage() +
           "--strict\n"
           "\tThen print a summary line; exit 1 when the log was not converted completely.\n"
           "--quiet\n"
           "\tPrint only warnings, errors and (with --strict) the summary line.\n"
           "--card DIR [-s settings_file] [-a number] [-g] [--verbose]\n"
           "\tConvert every sensor log under DIR beside its video chapters, with a summary\n"
           "\tline per log; --verbose also prints each log's console.\n"
           "--version\n"
           "\tPrint the program's name and version.\n";
}

std::string preamble(const std::string& base, int alt_adjust = 0, int high_g = 0,
                     const std::string& settings = "settings.txt") {
    return "Settings filename is " + settings + "\nBase path is " + base + "\nAltitude adjustment is " +
           std::to_string(alt_adjust) + " feet\nHigh-G mode is " + std::to_string(high_g) + "\n";
}

const std::string DEFAULT_PRESETS = "Filter preset lookup: alt: 3, accel: 1\n";

std::string probe_ok(const std::string& mp4, int len) {
    return "Starting mp4len attempt 0 on " + mp4 + "\nMP4Len succeeded on " + mp4 + ": " + std::to_string(len) + "\n";
}

std::string chapter_start(int index, const std::string& mp4, int len, int offset, const std::string& srt) {
    return probe_ok(mp4, len) + "Moving on to chapter " + std::to_string(index) + " (" + mp4 + ") with length " +
           std::to_string(len) + "\nChapter offset is now " + std::to_string(offset) + "\nNow writing to " + srt + "\n";
}

std::string probe_missing(const std::string& mp4) {
    return "Starting mp4len attempt 0 on " + mp4 + "\nCould not open " + mp4 + "\nNo such file: " + mp4 +
           " - giving up right away\n";
}

// The settings dump, with the two "places" fields shown as places.
std::string settings_dump(const Settings& s) {
    const std::pair<const char*, std::int32_t> rows[] = {
        {"Alt:\t\t\t", s.altitude},
        {"Temp:\t\t\t", s.temperature},
        {"Accel:\t\t\t", s.accel},
        {"G-bar:\t\t\t", s.gbar},
        {"CSV:\t\t\t", s.csv},
        {"Accel places:\t\t", s.accel_places + 1},
        {"Min delta:\t\t", s.min_sub_delay},
        {"GPS lag:\t\t", s.gps_lag},
        {"GPS speed:\t\t", s.gps_speed},
        {"GPS distance:\t\t", s.gps_dist},
        {"GPS distance places:\t", s.gps_dist_places + 1},
        {"Alt filter:\t\t", s.alt_filter},
        {"Accel fiter:\t\t", s.accel_filter},
        {"ID pins:\t\t", s.id_pins},
        {"GPX:\t\t\t", s.gpx},
        {"Heading:\t\t", s.heading},
        {"Speed window:\t\t", s.speed_window},
        {"Haptics:\t\t", s.haptics},
        {"GPS dist interval:\t", s.gps_dist_interval},
        {"GPS speed_limit:\t", s.gps_speed_limit},
        {"Glide:\t\t\t", s.glide},
        {"Venus rate:\t\t", s.gps_rate},
        {"Venus nav mode:\t\t", s.gps_nav_mode},
        {"GPS speed type:\t\t", s.gps_speed_type},
        {"GPS HW lag:\t\t", s.gps_hw_lag},
    };
    std::string out;
    for (const auto& [label, value] : rows) out += label + std::to_string(value) + "\n";
    return out;
}

// SubRip entry with the default reading line of a Sample (100 ft, 1.0 G).
std::string entry(int number, const std::string& from, const std::string& to,
                  const std::string& body = "100 ft    1.0 G\n") {
    return std::to_string(number) + "\n" + from + " --> " + to + "\n" + body + "\n";
}

// ---- Command line.

struct ArgsCase {
    std::vector<std::string> args;
    int status;
    std::string out;
};

TEST(ConverterCommandLine, UsageAndOptionErrors) {
    TempDir dir;
    const ArgsCase cases[] = {
        {{}, 255, usage()},
        {{"-h"}, 0, help()},
        {{"--help"}, 0, help()},
        {{"-h", "x.dat"}, 0, help()},
        {{"x.dat", "--help"}, 0, help()},
        {{"x.dat", "-v", "a.MP4", "-h"}, 0, "Using video base path: a.MP4\n" + help()},
        {{"x.dat", "-s"}, 255, usage()},
        {{"x.dat", "-a"}, 255, usage()},
        {{"x.dat", "--video-file"}, 255, usage()},
        {{"x.dat", "-g", "--settings-file"}, 255, "Enabling high-G mode\n" + usage()},
        {{"x.dat", "foo"}, 255, "Unknown option: foo\n"},
        {{"x.dat", "-gv"}, 255, "Unknown option: -gv\n"},                        // no bundling
        {{"x.dat", "--alt-adjust=5"}, 255, "Unknown option: --alt-adjust=5\n"},  // no '=' form
        {{"x.dat", "-G"}, 255, "Unknown option: -G\n"},
        {{"x.dat", "-a", "7", "x.dat"}, 255, "Using altitude adjustment: 7\nUnknown option: x.dat\n"},
        // Values may begin with a dash; repeats print each time, the last wins.
        {{"x.dat", "-a", "abc", "--alt-adjust", "-250", "-s", "-g", "-v", "v1", "--video-file", "GOPR0042.MP4",
          "--high-g", "-g"},
         255,
         "Using altitude adjustment: 0\nUsing altitude adjustment: -250\nUsing settings file: -g\n"
         "Using video base path: v1\nUsing video base path: GOPR0042.MP4\nEnabling high-G mode\n"
         "Enabling high-G mode\n" +
             preamble("GOPR0042.MP4", -250, 1, "-g") + "Could not open file x.dat\n"},
        // The first argument is the log, whatever it looks like.
        {{"-x"}, 255, preamble("-x") + "Could not open file -x\n"},
    };
    for (const auto& c : cases) {
        const RunResult r = convert(dir, c.args);
        std::string joined;
        for (const auto& a : c.args) joined += a + " ";
        EXPECT_EQ(r.exit_status, c.status) << joined;
        EXPECT_EQ(r.out, c.out) << joined;
    }
    EXPECT_TRUE(dir.names().empty());
}

TEST(ConverterCommandLine, OptionsReachTheConversion) {
    TempDir dir;
    write_file(dir.file("log.dat"), log_with_header().samples({0, 200}).bytes());
    write_file(dir.file("GOPR0042.MP4"), mp4_file(1000));
    const RunResult r = convert(dir, {"log.dat", "-g", "-a", "-250", "-v", "GOPR0042.MP4"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "Enabling high-G mode\nUsing altitude adjustment: -250\nUsing video base path: GOPR0042.MP4\n" +
                         preamble("GOPR0042.MP4", -250, 1) + DEFAULT_PRESETS +
                         chapter_start(0, "GOPR0042.MP4", 1000, 0, "GOPR0042.SRT"));
    // 100 ft - 250 ft; 2048 counts on the 200 G scale are 12.5 G.
    EXPECT_EQ(read_file(dir.file("GOPR0042.SRT")), entry(1, "00:00:00,000", "00:00:00,000", "-150 ft    12.5 G\n") +
                                                       entry(2, "00:00:00,000", "00:00:00,200", "-150 ft    12.5 G\n"));
}

TEST(ConverterCommandLine, BasePathsThatDoNotFitThePathBufferAreRefused) {
    TempDir dir;
    write_file(dir.file("log.dat"), log_with_header().samples({0}).bytes());

    const std::string too_long = std::string(4092, 'd') + "/G.MP4";  // 4098 bytes
    RunResult r = convert(dir, {"log.dat", "-v", too_long});
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(r.out, "Using video base path: " + too_long +
                         "\nBase path is too long: 4098 bytes, at most 4095 fit. Exiting.\n");

    // The base fits, but its directory leaves no room for a chapter name.
    const std::string no_room = std::string(4090, 'd') + "/a";
    r = convert(dir, {"log.dat", "-v", no_room});
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(r.out, "Using video base path: " + no_room + "\n" + preamble(no_room) + DEFAULT_PRESETS +
                         "File name of chapter 0 does not fit in 4096 bytes. Exiting.\n");
    EXPECT_EQ(dir.names(), std::vector<std::string>{"log.dat"});
}

// ---- Header.

struct HeaderCase {
    const char* what;
    std::string bytes;
    int status;
    std::string out;  // after the preamble
};

TEST(ConverterHeader, HeaderChecks) {
    std::string bad_magic = log_with_header().samples({0}).bytes();
    bad_magic.replace(0, 4, "XXXX");
    std::string version2 = log_with_header().samples({0}).bytes();
    version2[8] = 2;
    const HeaderCase cases[] = {
        {"empty file", "", 255, "Error reading DAT header!\n"},
        {"87 bytes", log_with_header().bytes().substr(0, 87), 255, "Error reading DAT header!\n"},
        {"wrong magic", bad_magic, 255, "Invalid DAT header magic: 58585858!\n"},
        {"wrong version", version2, 255, "Unexpected DAT file version: 2\n"},
        {"header only", log_with_header().bytes(), 0, DEFAULT_PRESETS},
        {"GPS expander", log_with_header(EXPANDER_GPS).bytes(), 0,
         DEFAULT_PRESETS + "Hardware GPS detected - using gpw_hw_lag value for GPS offset: 0 ms\n"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        write_file(dir.file("GOPR0042.DAT"), c.bytes);
        write_file(dir.file("GOPR0042.MP4"), mp4_file(1000));
        const RunResult r = convert(dir, {"GOPR0042.DAT"});
        EXPECT_EQ(r.exit_status, c.status) << c.what;
        EXPECT_EQ(r.out, preamble("GOPR0042.DAT") + c.out) << c.what;
        EXPECT_EQ(dir.names(), (std::vector<std::string>{"GOPR0042.DAT", "GOPR0042.MP4"})) << c.what;
    }
}

// ---- Chapters.

struct ChapterCase {
    const char* what;
    std::vector<int> chapter_ms;
    std::vector<std::uint32_t> events;
    std::string out;                                         // after the presets line
    std::vector<std::pair<std::string, std::string>> files;  // SRT name, content
};

TEST(ConverterChapters, EventsAreCutIntoChapters) {
    const ChapterCase cases[] = {
        {"three chapters of 1000 ms; an event exactly at the end still belongs",
         {1000, 1000, 1000},
         {0, 1000, 1001, 2500},
         chapter_start(0, "GOPR0042.MP4", 1000, 0, "GOPR0042.SRT") +
             chapter_start(1, "GP010042.MP4", 1000, 1000, "GP010042.SRT") +
             chapter_start(2, "GP020042.MP4", 1000, 2000, "GP020042.SRT"),
         {{"GOPR0042.SRT", entry(1, "00:00:00,000", "00:00:00,000") + entry(2, "00:00:00,000", "00:00:01,000")},
          {"GP010042.SRT", entry(1, "00:00:00,000", "00:00:00,001")},
          {"GP020042.SRT", entry(1, "00:00:00,000", "00:00:00,500")}}},
        {"an event more than a chapter ahead goes into the next chapter only",
         {1000, 1000, 1000},
         {0, 2500, 2600},
         chapter_start(0, "GOPR0042.MP4", 1000, 0, "GOPR0042.SRT") +
             chapter_start(1, "GP010042.MP4", 1000, 1000, "GP010042.SRT") +
             chapter_start(2, "GP020042.MP4", 1000, 2000, "GP020042.SRT"),
         {{"GOPR0042.SRT", entry(1, "00:00:00,000", "00:00:00,000")},
          {"GP010042.SRT", entry(1, "00:00:00,000", "00:00:01,500")},
          {"GP020042.SRT", entry(1, "00:00:00,000", "00:00:00,600")}}},
        {"numbers advance for skipped events and restart in each chapter",
         {400, 1000},
         {0, 100, 160, 400, 450, 500},
         chapter_start(0, "GOPR0042.MP4", 400, 0, "GOPR0042.SRT") +
             chapter_start(1, "GP010042.MP4", 1000, 400, "GP010042.SRT"),
         {{"GOPR0042.SRT", entry(1, "00:00:00,000", "00:00:00,000") + entry(3, "00:00:00,000", "00:00:00,160") +
                               entry(4, "00:00:00,160", "00:00:00,400")},
          {"GP010042.SRT", entry(1, "00:00:00,000", "00:00:00,050")}}},
        {"events past the last chapter: earlier chapters stay complete",
         {1000, 1000},
         {0, 500, 1000, 1500, 2001, 2200},
         chapter_start(0, "GOPR0042.MP4", 1000, 0, "GOPR0042.SRT") +
             chapter_start(1, "GP010042.MP4", 1000, 1000, "GP010042.SRT") + probe_missing("GP020042.MP4") +
             "No more chapters. Exiting.\n",
         {{"GOPR0042.SRT", entry(1, "00:00:00,000", "00:00:00,000") + entry(2, "00:00:00,000", "00:00:00,500") +
                               entry(3, "00:00:00,500", "00:00:01,000")},
          {"GP010042.SRT", entry(1, "00:00:00,000", "00:00:00,500")}}},
        {"no chapter file at all", {}, {0, 100}, probe_missing("GOPR0042.MP4") + "No more chapters. Exiting.\n", {}},
    };
    const char* mp4_names[] = {"GOPR0042.MP4", "GP010042.MP4", "GP020042.MP4"};
    for (const auto& c : cases) {
        TempDir dir;
        DatLog log = log_with_header();
        for (const auto t : c.events) log.sample(t, reading());
        write_file(dir.file("log.dat"), log.bytes());
        std::vector<std::string> expected_files{"log.dat"};
        for (std::size_t k = 0; k < c.chapter_ms.size(); ++k) {
            write_file(dir.file(mp4_names[k]), mp4_file(static_cast<std::uint32_t>(c.chapter_ms[k])));
            expected_files.push_back(mp4_names[k]);
        }
        for (const auto& [name, content] : c.files) expected_files.push_back(name);
        std::sort(expected_files.begin(), expected_files.end());

        const RunResult r = convert(dir, {"log.dat", "-v", "GOPR0042.MP4"});
        EXPECT_EQ(r.exit_status, 0) << c.what;
        EXPECT_EQ(r.out, "Using video base path: GOPR0042.MP4\n" + preamble("GOPR0042.MP4") + DEFAULT_PRESETS + c.out)
            << c.what;
        for (const auto& [name, content] : c.files) EXPECT_EQ(read_file(dir.file(name)), content) << c.what << name;
        EXPECT_EQ(dir.names(), expected_files) << c.what;
    }
}

// The DAT path is the base when there is no -v; chapter files live beside it.
TEST(ConverterChapters, DatPathIsTheDefaultBase) {
    TempDir dir;
    std::filesystem::create_directory(dir.file("card"));
    write_file(dir.file("card/GOPR0042.DAT"), log_with_header().samples({0, 300}).bytes());
    write_file(dir.file("card/GOPR0042.MP4"), mp4_file(10000, 90000));
    const RunResult r = convert(dir, {"card/GOPR0042.DAT"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, preamble("card/GOPR0042.DAT") + DEFAULT_PRESETS +
                         chapter_start(0, "card/GOPR0042.MP4", 10000, 0, "card/GOPR0042.SRT"));
    EXPECT_EQ(read_file(dir.file("card/GOPR0042.SRT")),
              entry(1, "00:00:00,000", "00:00:00,000") + entry(2, "00:00:00,000", "00:00:00,300"));
}

const std::string GPX_FOOTER = "    </trkseg>\n  </trk>\n</gpx>\n";
const std::string GPX_POINT =
    "      <trkpt lat=\"51.123456\" lon=\"-1.500000\">\n        <ele> 12.34</ele>\n      </trkpt>\n";

// GPS fixes make a GPX file per chapter; the chapter change and the missing
// next chapter both leave every GPX file closed with its footer.
TEST(ConverterChapters, GpxFilesAreFinishedAtChapterChangeAndWhenChaptersRunOut) {
    TempDir dir;
    // GPS lag 500 ms: the fixes logged at 700 and 1800 ms belong to 200 and 1300 ms.
    write_file(dir.file("log.dat"), log_with_header()
                                        .samples({0, 500})
                                        .fix(700, fix_at(161))
                                        .samples({1000, 1500})
                                        .fix(1800, fix_at(322))
                                        .samples({2100, 2200})
                                        .bytes());
    write_file(dir.file("GOPR0042.MP4"), mp4_file(1000));
    write_file(dir.file("GP010042.MP4"), mp4_file(1000));
    const RunResult r = convert(dir, {"log.dat", "-v", "GOPR0042.MP4"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "Using video base path: GOPR0042.MP4\n" + preamble("GOPR0042.MP4") + DEFAULT_PRESETS +
                         chapter_start(0, "GOPR0042.MP4", 1000, 0, "GOPR0042.SRT") +
                         "Now writing GPX data to GOPR0042.GPX\nInitializing new GPX file\nWriting GPX footer\n" +
                         chapter_start(1, "GP010042.MP4", 1000, 1000, "GP010042.SRT") +
                         "Now writing GPX data to GP010042.GPX\nInitializing new GPX file\nWriting GPX footer\n" +
                         probe_missing("GP020042.MP4") + "No more chapters. Exiting.\n");
    // 100 km/h is 62 mph; the odometer counts from the first fix (1.61 km = 1.0 mi).
    EXPECT_EQ(read_file(dir.file("GOPR0042.SRT")),
              entry(1, "00:00:00,000", "00:00:00,000") +
                  entry(2, "00:00:00,000", "00:00:00,500", "100 ft    1.0 G\n62 mph    0.0 mi\n") +
                  entry(3, "00:00:00,500", "00:00:01,000", "100 ft    1.0 G\n62 mph    0.0 mi\n"));
    EXPECT_EQ(read_file(dir.file("GP010042.SRT")),
              entry(1, "00:00:00,000", "00:00:00,500", "100 ft    1.0 G\n62 mph    1.0 mi\n"));
    for (const char* name : {"GOPR0042.GPX", "GP010042.GPX"}) {
        const std::string gpx = read_file(dir.file(name));
        EXPECT_EQ(gpx.rfind("<?xml", 0), 0u) << name;
        EXPECT_NE(gpx.find(std::string("    <name>") + name + "</name>\n"), std::string::npos) << name;
        EXPECT_TRUE(gpx.ends_with("    <trkseg>\n" + GPX_POINT + GPX_FOOTER)) << name << "\n" << gpx;
    }
}

// ---- Output files.

TEST(ConverterOutputs, ExistingFilesAreReportedAndOverwritten) {
    TempDir dir;
    write_file(dir.file("settings.txt"), "csv = on\n");
    write_file(dir.file("log.dat"), log_with_header().samples({0}).fix(600, fix_at(5)).samples({200}).bytes());
    write_file(dir.file("GOPR0042.MP4"), mp4_file(1000));
    for (const char* old : {"GOPR0042.SRT", "GOPR0042.CSV", "GOPR0042.GPX"}) write_file(dir.file(old), "old\n");
    Settings s;
    s.csv = on_off::ON;
    const RunResult r = convert(dir, {"log.dat", "-v", "GOPR0042.MP4"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out, "Using video base path: GOPR0042.MP4\nOpened settings file\nParsing: csv on\n" + settings_dump(s) +
                         preamble("GOPR0042.MP4") + DEFAULT_PRESETS +
                         chapter_start(0, "GOPR0042.MP4", 1000, 0, "GOPR0042.SRT") +
                         "Warning: destination file GOPR0042.SRT exists! Proceeding anyway.\n"
                         "Now writing CSV data to GOPR0042.CSV\n"
                         "Destination file GOPR0042.CSV exists! Proceeding anyway.\n"
                         "Now writing GPX data to GOPR0042.GPX\n"
                         "Destination file GOPR0042.GPX exists! Proceeding anyway.\n"
                         "Initializing new GPX file\nWriting GPX footer\n");
    EXPECT_EQ(read_file(dir.file("GOPR0042.SRT")),
              entry(1, "00:00:00,000", "00:00:00,000") +
                  entry(2, "00:00:00,000", "00:00:00,200", "100 ft    1.0 G\n62 mph    0.0 mi\n"));
    // Rows for both samples; the GPS columns only where the fix was taken up.
    const std::string csv = read_file(dir.file("GOPR0042.CSV"));
    EXPECT_EQ(csv.rfind(";", 0), 0u);
    EXPECT_TRUE(
        csv.ends_with("\n0,101325,100,215,0,0,2048,0,,,,,,,,,,,,,,,,,,,\n"
                      "200,101325,100,215,0,0,2048,0,51.123456,-1.500000, 12.34,100,0, 0.00,0,0,0,0,\n"))
        << csv;
    EXPECT_TRUE(read_file(dir.file("GOPR0042.GPX")).ends_with("    <trkseg>\n" + GPX_POINT + GPX_FOOTER));
}

TEST(ConverterOutputs, UnopenableOutputFiles) {
    // The subtitle file is required.
    {
        TempDir dir;
        write_file(dir.file("log.dat"), log_with_header().samples({0}).bytes());
        write_file(dir.file("GOPR0042.MP4"), mp4_file(1000));
        std::filesystem::create_directory(dir.file("GOPR0042.SRT"));
        const RunResult r = convert(dir, {"log.dat", "-v", "GOPR0042.MP4"});
        EXPECT_EQ(r.exit_status, 255);
        EXPECT_EQ(r.out, "Using video base path: GOPR0042.MP4\n" + preamble("GOPR0042.MP4") + DEFAULT_PRESETS +
                             chapter_start(0, "GOPR0042.MP4", 1000, 0, "GOPR0042.SRT") +
                             "Warning: destination file GOPR0042.SRT exists! Proceeding anyway.\n"
                             "Could not open GOPR0042.SRT: Is a directory\n");
    }
    // CSV and GPX are optional; the GPX file is tried again at the next fresh fix.
    {
        TempDir dir;
        write_file(dir.file("settings.txt"), "CSV=Yes\n");
        write_file(dir.file("log.dat"), log_with_header()
                                            .samples({0})
                                            .fix(600, fix_at(0))
                                            .samples({200, 400})
                                            .fix(900, fix_at(0))
                                            .samples({600})
                                            .bytes());
        write_file(dir.file("GOPR0042.MP4"), mp4_file(1000));
        std::filesystem::create_directory(dir.file("GOPR0042.CSV"));
        std::filesystem::create_directory(dir.file("GOPR0042.GPX"));
        Settings s;
        s.csv = on_off::ON;
        const std::string gpx_fails =
            "Now writing GPX data to GOPR0042.GPX\n"
            "Destination file GOPR0042.GPX exists! Proceeding anyway.\n"
            "Could not open GPX file GOPR0042.GPX: Is a directory. Proceeding anyway.\n";
        const RunResult r = convert(dir, {"log.dat", "-v", "GOPR0042.MP4"});
        EXPECT_EQ(r.exit_status, 0);
        EXPECT_EQ(r.out, "Using video base path: GOPR0042.MP4\nOpened settings file\nParsing: csv yes\n" +
                             settings_dump(s) + preamble("GOPR0042.MP4") + DEFAULT_PRESETS +
                             chapter_start(0, "GOPR0042.MP4", 1000, 0, "GOPR0042.SRT") +
                             "Now writing CSV data to GOPR0042.CSV\n"
                             "Destination file GOPR0042.CSV exists! Proceeding anyway.\n"
                             "Could not open CSV file GOPR0042.CSV: Is a directory. Proceeding anyway.\n" +
                             gpx_fails + gpx_fails);
        const std::string line = "100 ft    1.0 G\n62 mph    0.0 mi\n";
        EXPECT_EQ(read_file(dir.file("GOPR0042.SRT")),
                  entry(1, "00:00:00,000", "00:00:00,000") + entry(2, "00:00:00,000", "00:00:00,200", line) +
                      entry(3, "00:00:00,200", "00:00:00,400", line) + entry(4, "00:00:00,400", "00:00:00,600", line));
    }
}

// ---- The converter never writes over its own inputs.

struct InputCase {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;  // name, content
    std::vector<std::string> args;
    std::string out_tail;  // stdout from the first chapter's probe on
    std::string protected_file;
};

TEST(ConverterOutputs, NeverOverwritesItsOwnInputs) {
    const std::string log = log_with_header().samples({0, 200}).fix(600, fix_at(0)).samples({400}).bytes();
    const std::string mp4 = mp4_file(1000);
    Settings csv_on;
    csv_on.csv = on_off::ON;
    const InputCase cases[] = {
        {"seven-digit file number: every name is cut to the video's own name",
         {{"log.dat", log}, {"GOPR1234567.", mp4}},
         {"log.dat", "-v", "GOPR1234567.MP4"},
         probe_ok("GOPR1234567.", 1000) +
             "Moving on to chapter 0 (GOPR1234567.) with length 1000\n"
             "Chapter offset is now 0\nRefusing to overwrite input file GOPR1234567. with output GOPR1234567.\n",
         "GOPR1234567."},
        {"log named like the subtitle file",
         {{"GOPR0042.SRT", log}, {"GOPR0042.MP4", mp4}},
         {"GOPR0042.SRT"},
         probe_ok("GOPR0042.MP4", 1000) +
             "Moving on to chapter 0 (GOPR0042.MP4) with length 1000\n"
             "Chapter offset is now 0\nRefusing to overwrite input file GOPR0042.SRT with output GOPR0042.SRT\n",
         "GOPR0042.SRT"},
        {"subtitle name is a hard link to the log",
         {{"log.dat", log}, {"GOPR0042.MP4", mp4}, {"=GOPR0042.SRT", "log.dat"}},
         {"log.dat", "-v", "GOPR0042.MP4"},
         probe_ok("GOPR0042.MP4", 1000) +
             "Moving on to chapter 0 (GOPR0042.MP4) with length 1000\n"
             "Chapter offset is now 0\nRefusing to overwrite input file log.dat with output GOPR0042.SRT\n",
         "log.dat"},
        {"settings file named like the CSV file",
         {{"log.dat", log}, {"GOPR0042.MP4", mp4}, {"GOPR0042.CSV", "csv = on\n"}},
         {"log.dat", "-v", "GOPR0042.MP4", "-s", "GOPR0042.CSV"},
         chapter_start(0, "GOPR0042.MP4", 1000, 0, "GOPR0042.SRT") +
             "Refusing to overwrite input file GOPR0042.CSV with output GOPR0042.CSV\n",
         "GOPR0042.CSV"},
        {"GPX name is a symbolic link to the log",
         {{"log.dat", log}, {"GOPR0042.MP4", mp4}, {"@GOPR0042.GPX", "log.dat"}},
         {"log.dat", "-v", "GOPR0042.MP4"},
         chapter_start(0, "GOPR0042.MP4", 1000, 0, "GOPR0042.SRT") +
             "Refusing to overwrite input file log.dat with output GOPR0042.GPX\n",
         "log.dat"},
    };
    for (const auto& c : cases) {
        TempDir dir;
        for (const auto& [name, content] : c.files) {
            if (name[0] == '=') ASSERT_EQ(link(dir.file(content).c_str(), dir.file(name.substr(1)).c_str()), 0);
            else if (name[0] == '@') ASSERT_EQ(symlink(content.c_str(), dir.file(name.substr(1)).c_str()), 0);
            else write_file(dir.file(name), content);
        }
        const std::string before = read_file(dir.file(c.protected_file));
        const RunResult r = convert(dir, c.args);
        EXPECT_EQ(r.exit_status, 255) << c.what;
        EXPECT_TRUE(r.out.ends_with(DEFAULT_PRESETS + c.out_tail)) << c.what << "\n" << r.out;
        EXPECT_EQ(read_file(dir.file(c.protected_file)), before) << c.what;
    }
}

// ---- Subtitle items and timing.

TEST(ConverterSubtitles, ReadingLinesAccelerationBarAndPins) {
    TempDir dir;
    write_file(dir.file("settings.txt"),
               "; every reading on\naltitude = both\ntemperature = c\naccel = full\ngbar = on\nid_pins = on\n"
               "alt_filter = off\naccel_filter = off\n");
    DatLog log = log_with_header();
    log.sample(0, reading(-100, -105, {103, -1024, 2048}, 1))
        .sample(100, reading())  // 100 ms after the last entry: skipped
        .sample(3723004, reading(NO_VALUE, NO_VALUE, {-1, 5, 6}, 2))
        .sample(3723104, reading())                            // skipped
        .sample(360000000, reading(3281, 215, {0, 0, 0}, 3));  // exactly at the chapter's end
    write_file(dir.file("log.dat"), log.bytes());
    write_file(dir.file("GOPR0042.MP4"), mp4_file(360000000));
    Settings s;
    s.altitude = altitude_unit::BOTH;
    s.temperature = temperature_unit::CELSIUS;
    s.accel = accel_shown::MAGNITUDE_AND_AXES;
    s.gbar = show_hide::SHOWN;
    s.id_pins = show_hide::SHOWN;
    s.alt_filter = 0;
    s.accel_filter = 0;
    const RunResult r = convert(dir, {"log.dat", "-v", "GOPR0042.MP4"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out,
              "Using video base path: GOPR0042.MP4\nOpened settings file\n"
              "Parsing: altitude both\nParsing: temperature c\nParsing: accel full\nParsing: gbar on\n"
              "Parsing: id_pins on\nParsing: alt_filter off\nFilter string value detected\n"
              "Parsing: accel_filter off\nFilter string value detected\n" +
                  settings_dump(s) + preamble("GOPR0042.MP4") + "Filter preset lookup: alt: 0, accel: 0\n" +
                  chapter_start(0, "GOPR0042.MP4", 360000000, 0, "GOPR0042.SRT"));
    EXPECT_EQ(read_file(dir.file("GOPR0042.SRT")),
              entry(1, "00:00:00,000", "00:00:00,000",
                    "-100 ft   -30 m   -10 C    1.1 G\nX:  0.1  Y: -0.5  Z:  1.0\n|||||||||||\nID1: 1   ID2: 0\n") +
                  entry(3, "00:00:00,000", "01:02:03,004",
                        "--- ft   --- m   -- C   --- G\nX: ---  Y: ---  Z: ---\nID1: 0   ID2: 1\n") +
                  entry(5, "01:02:03,004", "100:00:00,000",
                        "3281 ft   1000 m   21 C    0.0 G\nX:  0.0  Y:  0.0  Z:  0.0\n\nID1: 1   ID2: 1\n"));
}

TEST(ConverterSubtitles, HighGHundredthsAxesOnlyAndEarlierTimestamps) {
    TempDir dir;
    write_file(dir.file("settings.txt"),
               "ALTITUDE=Meters\ntemperature = F\naccel = xyz\naccel_places = 2\ngbar = yes\nmin_sub_delay = 0\n"
               "alt_filter = off\naccel_filter = 0\n");
    DatLog log = log_with_header();
    log.sample(0, reading(1000, -105, {32767, -3277, 0}))
        .sample(5, reading(NO_VALUE, NO_VALUE, {0, -1, 0}))
        .sample(3, reading(0, 0, {0, 0, 0}));  // earlier than the last entry: never skipped
    write_file(dir.file("log.dat"), log.bytes());
    write_file(dir.file("GOPR0042.MP4"), mp4_file(1000));
    Settings s;
    s.altitude = altitude_unit::METRES;
    s.temperature = temperature_unit::FAHRENHEIT;
    s.accel = accel_shown::AXES;
    s.accel_places = decimal_places::TWO;
    s.gbar = show_hide::SHOWN;
    s.min_sub_delay = 0;
    s.alt_filter = 0;
    s.accel_filter = 0;
    const RunResult r = convert(dir, {"log.dat", "--high-g", "--video-file", "GOPR0042.MP4"});
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_EQ(r.out,
              "Enabling high-G mode\nUsing video base path: GOPR0042.MP4\nOpened settings file\n"
              "Parsing: altitude meters\nParsing: temperature f\nParsing: accel xyz\n"
              "Parsing: accel_places 2\nParsing: gbar yes\nParsing: min_sub_delay 0\n"
              "Parsing: alt_filter off\nFilter string value detected\n"
              "Parsing: accel_filter 0\nUnknown value: <0>\nFilter numeric value detected\n" +
                  settings_dump(s) + preamble("GOPR0042.MP4", 0, 1) + "Filter preset lookup: alt: 0, accel: 0\n" +
                  chapter_start(0, "GOPR0042.MP4", 1000, 0, "GOPR0042.SRT"));
    // 32767 counts on the 200 G scale: 199.99 G; the bar counts tenths of G.
    EXPECT_EQ(read_file(dir.file("GOPR0042.SRT")),
              entry(1, "00:00:00,000", "00:00:00,000",
                    "304 m   14 F\nX:  199.99  Y: -20.00  Z:  0.00\n" + std::string(2009, '|') + "\n") +
                  entry(2, "00:00:00,000", "00:00:00,005", "--- m   -- F\nX: ---  Y: ---  Z: ---\n") +
                  entry(3, "00:00:00,005", "00:00:00,003", "0 m   32 F\nX:  0.00  Y:  0.00  Z:  0.00\n\n"));
}

}  // namespace
}  // namespace tarvex
