// The example post-processing hook (recorder/process.sh) run by the real
// shell against a card laid out in a scratch folder, with the real converter
// or a stand-in that shows when and how it ran.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "dat_log.h"
#include "mp4_bytes.h"
#include "test_support.h"

namespace tarvex::test {
namespace {

namespace fs = std::filesystem;

// A DAT log: header and one sample every 100 ms for 1.9 s, two chapters' worth.
std::string small_log() {
    DatLog log = log_with_header();
    for (std::uint32_t ts = 0; ts < 1900; ts += 100) log.sample(ts, static_cast<std::int32_t>(ts / 10));
    return log.take();
}

// Every file under `root`, as paths relative to it.
std::set<std::string> files_under(const std::string& root) {
    std::set<std::string> out;
    if (!fs::exists(root)) return out;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        if (e.is_regular_file()) out.insert(fs::relative(e.path(), root).string());
    }
    return out;
}

class ProcessHook : public testing::Test {
protected:
    void SetUp() override {
        card = dir.file("fuse_d");
        log = dir.file("datalog.bin");
        settings = dir.file("settings.txt");
        fs::create_directories(card);
        converter = binary_path("converter/converter");
        if (!file_exists(converter)) GTEST_SKIP() << "converter not built";
    }

    // The hook's conversion runs in the background; its console ends with this.
    static bool conversion_ended(const std::string& console, int status = 0) {
        return wait_until_file_holds(console, "process.sh: conversion ended, status " + std::to_string(status) + "\n");
    }

    RunResult run_hook() {
        setenv("TARVEX_CARD", card.c_str(), 1);
        setenv("TARVEX_LOG", log.c_str(), 1);
        setenv("TARVEX_CONVERTER", converter.c_str(), 1);
        setenv("TARVEX_SETTINGS", settings.c_str(), 1);
        RunResult r = run_program({"/bin/sh", source_path("recorder/process.sh")}, dir.path());
        for (const char* v : {"TARVEX_CARD", "TARVEX_LOG", "TARVEX_CONVERTER", "TARVEX_SETTINGS"}) unsetenv(v);
        return r;
    }

    void video(const std::string& relative, std::uint32_t duration_ms) {
        fs::create_directories(fs::path(card + "/" + relative).parent_path());
        write_file(card + "/" + relative, mp4_file(duration_ms));
    }

    TempDir dir;
    std::string card, log, settings, converter;
};

TEST_F(ProcessHook, KeepsAndConvertsTheLogBesideTheNewestRecording) {
    video("DCIM/100MEDIA/GOPR0041.MP4", 1000);
    video("DCIM/101MEDIA/GOPR0040.MP4", 1000);
    video("DCIM/101MEDIA/GOPR0042.MP4", 1000);
    video("DCIM/101MEDIA/GP010042.MP4", 1000);
    const std::string log_bytes = small_log();
    write_file(log, log_bytes);
    write_file(settings, "csv = yes\n");

    const RunResult r = run_hook();
    EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
    const std::string console = card + "/DCIM/101MEDIA/GOPR0042.LOG";
    ASSERT_TRUE(conversion_ended(console)) << read_file(console);

    const std::set<std::string> expected{"DCIM/100MEDIA/GOPR0041.MP4", "DCIM/101MEDIA/GOPR0040.MP4",
                                         "DCIM/101MEDIA/GOPR0042.MP4", "DCIM/101MEDIA/GP010042.MP4",
                                         "DCIM/101MEDIA/GOPR0042.DAT", "DCIM/101MEDIA/GOPR0042.SRT",
                                         "DCIM/101MEDIA/GOPR0042.CSV", "DCIM/101MEDIA/GP010042.SRT",
                                         "DCIM/101MEDIA/GP010042.CSV", "DCIM/101MEDIA/GOPR0042.LOG"};
    EXPECT_EQ(files_under(card), expected) << r.out;
    EXPECT_EQ(read_file(card + "/DCIM/101MEDIA/GOPR0042.DAT"), log_bytes);
    EXPECT_NE(read_file(card + "/DCIM/101MEDIA/GP010042.SRT").find("00:00:00,"), std::string::npos);
}

TEST_F(ProcessHook, WithoutSettingsFileUsesTheDefaults) {
    video("DCIM/100MEDIA/GOPR0007.MP4", 5000);
    write_file(log, small_log());

    const RunResult r = run_hook();
    EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
    ASSERT_TRUE(conversion_ended(card + "/DCIM/100MEDIA/GOPR0007.LOG"));
    // Default settings: subtitles only.
    EXPECT_EQ(files_under(card), (std::set<std::string>{"DCIM/100MEDIA/GOPR0007.MP4", "DCIM/100MEDIA/GOPR0007.DAT",
                                                        "DCIM/100MEDIA/GOPR0007.SRT", "DCIM/100MEDIA/GOPR0007.LOG"}));
}

// The recorder watches for the next recording only once the hook returns: it
// returns with the log kept, before the conversion ends. A second recording's
// conversion waits for the first's, and both run at the lowest priority.
TEST_F(ProcessHook, ReturnsOnceTheLogIsKeptAndConvertsOneRecordingAtATime) {
    // A stand-in converter that notes its input and priority, then holds
    // until the test lets it go (10 s at most, so that a hook that waits for
    // it fails rather than hangs): long enough for a second to overlap it.
    converter = dir.file("converter.sh");
    const std::string trace = dir.file("trace");
    write_file(converter, "echo \"start $1 nice $(nice)\" >> '" + trace + "'\n" + "i=0; while [ ! -e '" +
                              dir.file("go") + "' ] && [ $i -lt 200 ]; do\n" + "    sleep 0.05; i=$((i + 1))\ndone\n" +
                              "sleep 0.2\necho \"end $1\" >> '" + trace + "'\nexit 3\n");
    ASSERT_EQ(chmod(converter.c_str(), 0755), 0);
    const std::string folder = card + "/DCIM/100MEDIA/";
    std::string logs[2];
    for (int i = 0; i < 2; ++i) {
        const std::string base = "GOPR000" + std::to_string(i + 1);
        video("DCIM/100MEDIA/" + base + ".MP4", 1000);
        DatLog dat = log_with_header();
        dat.sample(0, 100 + i);  // logs that differ
        logs[i] = dat.take();
        write_file(log, logs[i]);
        const RunResult r = run_hook();
        EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
        EXPECT_EQ(read_file(folder + base + ".DAT"), logs[i]);
    }
    // The conversions may not even have started yet.
    EXPECT_FALSE(file_exists(trace) && read_file(trace).find("end") != std::string::npos)
        << "a hook waited for its conversion";
    write_file(dir.file("go"), "");
    for (const char* console : {"GOPR0001.LOG", "GOPR0002.LOG"}) {
        ASSERT_TRUE(conversion_ended(folder + console, 3)) << console << ": " << read_file(folder + console);
    }
    const std::string t = read_file(trace);
    const std::string first = "start GOPR0001.DAT nice 19\nend GOPR0001.DAT\n";
    const std::string second = "start GOPR0002.DAT nice 19\nend GOPR0002.DAT\n";
    EXPECT_TRUE(t == first + second || t == second + first) << "conversions overlapped or ran unniced:\n" << t;
    EXPECT_EQ(read_file(folder + "GOPR0001.DAT"), logs[0]);
    EXPECT_EQ(files_under(card).count("DCIM/100MEDIA/.GOPR0002.DAT.part"), 0u);
}

TEST_F(ProcessHook, LeavesTheCardAloneWhenThereIsNothingToConvert) {
    struct Case {
        const char* name;
        bool log_present;
        bool log_empty;
        std::vector<std::string> videos;
    };
    const Case cases[] = {
        {"no log", false, false, {"DCIM/100MEDIA/GOPR0001.MP4"}},
        {"empty log", true, true, {"DCIM/100MEDIA/GOPR0001.MP4"}},
        {"no DCIM folder", true, false, {}},
        {"no first chapter in the newest folder",
         true,
         false,
         {"DCIM/100MEDIA/GOPR0001.MP4", "DCIM/101MEDIA/GP010001.MP4"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(card);
        fs::create_directories(card);
        fs::remove(log);
        for (const auto& v : c.videos) video(v, 1000);
        if (c.log_present) write_file(log, c.log_empty ? "" : small_log());
        const std::set<std::string> before = files_under(card);

        const RunResult r = run_hook();
        EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
        EXPECT_EQ(files_under(card), before) << r.out;
    }
}

}  // namespace
}  // namespace tarvex::test
