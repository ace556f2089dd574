// The ASS overlay as a rider's player shows it: ffmpeg's libass renders each
// chapter's script over a flat grey video, ImageMagick finds the overlay's
// bounding box and measures the drawn G bar, and ffmpeg muxes the script
// into MKV as a soft subtitle track. The SRT beside it stays as it was.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <sstream>
#include <string>
#include <vector>

#include "dat_log.h"
#include "mp4_bytes.h"
#include "test_support.h"

namespace tarvex {
namespace {

using test::RunResult;
using test::TempDir;

// ffmpeg with its libass filter, ImageMagick and the font the script names;
// empty and `why` set when one is missing.
struct Renderer {
    std::string ffmpeg, convert, why;
};

Renderer find_renderer() {
    Renderer r;
    r.ffmpeg = test::find_tool("ffmpeg");
    r.convert = test::find_tool("convert");
    const std::string fc_match = test::find_tool("fc-match");
    if (r.ffmpeg.empty()) r.why = "ffmpeg is not installed";
    else if (test::run_program({r.ffmpeg, "-hide_banner", "-filters"}).out.find(" ass ") == std::string::npos)
        r.why = "ffmpeg has no libass (ass filter)";
    else if (r.convert.empty()) r.why = "ImageMagick (convert) is not installed";
    else if (fc_match.empty() ||
             test::run_program({fc_match, "DejaVu Sans Mono"}).out.find("DejaVuSansMono") == std::string::npos)
        r.why = "the font DejaVu Sans Mono (fonts-dejavu-core) is not installed";
    return r;
}

#define REQUIRE_RENDERER(r)             \
    const Renderer r = find_renderer(); \
    if (!r.why.empty()) GTEST_SKIP() << r.why << "; nothing checked"

constexpr int CHAPTERS = 2;
constexpr std::uint32_t CHAPTER_MS = 4000;

// Two 4-second chapters of a GPS expander unit, samples every 100 ms: an
// altitude swinging from -1234 to 23456 ft, frost, pins changing, a missing
// reading now and then, a 12 G landing at 5 s, GpsNavData every 200 ms from
// 1 s on (the GPS lines appear within the first chapter).
std::string ride_log() {
    test::DatLog dat(test::log_header(EXPANDER_GPS));
    for (int i = 0; i < 80; ++i) {
        SensorSample s;
        s.abs_press = 100000 - 40 * i;
        s.press_copy = s.abs_press;
        s.temp = i % 19 == 7 ? NO_VALUE : -153 + 9 * i;
        s.altitude = i % 13 == 4 ? NO_VALUE : (i % 2 == 0 ? 23456 - 300 * i : -1234 + 17 * i);
        const bool landing = i >= 50 && i <= 52;
        s.accel_x = static_cast<std::int16_t>(i % 11 == 6 ? -1 : (i * 37) % 4000 - 2000);
        s.accel_y = static_cast<std::int16_t>((i * 53) % 3000 - 1500);
        s.accel_z = static_cast<std::int16_t>(landing ? 24576 : 2048 + (i * 29) % 900);  // 12 G
        s.flags = static_cast<std::uint32_t>(i % 4);
        dat.sample(static_cast<std::uint32_t>(i * 100), s);
        if (i >= 10 && i % 2 == 0) {
            GpsNavData n;
            n.lat = -338600000 + 1000 * i;
            n.lon = 1512000000 + 2000 * i;
            n.ecef_x = -4646000 * 100 + 50 * i;
            n.ecef_y = 2553000 * 100 + 70 * i;
            n.ecef_z = -3534000 * 100 + 30 * i;
            n.week = 2300;
            n.time_of_week = 12345600u + 20u * static_cast<std::uint32_t>(i);
            n.fix_mode = 3;
            n.used_sat = 9;
            n.h_speed = 20 + i % 50;
            n.vspeed = i / 2 % 5 - 2;  // climbing, level and sinking
            dat.nav(static_cast<std::uint32_t>(i * 100 + 60), n);
        }
    }
    return dat.take();
}

// The ride converted with every subtitle item on and `extra` settings
// lines, in `dir`: GOPR0001.* and GP010001.*.
void convert_ride(const TempDir& dir, const std::string& extra) {
    test::write_file(dir.file("GOPR0001.DAT"), ride_log());
    test::write_file(dir.file("settings.txt"),
                     test::read_file(test::source_path("bench/settings_all_on.txt")) + "accel_filter = off\n" + extra);
    for (const char* name : {"GOPR0001.MP4", "GP010001.MP4"}) {
        test::write_file(dir.file(name), test::mp4_file(CHAPTER_MS));
    }
    const RunResult r = test::run_program({test::binary_path("converter/converter"), "GOPR0001.DAT"}, dir.path());
    ASSERT_EQ(r.exit_status, 0) << r.out;
}

std::string chapter_name(int chapter, const char* ext) {
    char name[32];
    if (chapter == 0) std::snprintf(name, sizeof name, "GOPR0001.%s", ext);
    else std::snprintf(name, sizeof name, "GP%02d0001.%s", chapter, ext);
    return name;
}

struct Box {
    int x = 0, y = 0, w = 0, h = 0;
};

// Bounding boxes ImageMagick finds in the images, one per image (%@: what
// -trim would keep, the background being the corner pixel's colour).
std::vector<Box> trim_boxes(const Renderer& r, const std::vector<std::string>& images,
                            const std::vector<std::string>& options = {}) {
    std::vector<std::string> args = {r.convert};
    args.insert(args.end(), images.begin(), images.end());
    args.insert(args.end(), options.begin(), options.end());
    args.insert(args.end(), {"-format", "%@\n", "info:"});
    const RunResult res = test::run_program(args);
    EXPECT_EQ(res.exit_status, 0) << res.err;
    std::vector<Box> boxes;
    std::istringstream lines(res.out);
    std::string line;
    while (std::getline(lines, line)) {
        Box b;
        if (std::sscanf(line.c_str(), "%dx%d+%d+%d", &b.w, &b.h, &b.x, &b.y) == 4) boxes.push_back(b);
    }
    return boxes;
}

// Frames of the script rendered over flat grey at `fps`, for `seconds`.
std::vector<std::string> render(const Renderer& r, const TempDir& dir, const std::string& script, int width, int height,
                                const std::string& fps, const std::string& seconds, const std::string& prefix) {
    const std::string source =
        "color=c=0x808080:s=" + std::to_string(width) + "x" + std::to_string(height) + ":r=" + fps + ":d=" + seconds;
    const RunResult res = test::run_program({r.ffmpeg, "-nostdin", "-v", "warning", "-f", "lavfi", "-i", source, "-vf",
                                             "ass=" + script, "-y", prefix + "%02d.bmp"},
                                            dir.path());
    EXPECT_EQ(res.exit_status, 0) << res.err;
    EXPECT_EQ(res.err, "");
    std::vector<std::string> frames;
    for (int i = 1; test::file_exists(dir.file(prefix + (i < 10 ? "0" : "") + std::to_string(i) + ".bmp")); ++i) {
        frames.push_back(dir.file(prefix + (i < 10 ? "0" : "") + std::to_string(i) + ".bmp"));
    }
    return frames;
}

TEST(AssOverlay, StaysStillInsideItsCornerAtEverySize) {
    REQUIRE_RENDERER(r);
    struct Case {
        const char* corner;
        bool left, top;
    };
    const Case corners[] = {{"top-left", true, true},
                            {"top-right", false, true},
                            {"bottom-left", true, false},
                            {"bottom-right", false, false}};
    for (const Case& c : corners) {
        TempDir dir;
        convert_ride(dir, std::string("ass_overlay = yes\noverlay_corner = ") + c.corner + "\n");
        for (const auto& [width, height] : {std::pair{1280, 720}, std::pair{1920, 1080}}) {
            for (int chapter = 0; chapter < CHAPTERS; ++chapter) {
                SCOPED_TRACE(std::string(c.corner) + " at " + std::to_string(height) + "p, " +
                             chapter_name(chapter, "ASS"));
                // Two frames a second while the chapter's entries last.
                const std::vector<std::string> frames = render(r, dir, chapter_name(chapter, "ASS"), width, height, "2",
                                                               "3.9", "f" + std::to_string(chapter) + "_");
                const std::vector<Box> boxes = trim_boxes(r, frames, {"-fuzz", "2%"});
                ASSERT_EQ(boxes.size(), 8u);
                const auto [min_x, max_x] = std::minmax_element(boxes.begin(), boxes.end(),
                                                                [](const Box& a, const Box& b) { return a.x < b.x; });
                const auto [min_y, max_y] = std::minmax_element(boxes.begin(), boxes.end(),
                                                                [](const Box& a, const Box& b) { return a.y < b.y; });
                EXPECT_LE(max_x->x - min_x->x, 2);
                EXPECT_LE(max_y->y - min_y->y, 2);
                for (const Box& b : boxes) {
                    // Inside the frame with a margin, within its quarter and
                    // near its corner, smaller than a fifth of the frame.
                    EXPECT_GT(b.w * b.h, 0);
                    EXPECT_LE(b.w * b.h, width * height / 5);
                    EXPECT_GT(b.x, 0);
                    EXPECT_GT(b.y, 0);
                    EXPECT_LT(b.x + b.w, width);
                    EXPECT_LT(b.y + b.h, height);
                    const int from_side = c.left ? b.x : width - (b.x + b.w);
                    const int from_edge = c.top ? b.y : height - (b.y + b.h);
                    EXPECT_LE(from_side, width / 20);
                    EXPECT_LE(from_edge, height / 20);
                    EXPECT_TRUE(c.left ? b.x + b.w <= width / 2 : b.x >= width / 2) << b.x << " " << b.w;
                    EXPECT_TRUE(c.top ? b.y + b.h <= height / 2 : b.y >= height / 2) << b.y << " " << b.h;
                }
            }
        }
    }
}

// Length in px of the bar's fill: the amber pixels of the row through the
// middle of the drawn gauge. Also the gauge's own width.
void measure_bar(const Renderer& r, const std::string& frame, int& fill, int& gauge) {
    const std::vector<std::string> amber = {"-fuzz",   "15%",   "-fill", "black",   "+opaque",
                                            "#FFB000", "-fill", "white", "-opaque", "#FFB000"};
    const std::vector<Box> whole = trim_boxes(r, {frame}, amber);
    ASSERT_EQ(whole.size(), 1u);
    gauge = whole[0].w;
    // Three rows: ImageMagick's bounding box of a single row is not reliable.
    std::vector<std::string> rows = amber;
    rows.insert(rows.end(), {"-crop", "1920x3+0+" + std::to_string(whole[0].y + whole[0].h / 2 - 1), "+repage"});
    const std::vector<Box> middle = trim_boxes(r, {frame}, rows);
    ASSERT_EQ(middle.size(), 1u);
    fill = middle[0].w;
}

TEST(AssOverlay, DrawnBarFollowsTheGValueUpToFullScale) {
    REQUIRE_RENDERER(r);
    TempDir dir;
    // 1 G, then 2 G, then 6 G (above the 4 G full scale), two seconds each.
    test::DatLog dat(test::log_header());
    for (int i = 0; i < 60; ++i) {
        const std::int16_t z = i < 20 ? 2048 : i < 40 ? 4096 : 12288;
        dat.sample(static_cast<std::uint32_t>(i * 100), 100, {0, 0, z});
    }
    test::write_file(dir.file("GOPR0001.DAT"), dat.take());
    test::write_file(dir.file("GOPR0001.MP4"), test::mp4_file(6000));
    test::write_file(dir.file("settings.txt"), "ass_overlay = yes\ngbar = yes\naccel_filter = off\n");
    const RunResult conv = test::run_program({test::binary_path("converter/converter"), "GOPR0001.DAT"}, dir.path());
    ASSERT_EQ(conv.exit_status, 0) << conv.out;

    // Frames at 1, 3 and 5 s.
    const std::vector<std::string> frames = render(r, dir, "GOPR0001.ASS", 1920, 1080, "1", "6", "bar_");
    ASSERT_EQ(frames.size(), 6u);
    int fill[3] = {}, gauge[3] = {};
    for (int i = 0; i < 3; ++i) measure_bar(r, frames[static_cast<std::size_t>(2 * i + 1)], fill[i], gauge[i]);
    EXPECT_EQ(gauge[0], gauge[2]) << "the gauge has the same length whatever the value";
    EXPECT_NEAR(fill[0], gauge[0] / 4.0, 4) << "1 G is a quarter of the 4 G scale";
    EXPECT_NEAR(fill[1], 2.0 * fill[0], 3) << "2 G is twice as long";
    EXPECT_NEAR(fill[2], gauge[2], 4) << "6 G fills the scale and stops there";
}

TEST(AssOverlay, MkvTakesTheScriptAsASoftSubtitleTrack) {
    const std::string ffmpeg = test::find_tool("ffmpeg"), ffprobe = test::find_tool("ffprobe");
    if (ffmpeg.empty() || ffprobe.empty()) GTEST_SKIP() << "ffmpeg or ffprobe is not installed; nothing checked";
    TempDir dir;
    // A real chapter video, which the converter reads the length of.
    RunResult r = test::run_program({ffmpeg, "-nostdin", "-v", "error", "-f", "lavfi", "-i",
                                     "color=c=0x808080:s=320x240:r=10:d=3", "-c:v", "mpeg4", "GOPR0001.MP4"},
                                    dir.path());
    ASSERT_EQ(r.exit_status, 0) << r.err;
    test::DatLog dat(test::log_header());
    for (int i = 0; i < 30; ++i) dat.sample(static_cast<std::uint32_t>(i * 100), 100 + i);
    test::write_file(dir.file("GOPR0001.DAT"), dat.take());
    test::write_file(dir.file("settings.txt"), "ass_overlay = yes\ngbar = yes\n");
    r = test::run_program({test::binary_path("converter/converter"), "GOPR0001.DAT", "-v", "GOPR0001.MP4"}, dir.path());
    ASSERT_EQ(r.exit_status, 0) << r.out;

    r = test::run_program(
        {ffmpeg, "-nostdin", "-v", "warning", "-i", "GOPR0001.MP4", "-i", "GOPR0001.ASS", "-c", "copy", "ride.mkv"},
        dir.path());
    ASSERT_EQ(r.exit_status, 0) << r.err;
    EXPECT_EQ(r.err, "");
    r = test::run_program(
        {ffprobe, "-v", "error", "-show_entries", "stream=codec_type,codec_name", "-of", "csv=p=0", "ride.mkv"},
        dir.path());
    EXPECT_EQ(r.out, "mpeg4,video\nass,subtitle\n");
}

TEST(AssOverlay, AFailedWriteDropsTheChaptersFiles) {
    TempDir dir;
    test::DatLog dat(test::log_header());
    for (int i = 0; i < 600; ++i) dat.sample(static_cast<std::uint32_t>(i * 100), 100 + i % 7);
    test::write_file(dir.file("GOPR0001.DAT"), dat.take());
    test::write_file(dir.file("GOPR0001.MP4"), test::mp4_file(60000));
    test::write_file(dir.file("GOPR0001.SRT"), "from an earlier run\n");
    test::write_file(dir.file("settings.txt"), "ass_overlay = yes\ngbar = yes\n");
    // At most 32 KiB per file (64 blocks of 512 bytes): the SRT fits, the
    // ASS does not. The signal ignored so that the write fails instead.
    const RunResult r = test::run_program({"/bin/sh", "-c", "ulimit -f 64; trap '' XFSZ; exec \"$0\" GOPR0001.DAT",
                                           test::binary_path("converter/converter")},
                                          dir.path());
    EXPECT_EQ(r.exit_status, 74) << r.out;
    EXPECT_NE(r.out.find("Could not write GOPR0001.ASS: File too large\n"), std::string::npos) << r.out;
    EXPECT_EQ(test::read_file(dir.file("GOPR0001.SRT")), "from an earlier run\n");
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"GOPR0001.DAT", "GOPR0001.MP4", "GOPR0001.SRT", "settings.txt"}));
}

// "H:MM:SS.cc" of the SRT's "HH:MM:SS,mmm", rounded to the centisecond.
std::string ass_time(const std::string& srt) {
    int h = 0, m = 0, s = 0, ms = 0;
    std::sscanf(srt.c_str(), "%d:%d:%d,%d", &h, &m, &s, &ms);
    const long cs = ((h * 60L + m) * 60 + s) * 100 + (ms + 5) / 10;
    char out[32];
    std::snprintf(out, sizeof out, "%ld:%02ld:%02ld.%02ld", cs / 360000, cs / 6000 % 60, cs / 100 % 60, cs % 100);
    return out;
}

TEST(AssOverlay, LeavesTheSrtAloneAndHasOneEventPerEntryAtItsTimes) {
    TempDir plain, with_overlay;
    convert_ride(plain, "");
    convert_ride(with_overlay, "ass_overlay = yes\noverlay_corner = top-right\n");
    for (int chapter = 0; chapter < CHAPTERS; ++chapter) {
        const std::string srt = test::read_file(plain.file(chapter_name(chapter, "SRT")));
        EXPECT_TRUE(srt == test::read_file(with_overlay.file(chapter_name(chapter, "SRT"))));
        EXPECT_FALSE(test::file_exists(plain.file(chapter_name(chapter, "ASS"))));

        std::vector<std::string> srt_times, ass_times;
        std::istringstream srt_lines(srt);
        std::string line;
        while (std::getline(srt_lines, line)) {
            if (line.find(" --> ") == std::string::npos) continue;
            srt_times.push_back(ass_time(line.substr(0, 12)) + "," + ass_time(line.substr(17, 12)));
        }
        std::istringstream ass_lines(test::read_file(with_overlay.file(chapter_name(chapter, "ASS"))));
        while (std::getline(ass_lines, line)) {
            if (line.rfind("Dialogue: 1,", 0) == 0) ass_times.push_back(line.substr(12, line.find(",Readings") - 12));
        }
        EXPECT_GT(srt_times.size(), 10u);
        EXPECT_EQ(ass_times, srt_times);
    }
}

// The text of every event keeps each line's width, whatever the values (a
// landing of 12 G, altitudes from -1234 to 23456 ft, missing readings,
// stale GPS): lines are left-aligned, so a width that changes moves the
// units beside it. No line starts with a plain space, which libass drops.
TEST(AssOverlay, EveryLineKeepsItsWidth) {
    TempDir dir;
    convert_ride(dir, "ass_overlay = yes\n");
    for (int chapter = 0; chapter < CHAPTERS; ++chapter) {
        SCOPED_TRACE(chapter_name(chapter, "ASS"));
        std::vector<std::size_t> widths;  // per line, in characters
        std::istringstream ass_lines(test::read_file(dir.file(chapter_name(chapter, "ASS"))));
        std::string line;
        int events = 0;
        while (std::getline(ass_lines, line)) {
            if (line.rfind("Dialogue: 1,", 0) != 0) continue;
            ++events;
            std::string text = line.substr(line.find('}') + 1);
            std::size_t index = 0;
            for (std::size_t at = 0; at <= text.size(); ++index) {
                std::size_t end = text.find("\\N", at);
                if (end == std::string::npos) end = text.size();
                // What is drawn as text: no override blocks or drawing
                // commands (the bar's drawing always spans full scale),
                // "\h" as one character.
                std::string shown;
                bool drawing = false;
                for (std::size_t i = at; i < end; ++i) {
                    if (text[i] == '{') {
                        const std::size_t close = text.find('}', i);
                        const std::string block = text.substr(i, close - i);
                        if (block.find("\\p1") != std::string::npos) drawing = true;
                        if (block.find("\\p0") != std::string::npos) drawing = false;
                        i = close;
                    } else if (drawing) {
                        continue;
                    } else if (text.compare(i, 2, "\\h") == 0) {
                        shown += ' ';
                        ++i;
                    } else {
                        shown += text[i];
                    }
                }
                EXPECT_NE(text[at], ' ') << line;
                if (widths.size() <= index) widths.push_back(shown.size());
                EXPECT_EQ(shown.size(), widths[index]) << "line " << index << ": '" << shown << "' in " << line;
                at = end + 2;
            }
        }
        EXPECT_GT(events, 10);
        EXPECT_GE(widths.size(), 10u) << "every item on, with GPS";
    }
}

}  // namespace
}  // namespace tarvex
