// `datview plot`: a picture of an hour's log over two video chapters must be
// well-formed XML (xmllint), render (rsvg-convert) at its declared size and
// stay small; reducing a series to pixel columns must keep a lone spike.

#include <gtest/gtest.h>

#include <cmath>
#include <regex>

#include "column_buckets.h"
#include "datview_run.h"
#include "mp4_bytes.h"

namespace tarvex {
namespace {

std::uint32_t be32(const std::string& s, std::size_t at) {
    std::uint32_t v = 0;
    for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<std::uint8_t>(s[at + i]);
    return v;
}

TEST(Plot, TwoChapterHourIsValidSmallSvgThatRendersAtItsSize) {
    test::DatLog log = test::log_of("TX<&>'\"9");             // markup characters must be escaped
    for (std::uint32_t i = 0; i < 36000; ++i) {               // one hour at 10 samples per second
        const std::int16_t z = i == 20000 ? 8 * 2048 : 2048;  // one hard landing
        log.sample(i * 100, static_cast<std::int32_t>(i / 60), {0, 0, z});
    }
    test::TempDir dir;
    test::write_file(dir.file("log.dat"), log.bytes());
    test::write_file(dir.file("GOPR0001.MP4"), test::mp4_file(1800000));
    test::write_file(dir.file("GP010001.MP4"), test::mp4_file(1800000));
    const test::RunResult r =
        test::datview(dir, {"plot", "log.dat", "-o", "ride.svg", "-s", "none.txt", "-v", "GOPR0001.MP4"});
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
    const std::string svg = test::read_file(dir.file("ride.svg"));
    EXPECT_LT(svg.size(), 300u * 1024u);
    EXPECT_NE(svg.find(">GOPR0001.MP4<"), std::string::npos);
    EXPECT_NE(svg.find(">GP010001.MP4<"), std::string::npos);
    EXPECT_NE(svg.find("TX&lt;&amp;&gt;&apos;&quot;9 on 2023-11-14 22:13:20 UTC"), std::string::npos);

    if (test::find_tool("xmllint").empty()) GTEST_SKIP() << "xmllint is not installed; XML and rendering not checked";
    EXPECT_EQ(test::run_program({"/usr/bin/env", "xmllint", "--noout", "ride.svg"}, dir.path()).exit_status, 0);

    if (test::find_tool("rsvg-convert").empty())
        GTEST_SKIP() << "rsvg-convert (librsvg2-bin) is not installed; not rendered";
    const test::RunResult png =
        test::run_program({"/usr/bin/env", "rsvg-convert", "ride.svg", "-o", "ride.png"}, dir.path());
    ASSERT_EQ(png.exit_status, 0) << png.err;
    const std::string bytes = test::read_file(dir.file("ride.png"));
    ASSERT_GT(bytes.size(), 24u);
    ASSERT_EQ(bytes.substr(1, 3), "PNG");
    std::smatch m;
    ASSERT_TRUE(std::regex_search(svg, m, std::regex("<svg [^>]*width=\"(\\d+)\" height=\"(\\d+)\"")));
    EXPECT_EQ(be32(bytes, 16), std::stoul(m[1].str()));  // IHDR width
    EXPECT_EQ(be32(bytes, 20), std::stoul(m[2].str()));  // IHDR height
}

// The ride example's picture: the track panel's stated extent is the outing
// track's bounds in metres east and north of its first point (equirectangular
// around it, mean Earth radius); it renders; a PNG name is refused.
TEST(Plot, TrackPanelSpansTheTracksBoundsAndRenders) {
    const std::string dir = test::source_path("examples/ride");
    test::TempDir tmp;
    const test::RunResult r = test::datview(tmp, {"plot", dir + "/GOPR0077.DAT", "-o", "ride.svg", "-s",
                                                  dir + "/settings.txt", "-v", dir + "/GOPR0077.MP4"});
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
    const std::string svg = test::read_file(tmp.file("ride.svg"));
    std::smatch m;
    ASSERT_TRUE(std::regex_search(svg, m, std::regex("east (-?\\d+) to (-?\\d+) m, north (-?\\d+) to (-?\\d+) m")));
    const std::string gpx = test::read_file(dir + "/expected/GOPR0077-outing.GPX");
    double e0 = 0, e1 = 0, n0 = 0, n1 = 0, lat0 = 0, lon0 = 0;
    bool first = true;
    const std::regex trkpt("<trkpt lat=\"([-0-9.]+)\" lon=\"([-0-9.]+)\"");
    for (auto it = std::sregex_iterator(gpx.begin(), gpx.end(), trkpt); it != std::sregex_iterator(); ++it) {
        const double lat = std::stod((*it)[1]), lon = std::stod((*it)[2]);
        if (first) lat0 = lat, lon0 = lon, first = false;
        const double rad = M_PI / 180.0;
        const double east = 6371008.8 * (lon - lon0) * rad * std::cos(lat0 * rad),
                     north = 6371008.8 * (lat - lat0) * rad;
        e0 = std::min(e0, east), e1 = std::max(e1, east), n0 = std::min(n0, north), n1 = std::max(n1, north);
    }
    ASSERT_FALSE(first);
    EXPECT_NEAR(std::stod(m[1].str()), e0, 0.51);
    EXPECT_NEAR(std::stod(m[2].str()), e1, 0.51);
    EXPECT_NEAR(std::stod(m[3].str()), n0, 0.51);
    EXPECT_NEAR(std::stod(m[4].str()), n1, 0.51);
    EXPECT_GT(e1 - e0, 100.0);

    const test::RunResult png = test::datview(tmp, {"plot", dir + "/GOPR0077.DAT", "-o", "ride.png"});
    EXPECT_EQ(png.exit_status, 2);
    EXPECT_FALSE(test::file_exists(tmp.file("ride.png")));

    if (test::find_tool("rsvg-convert").empty())
        GTEST_SKIP() << "rsvg-convert (librsvg2-bin) is not installed; not rendered";
    const test::RunResult render =
        test::run_program({"/usr/bin/env", "rsvg-convert", "ride.svg", "-o", "rendered.png"}, tmp.path());
    EXPECT_EQ(render.exit_status, 0) << render.err;
    EXPECT_EQ(render.err, "");
}

TEST(Plot, NeverWritesOverAnInput) {
    test::DatLog log = test::log_of("TX1");
    test::TempDir dir;
    const std::string log_bytes = test::samples(log, 0, 20).bytes();
    test::write_file(dir.file("log.dat"), log_bytes);
    test::write_file(dir.file("settings.txt"), "csv = on\n");
    test::write_file(dir.file("GOPR0001.MP4"), test::mp4_file(1000));
    test::write_file(dir.file("GP010001.MP4"), test::mp4_file(1000));
    for (const char* out : {"log.dat", "./log.dat", "settings.txt", "GOPR0001.MP4", "GP010001.MP4"}) {
        const std::string before = test::read_file(dir.file(out));
        const test::RunResult r = test::datview(dir, {"plot", "log.dat", "-o", out, "-v", "GOPR0001.MP4"});
        EXPECT_EQ(r.exit_status, 2) << out;
        EXPECT_EQ(test::read_file(dir.file(out)), before) << out;
    }
}

TEST(ColumnSeries, KeepsEachColumnsExtremesInArrivalOrder) {
    datview::ColumnSeries s(100);
    for (int i = 0; i < 100000; ++i)
        s.add(static_cast<std::size_t>(i / 1000), i, i == 41234 ? 8.0 : 1.0 - (i % 7) * 0.01);
    const auto pts = s.points(1000);
    ASSERT_EQ(pts.size(), 200u);  // a minimum and a maximum per column
    EXPECT_EQ(pts[82].column, 41u);
    EXPECT_DOUBLE_EQ(pts[82].value, 0.94);  // the column's low came first...
    EXPECT_DOUBLE_EQ(pts[83].value, 8.0);   // ...then the spike
    EXPECT_DOUBLE_EQ(s.max(), 8.0);
    EXPECT_TRUE(pts[0].starts_run);
    EXPECT_FALSE(pts[2].starts_run);
}

}  // namespace
}  // namespace tarvex
