// Card mode, --strict, --version, chapter names as users have them and the
// settings messages, through the real converter on files built here.
#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "dat_log.h"
#include "mp4_bytes.h"
#include "test_support.h"
#include "version.h"

namespace tarvex::test {
namespace {

namespace fs = std::filesystem;

// A log with one reading (100 ft, 21.5 C) every 100 ms from 0 to `last_ms`.
std::string log_until(std::uint32_t last_ms) {
    DatLog log = log_with_header();
    for (std::uint32_t ts = 0; ts <= last_ms; ts += 100) log.sample(ts, reading());
    return log.take();
}

void put(const std::string& path, const std::string& bytes) {
    fs::create_directories(fs::path(path).parent_path());
    write_file(path, bytes);
}

RunResult converter(const std::vector<std::string>& args, const std::string& cwd) {
    std::vector<std::string> argv{binary_path("converter/converter")};
    argv.insert(argv.end(), args.begin(), args.end());
    return run_program(argv, cwd);
}

// The last `n` lines of `text`.
std::string tail(const std::string& text, int n) {
    std::size_t pos = text.size();
    for (int i = 0; i <= n && pos != std::string::npos && pos > 0; ++i) pos = text.rfind('\n', pos - 1);
    return pos == std::string::npos ? text : text.substr(pos + 1);
}

TEST(CardMode, ConvertsEveryLogBesideItsChaptersWithItsOwnSettings) {
    TempDir dir;
    const std::string card = dir.file("card");
    const std::string a = card + "/DCIM/100MEDIA/", b = card + "/DCIM/101MEDIA/";
    // Two chapters, the whole log inside them; the card's settings.
    put(a + "GOPR0001.DAT", log_until(1900));
    put(a + "GOPR0001.MP4", mp4_file(1000));
    put(a + "GP010001.MP4", mp4_file(1000));
    // The middle chapter is missing: the log runs 1.9 s past the first.
    put(a + "GOPR0002.DAT", log_until(2900));
    put(a + "GOPR0002.MP4", mp4_file(1000));
    put(a + "GP020002.MP4", mp4_file(1000));
    // Its own settings beside it.
    put(b + "GOPR0003.DAT", log_until(500));
    put(b + "GOPR0003.MP4", mp4_file(1000));
    put(b + "settings.txt", "temperature = celsius\n");
    put(b + "NOTALOG.DAT", "firmware data");
    put(card + "/tarvex/settings.txt", "altitude = meters\n");

    const RunResult r = converter({"--card", "card", "--verbose"}, dir.path());
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(tail(r.out, 4),
              "DCIM/100MEDIA/GOPR0001.DAT: converted, 2 chapters; settings: tarvex/settings.txt\n"
              "DCIM/100MEDIA/GOPR0002.DAT: failed, 1 chapter written, 1.9 s of log left unconverted "
              "(no video GP010002.MP4); "
              "settings: tarvex/settings.txt\n"
              "DCIM/101MEDIA/GOPR0003.DAT: converted, 1 chapter; settings: DCIM/101MEDIA/settings.txt\n"
              "3 logs: 2 converted, 1 failed\n");
    EXPECT_EQ(r.out.rfind("DCIM/101MEDIA/NOTALOG.DAT: not a sensor log, skipped\n", 0), 0u) << r.out;
    // Each log's console in card order, as the single-log command prints it.
    const auto first = r.out.find("Converting DCIM/100MEDIA/GOPR0001.DAT (settings: tarvex/settings.txt)\n");
    const auto second = r.out.find("Converting DCIM/100MEDIA/GOPR0002.DAT");
    const auto third = r.out.find("Converting DCIM/101MEDIA/GOPR0003.DAT");
    EXPECT_TRUE(first < second && second < third) << r.out;
    EXPECT_NE(r.out.find("Now writing to GP010001.SRT\n", first), std::string::npos);

    const std::string metres = read_file(a + "GP010001.SRT");
    EXPECT_NE(metres.find("30 m"), std::string::npos) << metres;
    EXPECT_TRUE(file_exists(a + "GOPR0001.SRT") && file_exists(a + "GOPR0002.SRT"));
    EXPECT_FALSE(file_exists(a + "GP010002.SRT") || file_exists(a + "GP020002.SRT"));
    const std::string celsius = read_file(b + "GOPR0003.SRT");
    EXPECT_NE(celsius.find("100 ft"), std::string::npos) << celsius;
    EXPECT_NE(celsius.find("21 C"), std::string::npos) << celsius;

    // -s wins over every other settings file; one complete log exits 0.
    put(dir.file("mine.txt"), "altitude = both\n");
    const RunResult one = converter({"--card", "card/DCIM/101MEDIA", "-s", "mine.txt", "-g"}, dir.path());
    EXPECT_EQ(one.exit_status, 0);
    EXPECT_EQ(tail(one.out, 2),
              "GOPR0003.DAT: converted, 1 chapter; settings: mine.txt\n"
              "1 log: 1 converted, 0 failed\n");
    EXPECT_NE(read_file(b + "GOPR0003.SRT").find("100 ft   30 m"), std::string::npos);

    fs::create_directories(dir.file("empty"));
    const RunResult none = converter({"--card", "empty"}, dir.path());
    EXPECT_EQ(none.exit_status, 2);
    EXPECT_EQ(none.out, "No sensor logs found under empty\n");
}

// A card or folder as the test lays it out, a command line run in it, and
// what the run must show.
struct CardCase {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;  // path in the folder, content
    std::vector<std::string> args;
    int status;
    std::vector<std::string> printed;  // text stdout holds
    std::vector<std::string> not_printed;
    std::vector<std::string> written;  // files that must exist afterwards
    std::vector<std::string> not_written;
    std::vector<std::string> on_stderr = {};  // text stderr holds
};

void check(const CardCase& c) {
    TempDir dir;
    for (const auto& [name, content] : c.files) put(dir.file(name), content);
    const RunResult r = converter(c.args, dir.path());
    EXPECT_EQ(r.exit_status, c.status) << c.what << "\n" << r.out;
    for (const std::string& s : c.printed)
        EXPECT_NE(r.out.find(s), std::string::npos) << c.what << ": " << s << "\n" << r.out;
    for (const std::string& s : c.not_printed) EXPECT_EQ(r.out.find(s), std::string::npos) << c.what << ": " << s;
    for (const std::string& f : c.written) EXPECT_TRUE(file_exists(dir.file(f))) << c.what << ": " << f;
    for (const std::string& f : c.not_written) EXPECT_FALSE(file_exists(dir.file(f))) << c.what << ": " << f;
    for (const std::string& s : c.on_stderr)
        EXPECT_NE(r.err.find(s), std::string::npos) << c.what << ": " << s << "\n" << r.err;
}

TEST(SingleLogOptions, StrictVersionChapterNamesAndSettingsMessages) {
    const std::string log = log_until(2900), short_log = log_until(900);
    std::string bad_magic = short_log;
    bad_magic.replace(0, 4, "XXXX");
    const std::string v = std::string("converter ") + PROGRAM_VERSION + "\n";
    const CardCase cases[] = {
        {"version", {}, {"--version"}, 0, {v}, {}, {}, {}},
        {"version after the log", {}, {"x.dat", "--version"}, 0, {v}, {"Settings filename"}, {}, {}},
        {"strict: log left over",
         {{"x.dat", log_until(2900)}, {"GOPR0042.MP4", mp4_file(1000)}},
         {"x.dat", "-v", "GOPR0042.MP4", "--strict"},
         1,
         {"No more chapters. Exiting.\nx.dat: failed, 1 chapter written, 1.9 s of log left unconverted "
          "(no video GP010042.MP4); "
          "settings: defaults\n"},
         {},
         {"GOPR0042.SRT"},
         {}},
        {"strict: complete",
         {{"x.dat", short_log}, {"GOPR0042.MP4", mp4_file(1000)}, {"settings.txt", "csv = yes\n"}},
         {"--strict", "x.dat", "-v", "GOPR0042.MP4"},
         0,
         {"x.dat: converted, 1 chapter; settings: settings.txt\n"},
         {},
         {"GOPR0042.CSV"},
         {}},
        {"strict: fatal error",
         {{"x.dat", bad_magic}},
         {"x.dat", "--strict"},
         255,
         {"x.dat: failed, exit status 255 (Invalid DAT header magic: 58585858!); settings: defaults\n"},
         {},
         {},
         {}},
        {"strict: no video",
         {{"x.dat", short_log}},
         {"x.dat", "--strict"},
         1,
         {"x.dat: failed, no chapter written (no video GOPR0000.MP4); settings: defaults\n"},
         {},
         {},
         {}},
        {"strict: help has no summary",
         {},
         {"x.dat", "--strict", "-h"},
         0,
         {"Wrong arguments.\n"},
         {"x.dat: "},
         {},
         {}},
        {"strict: missing -s file",
         {{"x.dat", short_log}},
         {"x.dat", "--strict", "-s", "typo.txt"},
         1,
         {"Using settings file: typo.txt\nSettings file typo.txt not found: using the defaults.\n"},
         {},
         {},
         {}},
        {"strict: settings line notes",
         {{"x.dat", short_log},
          {"settings.txt", "temperature = fahrenheit\n; comment\ntemperature = kelvin\nfoo = 1\ngps_lag = 99999\n"}},
         {"x.dat", "--strict"},
         1,
         {"Unknown value: <kelvin>\nsettings.txt line 3: key temperature: value not understood, left as before\n",
          "settings.txt line 4: key foo: not a known setting, ignored\n",
          "settings.txt line 5: key gps_lag: value out of range, 1000 used instead\n", "Temp:\t\t\t2\n"},
         {"line 1", "line 2"},
         {},
         {}},
        {"default console has no line notes",
         {{"x.dat", short_log}, {"settings.txt", "temperature = kelvin\n"}},
         {"x.dat", "-s", "settings.txt"},
         0,
         {"Unknown value: <kelvin>\n"},
         {"line 1", "not found"},
         {},
         {}},
        {"celsius in the default mode",
         {{"x.dat", short_log}, {"settings.txt", "temperature = Celsius\n"}},
         {"x.dat"},
         0,
         {"Temp:\t\t\t1\n"},
         {"Unknown value"},
         {},
         {}},
        {"lower-case chapters",
         {{"x.dat", log_until(1900)}, {"gopr0042.mp4", mp4_file(1000)}, {"gp010042.mp4", mp4_file(1000)}},
         {"x.dat", "-v", "gopr0042.mp4", "--strict"},
         0,
         {"Now writing to gp010042.srt\n"},
         {},
         {"gopr0042.srt", "gp010042.srt"},
         {"GOPR0042.SRT"}},
        {"renamed video is the only chapter; no other file is read",
         {{"x.dat", log},
          {"MyRide.mp4", mp4_file(1000)},
          {"GOPR0000.MP4", mp4_file(1000)},
          {"settings.txt", "csv = on\n"}},
         {"x.dat", "-v", "MyRide.mp4"},
         0,
         {"Now writing to MyRide.SRT\n", "No more chapters. Exiting.\n"},
         {"GOPR0000", "GP01"},
         {"MyRide.SRT", "MyRide.CSV"},
         {"GOPR0000.SRT"}},
    };
    for (const CardCase& c : cases) check(c);

    const RunResult rec = run_program({binary_path("sim/recorder-sim-rev3"), "--version"});
    EXPECT_EQ(rec.exit_status, 0);
    EXPECT_EQ(rec.out, std::string("recorder-sim-rev3 ") + PROGRAM_VERSION + "\n");
}

std::string example(const std::string& name) { return read_file(source_path("examples/outing/" + name)); }

TEST(CardVerdicts, RecordingsEndingJustAfterTheVideoAreConvertedAndAMissingChapterFails) {
    const std::string outing = example("datalog.bin"), first = example("GOPR0042.MP4"),
                      second = example("GP010042.MP4");
    const std::string m = "card/DCIM/100MEDIA/";
    const CardCase cases[] = {
        {"the outing example on a card: its log runs 0.111 s past the video",
         {{m + "GOPR0042.DAT", outing}, {m + "GOPR0042.MP4", first}, {m + "GP010042.MP4", second}},
         {"--card", "card"},
         0,
         {"DCIM/100MEDIA/GOPR0042.DAT: converted, 2 chapters; settings: defaults\n"},
         {},
         {},
         {},
         {}},
        {"the outing example under --strict",
         {{"datalog.bin", outing}, {"GOPR0042.MP4", first}, {"GP010042.MP4", second}},
         {"datalog.bin", "-v", "GOPR0042.MP4", "--strict"},
         0,
         {"datalog.bin: converted, 2 chapters; settings: defaults\n"},
         {},
         {},
         {},
         {}},
        {"a missing 30 s last chapter",
         {{m + "GOPR0001.DAT", log_until(60000)}, {m + "GOPR0001.MP4", mp4_file(30000)}},
         {"--card", "card"},
         1,
         {"GOPR0001.DAT: failed, 1 chapter written, 30.0 s of log left unconverted (no video GP010001.MP4)"},
         {},
         {},
         {},
         {}},
    };
    for (const CardCase& c : cases) check(c);
}

// A recording of the simulated camera, converted by the example hook, with
// a chapter that ffmpeg made at the recording's length.
TEST(CardVerdicts, ASimulatedRecordingIsConverted) {
    const std::string ffmpeg = find_tool("ffmpeg");
    if (ffmpeg.empty()) GTEST_SKIP() << "ffmpeg is not installed; nothing checked";
    TempDir dir;
    const std::string card = dir.file("root/tmp/fuse_d"), media = card + "/DCIM/100MEDIA";
    fs::create_directories(media);
    fs::create_directories(card + "/tarvex");
    fs::copy_file(source_path("examples/outing/root/tmp/process.sh"), dir.file("root/tmp/process.sh"));
    fs::copy_file(source_path("recorder/process.sh"), card + "/tarvex/process.sh");
    ASSERT_EQ(run_program({ffmpeg, "-nostdin", "-v", "error", "-f", "lavfi", "-i", "color=c=black:s=16x16:r=10:d=10",
                           "-c:v", "mpeg4", media + "/GOPR0001.MP4"})
                  .exit_status,
              0);
    write_file(dir.file("scenario.txt"), "record 2 12\nend 20\n");  // a 10 s video
    setenv("TARVEX_CONVERTER", binary_path("converter/converter").c_str(), 1);
    const RunResult rec = run_program({binary_path("sim/recorder-sim-rev3"), "scenario.txt", "root"}, dir.path());
    unsetenv("TARVEX_CONVERTER");
    // The hook converts in the background; its console ends with this line.
    ASSERT_TRUE(wait_until_file_holds(media + "/GOPR0001.LOG", "process.sh: conversion ended, status 0\n")) << rec.out;
    ASSERT_TRUE(file_exists(media + "/GOPR0001.SRT")) << rec.out;

    const RunResult r = converter({"--card", "root/tmp/fuse_d"}, dir.path());
    EXPECT_EQ(r.exit_status, 0) << r.out;
    EXPECT_NE(r.out.find("DCIM/100MEDIA/GOPR0001.DAT: converted, 1 chapter; settings: defaults\n"), std::string::npos)
        << r.out;
}

TEST(RightChapter, AChapterNamedInEitherFormAndCaseFindsItsRecording) {
    const std::string log = log_until(1900), one = mp4_file(1000);
    const CardCase cases[] = {
        {"a later chapter converts its recording from the first",
         {{"x.dat", log}, {"GOPR0042.MP4", one}, {"GP010042.MP4", one}},
         {"x.dat", "-v", "GP010042.MP4", "--strict"},
         0,
         {"GP010042.MP4 is chapter 1 of recording 0042: converting the recording from GOPR0042.MP4\n",
          "x.dat: converted, 2 chapters"},
         {},
         {"GOPR0042.SRT", "GP010042.SRT"},
         {},
         {}},
        {"a later chapter without its first",
         {{"x.dat", log}, {"gp010042.MP4", one}},
         {"x.dat", "-v", "gp010042.MP4", "--strict"},
         1,
         {"gp010042.MP4 is chapter 1 of recording 0042; placing it in the log needs gopr0042.MP4\n"},
         {},
         {},
         {"gp010042.SRT", "GOPR0042.SRT"},
         {}},
        {"upper-case names, lower-case extensions",
         {{"x.dat", log}, {"GOPR0042.mp4", one}, {"GP010042.mp4", one}},
         {"x.dat", "-v", "GOPR0042.mp4", "--strict"},
         0,
         {"x.dat: converted, 2 chapters"},
         {},
         {"GOPR0042.srt", "GP010042.srt"},
         {},
         {}},
        {"a card whose extensions an importer made lower case",
         {{"card/GOPR0001.DAT", log}, {"card/GOPR0001.mp4", one}, {"card/GP010001.mp4", one}},
         {"--card", "card"},
         0,
         {"GOPR0001.DAT: converted, 2 chapters"},
         {},
         {"card/GOPR0001.srt", "card/GP010001.srt"},
         {},
         {}},
    };
    for (const CardCase& c : cases) check(c);
}

TEST(CardRun, EveryLogIsAccountedForAndTheSummaryIsTrue) {
    const std::string log = log_until(500), one = mp4_file(1000);
    const std::string stale = ".GOPR0001.SRT.99999999.part",
                      live = ".GOPR0001.SRT." + std::to_string(getpid()) + ".part";
    const CardCase cases[] = {
        {"logs whose outputs would have the same names",
         {{"card/GOPR0001.DAT", log},
          {"card/GOPR0001 copy.DAT", log},
          {"card/GOPR0001.MP4", one},
          {"card/a.DAT", log},
          {"card/b.DAT", log},
          {"card/GOPR0000.MP4", one},
          {"card/GOPR0002.DAT", log},
          {"card/GOPR0002.MP4", one}},
         {"--card", "card"},
         1,
         {"GOPR0001 copy.DAT: failed, its outputs (GOPR0001.*) would have the names of those of GOPR0001.DAT; "
          "none of them is converted; settings: defaults\n",
          "GOPR0001.DAT: failed, its outputs (GOPR0001.*) would have the names of those of GOPR0001 copy.DAT",
          "a.DAT: failed, its outputs (GOPR0000.*) would have the names of those of b.DAT",
          "GOPR0002.DAT: converted, 1 chapter; settings: defaults\n", "5 logs: 1 converted, 4 failed\n"},
         {"Now writing"},
         {"card/GOPR0002.SRT"},
         {"card/GOPR0001.SRT", "card/GOPR0000.SRT"},
         {"a.DAT: failed, its outputs"}},
        {"a folder inside the card finds the card's settings; stale temporary files go, live ones stay",
         {{"card/tarvex/settings.txt", "csv = yes\n"},
          {"card/DCIM/GOPR0001.DAT", log},
          {"card/DCIM/GOPR0001.MP4", one},
          {"card/DCIM/" + stale, ""},
          {"card/DCIM/" + live, ""}},
         {"--card", "card/DCIM"},
         0,
         {"Removed 1 temporary file left by an interrupted conversion\n",
          "The card's settings file: ../tarvex/settings.txt\n",
          "GOPR0001.DAT: converted, 1 chapter; settings: ../tarvex/settings.txt\n"},
         {},
         {"card/DCIM/GOPR0001.CSV", "card/DCIM/" + live},
         {"card/DCIM/" + stale},
         {}},
        {"names that would split or garble a line are escaped",
         {{"card/new\nline\x1b[2J\xff/GOPR0001.DAT", log}},
         {"--card", "card"},
         1,
         {"new\\x0Aline\\x1B[2J\\xFF/GOPR0001.DAT: failed, no chapter written (no video GOPR0001.MP4); "
          "settings: defaults\n"},
         {},
         {},
         {},
         {"new\\x0Aline"}},
    };
    for (const CardCase& c : cases) check(c);
}

// A tree deeper than the open-file limit: the card is still searched, the
// folders too deep are named and the run is not complete.
TEST(CardRun, ADeepTreeIsSearchedToALimitAndSaysWhatItLeftOut) {
    TempDir dir;
    std::string deep = "card";
    for (int i = 0; i < 20; ++i) deep += "/d";
    put(dir.file(deep + "/GOPR0009.DAT"), log_until(500));
    put(dir.file("card/d/GOPR0001.DAT"), log_until(500));
    put(dir.file("card/d/GOPR0001.MP4"), mp4_file(1000));
    const RunResult r = run_program(
        {"/bin/sh", "-c", "ulimit -n 12; exec \"$0\" --card card", binary_path("converter/converter")}, dir.path());
    EXPECT_EQ(r.exit_status, 1) << r.out;
    EXPECT_NE(r.out.find("d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d/d: more than 16 folders down, not searched\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("d/GOPR0001.DAT: converted, 1 chapter; settings: defaults\n"
                         "1 log: 1 converted, 0 failed; 1 folder not searched\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.err.find("more than 16 folders down"), std::string::npos) << r.err;
}

// A folder the user may not read; as a superuser, the run is made as nobody.
TEST(CardRun, AnUnreadableFolderIsNamedAndTheRunIsNotComplete) {
    TempDir dir;
    put(dir.file("card/GOPR0001.DAT"), log_until(500));
    put(dir.file("card/GOPR0001.MP4"), mp4_file(1000));
    put(dir.file("card/locked/GOPR0002.DAT"), log_until(500));
    std::vector<std::string> argv{binary_path("converter/converter"), "--card", "card"};
    if (geteuid() == 0) {
        const std::string setpriv = find_tool("setpriv");
        if (setpriv.empty()) GTEST_SKIP() << "running as a superuser without setpriv";
        argv.insert(argv.begin(), {setpriv, "--reuid=65534", "--regid=65534", "--clear-groups"});
        // The programs under test may lie where another user cannot reach
        // them (the ARM programs' private wrapper folder).
        if (run_program({setpriv, "--reuid=65534", "--regid=65534", "--clear-groups", "test", "-x", argv[4]})
                .exit_status != 0)
            GTEST_SKIP() << argv[4] << " cannot be run as another user";
        for (const auto& e : fs::recursive_directory_iterator(dir.path()))
            fs::permissions(e.path(), fs::perms::all, fs::perm_options::add);
        fs::permissions(dir.path(), fs::perms::all, fs::perm_options::add);
    }
    fs::permissions(dir.file("card/locked"), fs::perms::none);
    const RunResult r = run_program(argv, dir.path());
    fs::permissions(dir.file("card/locked"), fs::perms::owner_all);
    EXPECT_EQ(r.exit_status, 1) << r.out << r.err;
    EXPECT_NE(r.out.find("locked: cannot be read (Permission denied)\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("1 log: 1 converted, 0 failed; 1 folder not searched\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("locked: cannot be read"), std::string::npos) << r.err;
}

// A log whose tail is zeros prints a line per empty entry: the console kept
// of it is its first and last 64 KiB.
TEST(CardRun, AHugeConsoleIsCutToItsEnds) {
    TempDir dir;
    put(dir.file("card/GOPR0001.DAT"), log_until(500) + std::string(4 << 20, '\0'));
    put(dir.file("card/GOPR0001.MP4"), mp4_file(1000));
    const RunResult r = converter({"--card", "card", "--verbose"}, dir.path());
    EXPECT_EQ(r.exit_status, 0);
    EXPECT_LT(r.out.size(), 200000u);
    EXPECT_NE(r.out.find(" bytes of this log's console left out ...]\n"), std::string::npos);
    EXPECT_NE(r.out.find("!\nGOPR0001.DAT: converted, 1 chapter"), std::string::npos) << tail(r.out, 3);
}

TEST(SingleLogConsole, QuietStrictWhereOptionsStandAndSummariesOnTheirOwnLine) {
    const std::string log = log_until(500), one = mp4_file(1000);
    const CardCase cases[] = {
        {"--quiet keeps the warnings only",
         {{"x.dat", log}, {"GOPR0000.MP4", one}, {"GOPR0000.SRT", "earlier"}},
         {"x.dat", "--quiet"},
         0,
         {"Warning: destination file GOPR0000.SRT exists! Proceeding anyway.\n"},
         {"Settings filename", "Now writing", "Could not open", "No such file", "No more chapters"},
         {"GOPR0000.SRT"},
         {},
         {}},
        {"--quiet --strict: the summary line",
         {{"x.dat", log}, {"GOPR0000.MP4", one}},
         {"--quiet", "x.dat", "--strict"},
         0,
         {"x.dat: converted, 1 chapter; settings: defaults\n"},
         {"Moving on", "Settings filename"},
         {},
         {},
         {}},
        {"a settings file named --strict",
         {{"x.dat", log}, {"GOPR0000.MP4", one}, {"--strict", "csv = yes\n"}},
         {"x.dat", "-s", "--strict"},
         0,
         {"Using settings file: --strict\n"},
         {"x.dat: converted", "Wrong arguments"},
         {"GOPR0000.CSV"},
         {},
         {}},
        {"a summary after an empty entry's message starts its own line",
         {{"x.dat", log_until(30000) + std::string(8, '\0')}, {"GOPR0000.MP4", mp4_file(31000)}},
         {"x.dat", "--strict"},
         0,
         {"Invalid log entry size: 0\n!\nx.dat: converted, 1 chapter"},
         {},
         {},
         {},
         {}},
    };
    for (const CardCase& c : cases) check(c);

    const RunResult datview = run_program({binary_path("datview/datview"), "--version"});
    EXPECT_EQ(datview.exit_status, 0);
    EXPECT_EQ(datview.out, std::string("datview ") + PROGRAM_VERSION + "\n");
}

TEST(FilesThatAreNotWhatTheySeem, FifosFileSizeLimitsLongNamesAndVideosAreHandled) {
    struct Case {
        const char* what;
        std::string shell;  // run by sh in the folder; $C is the converter, $D datview
        int status;
        std::string printed;  // on stdout or stderr
        std::vector<std::string> written;
    };
    const std::string long_name = std::string(248, 'a');  // its outputs' names are 252 bytes
    const Case cases[] = {
        {"a FIFO as the log",
         "mkfifo f; timeout 5 \"$C\" f --strict",
         255,
         "f: failed, exit status 255 (Log file f is not a regular file. Exiting.)",
         {}},
        {"a FIFO as datview's log", "mkfifo f; timeout 5 \"$D\" info f", 2, "datview: f is not a regular file\n", {}},
        {"a file size limit",
         "ulimit -f 1; exec \"$C\" x.dat",
         74,
         "Could not write GOPR0000.SRT: File too large\n",
         {}},
        {"output names close to the length limit",
         "cp GOPR0000.MP4 " + long_name + ".mp4; \"$C\" x.dat -v " + long_name + ".mp4",
         0,
         "Now writing to " + long_name + ".SRT\n",
         {long_name + ".SRT"}},
        {"a picture over a chapter video",
         "\"$D\" plot x.dat -o GOPR0000.MP4",
         2,
         "refusing to write the picture over its input GOPR0000.MP4",
         {}},
    };
    for (const Case& c : cases) {
        TempDir dir;
        write_file(dir.file("x.dat"), log_until(30000));
        write_file(dir.file("GOPR0000.MP4"), mp4_file(40000));
        setenv("C", binary_path("converter/converter").c_str(), 1);
        setenv("D", binary_path("datview/datview").c_str(), 1);
        const RunResult r = run_program({"/bin/sh", "-c", c.shell}, dir.path());
        unsetenv("C");
        unsetenv("D");
        EXPECT_EQ(r.exit_status, c.status) << c.what << "\n" << r.out << r.err;
        EXPECT_NE((r.out + r.err).find(c.printed), std::string::npos) << c.what << "\n" << r.out << r.err;
        for (const std::string& f : c.written) EXPECT_TRUE(file_exists(dir.file(f))) << c.what << ": " << f;
        for (const std::string& name : dir.names()) EXPECT_NE(name[0], '.') << c.what << ": " << name << " left";
        EXPECT_EQ(read_file(dir.file("GOPR0000.MP4")), mp4_file(40000)) << c.what;
    }
}

}  // namespace
}  // namespace tarvex::test
