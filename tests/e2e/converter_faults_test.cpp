// The real converter against hostile inputs and failing outputs: files that
// are not regular files, writes that fail part-way, links in an output's
// place. Every run has a time limit, so a converter that blocks fails.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
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
        if (c.chapter == "fifo")
            ASSERT_EQ(mkfifo(mp4.c_str(), 0600), 0);
        else if (c.chapter == "dir")
            ASSERT_EQ(mkdir(mp4.c_str(), 0700), 0);
        else
            write_file(mp4, mp4_file(1000));
        const RunResult r = convert(dir, {"log.dat", "-s", c.settings, "-v", "GOPR0042.MP4"});
        EXPECT_EQ(r.exit_status, 0) << c.what << " (124: it blocked)\n" << r.out;
        EXPECT_TRUE(contains(r.out, c.expected)) << c.what << "\n" << r.out;
        EXPECT_EQ(test::file_exists(dir.file("GOPR0042.SRT")), c.converts) << c.what;
    }
}

}  // namespace
}  // namespace tarvex
