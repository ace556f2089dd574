#define _FILE_OFFSET_BITS 64

#include "chapters.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <string>
#include <vector>

#include "mp4_bytes.h"
#include "test_support.h"

namespace tarvex {
namespace {

using test::box;
using test::box64;
using test::capture_stdout;
using test::ftyp;
using test::mvhd_v0;
using test::mvhd_v1;

// ---- Chapter names.

struct NameCase {
    const char* base;
    std::int32_t index;
    const char* ext;
    const char* expected;
};

TEST(ChapterFileName, NamesFollowTheCameraScheme) {
    const NameCase cases[] = {
        {"/video/GOPR0042.MP4", 0, "SRT", "/video/GOPR0042.SRT"},
        {"/video/GOPR0042.MP4", 3, "SRT", "/video/GP030042.SRT"},
        {"/video/GOPR0042.MP4", 1, "MP4", "/video/GP010042.MP4"},
        {"GOPR0042.MP4", 0, "GPX", "GOPR0042.GPX"},                  // no directory
        {"a.b/c.d/GOPR0007.DAT", 2, "CSV", "a.b/c.d/GP020007.CSV"},  // dots in directories
        {"/v/abc", 0, "SRT", "/v/GOPR0000.SRT"},                     // name shorter than five
        {"/v/GOPR", 0, "SRT", "/v/GOPR0000.SRT"},                    // nothing at the fifth
        {"/v/", 0, "SRT", "/v/GOPR0000.SRT"},                        // empty name part
        {"/v/GOPRabcd.MP4", 0, "SRT", "/v/GOPR0000.SRT"},            // no digits
        {"/v/GOPR 42x.MP4", 0, "SRT", "/v/GOPR0042.SRT"},            // blanks, stops at non-digit
        {"/v/GOPR-042.MP4", 0, "SRT", "/v/GOPR-042.SRT"},
        {"/v/GOPR0042.MP4", 100, "SRT", "/v/GP1000042.SR"},  // 13 characters cut to 12
        {"/v/GOPR12345.MP4", 0, "SRT", "/v/GOPR12345.SR"},
        {"/v/GOPR1234567.MP4", 0, "SRT", "/v/GOPR1234567."},  // same for every extension
        {"/v/GOPR1234567.MP4", 0, "MP4", "/v/GOPR1234567."},
        {"/v/GOPR99999999999.MP4", 0, "SRT", "/v/GOPR21474836"},  // number saturates at 32 bits
    };
    for (const auto& c : cases) {
        std::array<char, PATH_BUFFER_SIZE> buf{};
        ASSERT_EQ(chapter_file_name(buf.data(), c.base, c.index, c.ext), 0) << c.base;
        EXPECT_STREQ(buf.data(), c.expected) << c.base << " chapter " << c.index;
    }
}

TEST(ChapterFileName, NamesAsUsersHaveThem) {
    struct Case {
        const char* base;
        bool named_video;
        std::int32_t index;
        const char* ext;
        const char* expected;  // nullptr: no such chapter
    };
    const Case cases[] = {
        {"/v/gopr0042.mp4", true, 0, "SRT", "/v/gopr0042.srt"},  // lower case follows the video
        {"/v/gopr0042.mp4", true, 1, "MP4", "/v/gp010042.mp4"},
        {"/v/gopr0042.dat", false, 2, "CSV", "/v/gp020042.csv"},
        {"/v/MyRide.mp4", true, 0, "MP4", "/v/MyRide.mp4"},  // the named video, nothing else
        {"/v/MyRide.mp4", true, 0, "SRT", "/v/MyRide.SRT"},
        {"/v/MyRide.mp4", true, 1, "MP4", nullptr},
        {"/v/GP010042.MP4", true, 0, "GPX", "/v/GOPR0042.GPX"},  // a later chapter: its recording
        {"/v/GOPR0042.mp4", true, 1, "MP4", "/v/GP010042.mp4"},  // name and extension keep their case
        {"ride", true, 0, "SRT", "ride.SRT"},
        {"/v/GOPR0042.MP4", true, 1, "SRT", "/v/GP010042.SRT"},  // the camera's names as before
        {"/v/log.dat", false, 0, "SRT", "/v/GOPR0000.SRT"},      // the log names nothing itself
    };
    for (const auto& c : cases) {
        std::array<char, PATH_BUFFER_SIZE> buf{};
        const int rc = chapter_file_name(buf.data(), c.base, c.index, c.ext, chapter_naming(c.base, c.named_video));
        if (c.expected == nullptr) {
            EXPECT_EQ(rc, -2) << c.base << " chapter " << c.index;
        } else {
            ASSERT_EQ(rc, 0) << c.base;
            EXPECT_STREQ(buf.data(), c.expected) << c.base << " chapter " << c.index;
        }
    }
}

TEST(ChapterFileName, RefusesANameThatDoesNotFitTheBuffer) {
    std::array<char, PATH_BUFFER_SIZE> buf{};
    // Directory part plus the 12-character name plus the NUL: 4096 fits, 4097 not.
    const std::string fits = std::string(PATH_BUFFER_SIZE - 13 - 1, 'd') + "/GOPR0042.MP4";
    ASSERT_EQ(chapter_file_name(buf.data(), fits.c_str(), 1, "SRT"), 0);
    EXPECT_EQ(std::string(buf.data()), fits.substr(0, fits.size() - 12) + "GP010042.SRT");

    buf.fill('\x7f');
    const std::string too_long = std::string(PATH_BUFFER_SIZE - 13, 'd') + "/GOPR0042.MP4";
    EXPECT_EQ(chapter_file_name(buf.data(), too_long.c_str(), 1, "SRT"), -1);
    EXPECT_EQ(buf[0], '\x7f') << "nothing is written when the name does not fit";
}

// ---- Duration probe.

class Mp4Probe : public ::testing::Test {
protected:
    std::string make(const std::string& bytes, const char* name = "GOPR0001.MP4") {
        const std::string path = dir.file(name);
        test::write_file(path, bytes);
        return path;
    }

    // Probes once; returns the result and what it printed.
    std::pair<std::int32_t, std::string> probe(const std::string& path) {
        std::int32_t ms = 0;
        const std::string out = capture_stdout([&] { ms = mp4_duration_once(path.c_str()); });
        return {ms, out};
    }

    test::TempDir dir;
};

std::string movie(const std::string& mvhd_body) { return box("moov", box("mvhd", mvhd_body)); }

struct DurationCase {
    const char* what;
    std::string bytes;
    std::int32_t expected;
};

TEST_F(Mp4Probe, ReadsTheMovieHeaderDuration) {
    const DurationCase cases[] = {
        {"timescale 1000", ftyp() + movie(mvhd_v0(1000, 65432)), 65432},
        {"timescale 90000", ftyp() + movie(mvhd_v0(90000, 900000)), 10000},
        {"timescale 44100 is cut to 44", ftyp() + movie(mvhd_v0(44100, 441000)), 10022},
        {"moov after the media data", ftyp() + box("mdat", std::string(5000, 'x')) + movie(mvhd_v0(1000, 7)), 7},
        {"other boxes before mvhd inside moov",
         ftyp() + box("moov", box("iods", "1234") + box("mvhd", mvhd_v0(1000, 42))), 42},
        {"moov as the first box", movie(mvhd_v0(1000, 1)), 1},
        {"movie box still being written, its header complete", box("moov", box("mvhd", mvhd_v0(1000, 5)), 5000), 5},
        {"largest positive duration", movie(mvhd_v0(1000, 0x7FFFFFFF)), 0x7FFFFFFF},
        // Timescales below 1000 scale exactly: duration * 1000 / timescale.
        {"timescale 600", movie(mvhd_v0(600, 6000)), 10000},
        {"timescale 3", movie(mvhd_v0(3, 10)), 3333},
        {"timescale 1", movie(mvhd_v0(1, 5)), 5000},
        {"timescale 999 without overflow", movie(mvhd_v0(999, 2000000)), 2002002},
        {"timescale 1, too long for 32-bit ms", movie(mvhd_v0(1, 2147484)), -1},
        // 64-bit forms.
        {"64-bit media box size", ftyp() + box64("mdat", std::string(100, 'x')) + movie(mvhd_v0(1000, 99)), 99},
        {"64-bit moov size", ftyp() + box64("moov", box("mvhd", mvhd_v0(1000, 98))), 98},
        {"64-bit mvhd size", ftyp() + box("moov", box64("mvhd", mvhd_v0(1000, 97))), 97},
        {"version-1 movie header", ftyp() + movie(mvhd_v1(1000, 123456)), 123456},
        {"version-1 duration over 32 bits", movie(mvhd_v1(90000, 0x100000000ull)), 47721858},
        {"version-1 timescale 25", movie(mvhd_v1(25, 250)), 10000},
        {"version-1 duration too long for 32-bit ms", movie(mvhd_v1(1000, 0x80000000ull)), -1},
        {"version-1 negative duration", movie(mvhd_v1(1000, 0x8000000000000000ull)), -1},
        // No usable duration, no message.
        {"timescale 0", movie(mvhd_v0(0, 1000)), -1},
        {"duration 0", movie(mvhd_v0(1000, 0)), -1},
        {"negative timescale", movie(mvhd_v0(0x80000000u, 1000)), -1},
        {"negative duration", movie(mvhd_v0(1000, 0x80000000u)), -1},
        // Only version 1 has its own layout.
        {"version 2 read as version 0", movie(std::string("\x02", 1) + mvhd_v0(1000, 5).substr(1)), 5},
        {"version 255 read as version 0", movie(std::string("\xff", 1) + mvhd_v0(1000, 6).substr(1)), 6},
        // Only the fields are read: a declared size past the end of the file does not matter.
        {"mvhd size past the end of file, fields complete",
         ftyp() + box("moov", box("mvhd", mvhd_v0(1000, 77).substr(0, 20), 108)), 77},
        {"mvhd declaring 8 bytes, its fields there", box("moov", box("mvhd", mvhd_v0(1000, 78), 8)), 78},
        {"mvhd declaring 27 bytes, its fields there", box("moov", box("mvhd", mvhd_v0(1000, 79), 27)), 79},
        {"mvhd too short for its fields",
         box("moov", box("mvhd", mvhd_v0(1000, 5).substr(0, 16))) + std::string(64, '\0'), -1},
    };
    for (const auto& c : cases) {
        const auto [ms, out] = probe(make(c.bytes));
        EXPECT_EQ(ms, c.expected) << c.what;
        EXPECT_EQ(out, "") << c.what;
    }
}

// Damaged or unfinished files end the walk at once: the result is -1 with no
// message, and no size sends the walk backwards, round in a loop or past the
// end of the file.
TEST_F(Mp4Probe, DamagedBoxSizesGiveNoDurationWithoutLooping) {
    const std::string tail = movie(mvhd_v0(1000, 5000));
    // The file ends `kept` bytes into a movie header that declares 100.
    const auto cut_movie_header = [](std::size_t kept) {
        return ftyp() + box("moov", box("mvhd", mvhd_v0(1000, 5000).substr(0, kept), 108));
    };
    const DurationCase cases[] = {
        {"empty file", "", -1},
        {"only the file type box (movie box not written yet)", ftyp(), -1},
        {"first box size 0", box("ftyp", "abcd", 0) + tail, -1},
        {"box size 0xFFFFFFFF", box("ftyp", "abcd", 0xFFFFFFFF) + tail, -1},
        {"box size 4 (below its own header)", box("free", "", 4) + tail, -1},
        {"box size 7", box("free", "", 7) + tail, -1},
        {"64-bit size below its 16-byte header", box64("free", "", 8) + tail, -1},
        {"64-bit size 0", box64("free", "", 0) + tail, -1},
        {"64-bit size field cut by the end of file",
         std::string("\0\0\0\x01"
                     "free\0\0",
                     10),
         -1},
        {"media box past the end of file", box("mdat", "xxxx", 1000000) + tail, -1},
        {"64-bit media box past the end of file", box64("mdat", "xxxx", 1ull << 40) + tail, -1},
        {"64-bit size that would wrap the offset", box64("mdat", "xxxx", 0xFFFFFFFFFFFFFFF0ull) + tail, -1},
        {"size read cut by the end of file", ftyp() + std::string("\0\0", 2), -1},
        {"type read cut by the end of file", ftyp() + std::string("\0\0\0\x10mo", 6), -1},
        {"movie header cut after its box header", cut_movie_header(0), -1},
        {"movie header cut inside its times", cut_movie_header(9), -1},
        {"movie header cut inside its timescale", cut_movie_header(14), -1},
        {"movie header cut inside its duration", cut_movie_header(18), -1},
    };
    for (const auto& c : cases) {
        const auto [ms, out] = probe(make(c.bytes));
        EXPECT_EQ(ms, c.expected) << c.what;
        EXPECT_EQ(out, "") << c.what;
    }
}

TEST_F(Mp4Probe, GivesUpAfter99BoxHeaders) {
    std::string many;
    for (int i = 0; i < 97; ++i) many += box("free", "");
    // 97 boxes and the movie box leave room for the movie header ...
    auto [ms, out] = probe(make(many + movie(mvhd_v0(1000, 11))));
    EXPECT_EQ(ms, 11);
    EXPECT_EQ(out, "");
    // ... one more box and the 99 headers are used up before it.
    std::tie(ms, out) = probe(make(many + box("free", "") + movie(mvhd_v0(1000, 11))));
    EXPECT_EQ(ms, -1);
    EXPECT_EQ(out, "MP4len internal call failed: done: 0, attempts: 0, feof: 0\n");
    // ... and so is the 99th box when its size runs past the end of the file.
    std::tie(ms, out) = probe(make(many + box("free", "") + box("mdat", "", 1000)));
    EXPECT_EQ(ms, -1);
    EXPECT_EQ(out, "MP4len internal call failed: done: 0, attempts: 0, feof: 0\n");
}

TEST_F(Mp4Probe, MissingFileCannotBeOpened) {
    const std::string path = dir.file("GP010001.MP4");
    const auto [ms, out] = probe(path);
    EXPECT_EQ(ms, -2);
    EXPECT_EQ(out, "Could not open " + path + "\n");
}

// Chapter files over 4 GiB: the media box is skipped with one seek to an
// offset that needs 64 bits. The file is sparse, so it takes no disk space.
TEST_F(Mp4Probe, ReadsPastFourGibibytes) {
    const std::uint64_t media = 5ull << 30;
    const std::string path = dir.file("GOPR0002.MP4");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    const std::string head = ftyp() + box64("mdat", "", 16 + media);
    const std::string tail = box("free", std::string(3, '\0'), 0xF0000000u);  // 32-bit size over 2 GiB
    const std::string moov = movie(mvhd_v0(1000, 1234));
    bool ok = std::fwrite(head.data(), 1, head.size(), f) == head.size() &&
              fseeko(f, static_cast<off_t>(head.size() + media), SEEK_SET) == 0 &&
              std::fwrite(tail.data(), 1, tail.size(), f) == tail.size() &&
              fseeko(f, static_cast<off_t>(head.size() + media + 0xF0000000u), SEEK_SET) == 0 &&
              std::fwrite(moov.data(), 1, moov.size(), f) == moov.size();
    ok = std::fclose(f) == 0 && ok;
    if (!ok) {
        std::remove(path.c_str());
        GTEST_SKIP() << "this file system cannot hold a sparse 9 GiB file";
    }
    const auto [ms, out] = probe(path);
    EXPECT_EQ(ms, 1234);
    EXPECT_EQ(out, "");
    std::remove(path.c_str());
}

// ---- Retries, through the sleep seam.

class Mp4Retry : public Mp4Probe {
protected:
    void SetUp() override {
        set_probe_sleep([this](std::uint32_t us) {
            sleeps.push_back(us);
            if (on_sleep) on_sleep(sleeps.size());
        });
    }
    void TearDown() override { set_probe_sleep(nullptr); }

    std::pair<std::int32_t, std::string> run(const std::string& path) {
        std::int32_t ms = 0;
        const std::string out = capture_stdout([&] { ms = mp4_duration(path.c_str()); });
        return {ms, out};
    }

    std::vector<std::uint32_t> sleeps;
    std::function<void(std::size_t)> on_sleep;
};

TEST_F(Mp4Retry, FileWithoutMovieHeaderIsProbed60Times500MsApart) {
    const std::string path = make(ftyp());
    const auto [ms, out] = run(path);
    EXPECT_EQ(ms, -1);
    std::string expected;
    for (int i = 0; i < 60; ++i) expected += "Starting mp4len attempt " + std::to_string(i) + " on " + path + "\n";
    expected += "MP4Len - giving up on " + path + " after all attempts exhausted\n";
    EXPECT_EQ(out, expected);
    EXPECT_EQ(sleeps, std::vector<std::uint32_t>(60, 500000));
}

TEST_F(Mp4Retry, MissingFileGivesUpAtOnce) {
    const std::string path = dir.file("GP050001.MP4");
    const auto [ms, out] = run(path);
    EXPECT_EQ(ms, -1);
    EXPECT_EQ(out, "Starting mp4len attempt 0 on " + path + "\nCould not open " + path + "\nNo such file: " + path +
                       " - giving up right away\n");
    EXPECT_TRUE(sleeps.empty());
}

TEST_F(Mp4Retry, FileFinishedWhileWaitingIsRead) {
    const std::string path = make(ftyp() + box("mdat", "xx"));
    // The camera writes the movie box during the third wait.
    on_sleep = [&](std::size_t n) {
        if (n == 3) test::write_file(path, test::mp4_file(61000));
    };
    const auto [ms, out] = run(path);
    EXPECT_EQ(ms, 61000);
    std::string expected;
    for (int i = 0; i < 4; ++i) expected += "Starting mp4len attempt " + std::to_string(i) + " on " + path + "\n";
    expected += "MP4Len succeeded on " + path + ": 61000\n";
    EXPECT_EQ(out, expected);
    EXPECT_EQ(sleeps.size(), 3u);
}

}  // namespace
}  // namespace tarvex
