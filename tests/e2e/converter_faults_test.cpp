// The real converter against hostile inputs and failing outputs: files that
// are not regular files, writes that fail part-way, links in an output's
// place. Every run has a time limit, so a converter that blocks fails.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "dat_log.h"
#include "mp4_bytes.h"
#include "test_support.h"

namespace tarvex {
namespace {

using test::mp4_file;
using test::read_file;
using test::RunResult;
using test::TempDir;
using test::write_file;

// The converter in `dir`, stopped after 20 s (exit status 124): far less
// than the 30 s a chapter probe spends on retries.
RunResult convert(const TempDir& dir, const std::vector<std::string>& args, const std::string& limits = "") {
    std::vector<std::string> argv = {"/bin/sh", "-c", limits + "exec timeout 20 \"$0\" \"$@\"",
                                     test::binary_path("converter/converter")};
    argv.insert(argv.end(), args.begin(), args.end());
    return test::run_program(argv, dir.path());
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

// Names in `dir` that start with a dot: temporary files left behind.
std::vector<std::string> hidden_files(const TempDir& dir) {
    std::vector<std::string> names = dir.names();
    std::erase_if(names, [](const std::string& n) { return n[0] != '.'; });
    return names;
}

// ---- Inputs that are not regular files.

TEST(ConverterInputs, FilesThatAreNotRegularAreRefusedWithoutBlocking) {
    struct Case {
        const char* what;
        std::string settings;  // -s value
        std::string chapter;   // what GOPR0042.MP4 is: "fifo", "dir" or "video"
        std::string expected;
        bool converts;
    };
    const Case cases[] = {
        {"FIFO as settings file", "fifo", "video",
         "Settings file fifo is not a regular file; using the defaults.\nSettings filename is fifo\n", true},
        {"endless device as settings file", "/dev/zero", "video",
         "Settings file /dev/zero is not a regular file; using the defaults.\nSettings filename is /dev/zero\n", true},
        {"FIFO as chapter video", "none.txt", "fifo",
         "Not a regular file: GOPR0042.MP4 - giving up right away\nNo more chapters. Exiting.\n", false},
        {"directory as chapter video", "none.txt", "dir",
         "Not a regular file: GOPR0042.MP4 - giving up right away\nNo more chapters. Exiting.\n", false},
    };
    for (const auto& c : cases) {
        TempDir dir;
        write_file(dir.file("log.dat"), test::log_with_header().samples({0, 200}).bytes());
        ASSERT_EQ(mkfifo(dir.file("fifo").c_str(), 0600), 0);
        const std::string mp4 = dir.file("GOPR0042.MP4");
        if (c.chapter == "fifo") ASSERT_EQ(mkfifo(mp4.c_str(), 0600), 0);
        else if (c.chapter == "dir") ASSERT_EQ(mkdir(mp4.c_str(), 0700), 0);
        else write_file(mp4, mp4_file(1000));
        const RunResult r = convert(dir, {"log.dat", "-s", c.settings, "-v", "GOPR0042.MP4"});
        EXPECT_EQ(r.exit_status, 0) << c.what << " (124: it blocked)\n" << r.out;
        EXPECT_TRUE(contains(r.out, c.expected)) << c.what << "\n" << r.out;
        EXPECT_EQ(test::file_exists(dir.file("GOPR0042.SRT")), c.converts) << c.what;
    }
}

// ---- Outputs that cannot be written.

// Three chapters; the second one's subtitles (about 150 KB) pass the file
// size limit long before the chapter ends.
TEST(ConverterOutputs, AWriteThatFailsStopsTheRunAndKeepsEarlierChapters) {
    TempDir dir;
    test::DatLog log = test::log_with_header();
    for (std::uint32_t ms = 0; ms <= 601000; ms += 200) log.sample(ms, test::reading());
    write_file(dir.file("log.dat"), log.samples({601500}).bytes());
    write_file(dir.file("settings.txt"), "csv = on\n");
    write_file(dir.file("GOPR0042.MP4"), mp4_file(1000));
    write_file(dir.file("GP010042.MP4"), mp4_file(600000));
    write_file(dir.file("GP020042.MP4"), mp4_file(1000));
    const std::vector<std::string> args = {"log.dat", "-v", "GOPR0042.MP4"};
    const RunResult whole = convert(dir, args);
    ASSERT_EQ(whole.exit_status, 0) << whole.out;
    const std::string srt0 = read_file(dir.file("GOPR0042.SRT")), csv0 = read_file(dir.file("GOPR0042.CSV"));
    ASSERT_GT(read_file(dir.file("GP010042.SRT")).size(), 100000u);
    for (const char* name : {"GOPR0042.SRT", "GOPR0042.CSV", "GP010042.SRT"})
        write_file(dir.file(name), "from an earlier run\n");
    for (const char* name : {"GP010042.CSV", "GP020042.SRT", "GP020042.CSV"}) std::remove(dir.file(name).c_str());

    // At most 16 KiB per file (32 blocks of 512 bytes), the signal ignored so
    // that the write fails instead.
    const RunResult r = convert(dir, args, "ulimit -f 32; trap '' XFSZ; ");
    EXPECT_EQ(r.exit_status, 74);
    // Whichever of the chapter's files fills its buffer first fails first.
    const std::string tail = "Now writing CSV data to GP010042.CSV\nCould not write GP010042.";
    const std::size_t at = r.out.rfind(tail);
    ASSERT_NE(at, std::string::npos) << r.out;
    const std::string failed = r.out.substr(at + tail.size());
    EXPECT_TRUE(failed == "SRT: File too large\n" || failed == "CSV: File too large\n") << r.out;
    EXPECT_TRUE(read_file(dir.file("GOPR0042.SRT")) == srt0) << "the first chapter is complete";
    EXPECT_TRUE(read_file(dir.file("GOPR0042.CSV")) == csv0) << "the first chapter is complete";
    EXPECT_EQ(read_file(dir.file("GP010042.SRT")), "from an earlier run\n");
    EXPECT_FALSE(test::file_exists(dir.file("GP010042.CSV")));
    EXPECT_FALSE(test::file_exists(dir.file("GP020042.SRT"))) << "the run goes no further";
    EXPECT_EQ(hidden_files(dir), std::vector<std::string>{});
}

TEST(ConverterOutputs, AReadOnlyFolderIsReportedAndLeftAsItWas) {
    TempDir dir;
    write_file(dir.file("log.dat"), test::log_with_header().samples({0, 200}).bytes());
    write_file(dir.file("GOPR0042.MP4"), mp4_file(1000));
    write_file(dir.file("GOPR0042.SRT"), "from an earlier run\n");
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    // A superuser writes into read-only folders; an immutable one stops it too.
    bool immutable = false;
    if (access(dir.path().c_str(), W_OK) == 0) {
        immutable = std::system(("chattr +i '" + dir.path() + "' 2>/dev/null").c_str()) == 0;
        if (!immutable) {
            chmod(dir.path().c_str(), 0755);
            GTEST_SKIP() << "running as a superuser, and this file system has no immutable folders";
        }
    }
    const RunResult r = convert(dir, {"log.dat", "-v", "GOPR0042.MP4"});
    if (immutable) std::system(("chattr -i '" + dir.path() + "'").c_str());
    chmod(dir.path().c_str(), 0755);
    EXPECT_EQ(r.exit_status, 255);
    // The system's reason: a superuser is stopped by the immutable flag.
    const std::string reason = immutable ? "Operation not permitted" : "Permission denied";
    EXPECT_TRUE(
        r.out.ends_with("Warning: destination file GOPR0042.SRT exists! Proceeding anyway.\n"
                        "Could not open GOPR0042.SRT: " +
                        reason + "\n"))
        << r.out;
    EXPECT_EQ(read_file(dir.file("GOPR0042.SRT")), "from an earlier run\n");
    EXPECT_EQ(hidden_files(dir), std::vector<std::string>{});
}

// ---- Outputs never write through a link in their place.

TEST(ConverterOutputs, ALinkInTheSubtitlesPlaceIsReplacedNotWrittenThrough) {
    for (const bool hard : {false, true}) {
        TempDir dir;
        write_file(dir.file("log.dat"), test::log_with_header().samples({0, 200, 1200}).bytes());
        write_file(dir.file("GOPR0042.MP4"), mp4_file(1000));
        const std::string next_video = mp4_file(1000) + std::string(5000, 'v');
        write_file(dir.file("GP010042.MP4"), next_video);
        if (hard) ASSERT_EQ(link(dir.file("GP010042.MP4").c_str(), dir.file("GOPR0042.SRT").c_str()), 0);
        else ASSERT_EQ(symlink("GP010042.MP4", dir.file("GOPR0042.SRT").c_str()), 0);
        const RunResult r = convert(dir, {"log.dat", "-v", "GOPR0042.MP4"});
        const char* what = hard ? "hard link" : "symbolic link";
        EXPECT_EQ(r.exit_status, 0) << what;
        EXPECT_TRUE(contains(r.out, "Warning: destination file GOPR0042.SRT exists! Proceeding anyway.\n")) << what;
        EXPECT_EQ(read_file(dir.file("GP010042.MP4")), next_video) << what;
        EXPECT_TRUE(contains(read_file(dir.file("GOPR0042.SRT")), "00:00:00,000 --> 00:00:00,200")) << what;
        EXPECT_TRUE(test::file_exists(dir.file("GP010042.SRT"))) << what << ": the next chapter is still readable";
    }
}

}  // namespace
}  // namespace tarvex
