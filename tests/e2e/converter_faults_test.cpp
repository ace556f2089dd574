// The real converter against hostile inputs and failing outputs: files that
// are not regular files, writes that fail part-way, links in an output's
// place. Every run has a time limit, so a converter that blocks fails.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "dat_format.h"
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

// A log of sensor samples at the given times (ms).
std::string log_of(const std::vector<std::uint32_t>& times) {
    DatHeader h;
    h.hw_revision = 3;
    const auto head = encode_dat_header(h);
    std::string bytes(head.begin(), head.end());
    SensorSample s;
    s.accel_z = 2048;
    std::array<std::uint8_t, MAX_PAYLOAD> payload{};
    encode_sensor_sample(payload.data(), s);
    for (const std::uint32_t t : times) {
        std::array<std::uint8_t, SENSOR_SAMPLE_ENTRY> e{};
        encode_log_entry(e.data(), static_cast<std::uint16_t>(EntryKind::SensorSample), SENSOR_SAMPLE_PAYLOAD, t,
                         payload.data());
        bytes.append(e.begin(), e.end());
    }
    return bytes;
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
        write_file(dir.file("log.dat"), log_of({0, 200}));
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
