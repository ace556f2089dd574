// GPX prologue, track points and footer, byte for byte, with the console
// lines the writer prints.
#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "gpx_writer.h"
#include "log_events.h"
#include "maker.h"
#include "test_support.h"

namespace tarvex {
namespace {

using test::attach;
using test::capture_stdout;
using test::fix2_record;
using test::fix_record;
using test::nav_record;
using test::sensor_event;
using test::written_by;

class GpxHeader : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

std::string prologue(const char* name) {
    return std::string(
               "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n"
               "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\""
               " xmlns:gpxx=\"http://www.garmin.com/xmlschemas/GpxExtensions/v3\""
               " xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v1\""
               " creator=\"Tarvex Sensor Pack (") +
           MAKER_WEB_ADDRESS +
           ")\" version=\"1.1\" xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
           " xsi:schemaLocation=\"http://www.topografix.com/GPX/1/1 "
           "http://www.topografix.com/GPX/1/1/gpx.xsd "
           "http://www.garmin.com/xmlschemas/GpxExtensions/v3 "
           "http://www.garmin.com/xmlschemas/GpxExtensionsv3.xsd "
           "http://www.garmin.com/xmlschemas/TrackPointExtension/v1 "
           "http://www.garmin.com/xmlschemas/TrackPointExtensionv1.xsd\">\n"
           "  <trk>\n"
           "    <name>" +
           name +
           "</name>\n"
           "    <desc>Tue Nov 14 22:13:20 2023\n"
           "</desc>\n"
           "    <trkseg>\n";
}

TEST_F(GpxHeader, PrologueNamesTheTrackAfterTheFile) {
    DatHeader h;
    h.rec_date = 1700000000;
    struct Case {
        const char* path;
        const char* name;
    };
    const Case cases[] = {
        {"out/GOPR0012.GPX", "GOPR0012.GPX"},
        {"/a/b/c/GP010042.GPX", "GP010042.GPX"},
        {"GOPR0001.GPX", "GOPR0001.GPX"},
        // A caller's own path must not break the document.
        {"x/a&b<c>.GPX", "a&amp;b&lt;c&gt;.GPX"},
    };
    for (const Case& c : cases) {
        std::string bytes;
        const std::string console =
            capture_stdout([&] { bytes = written_by([&](TextOut& t) { gpx_write_header(t, c.path, h); }); });
        EXPECT_EQ(console, "Initializing new GPX file\n");
        EXPECT_EQ(bytes, prologue(c.name)) << c.path;
    }
}

std::string point(const LogEvent& rec) {
    LogEvent ev = sensor_event(0);
    attach(ev, rec);
    return written_by([&](TextOut& t) { gpx_write_point(t, ev); });
}

std::string trkpt(const char* lat, const char* lon, const char* ele) {
    return std::string("      <trkpt lat=\"") + lat + "\" lon=\"" + lon + "\">\n        <ele>" + ele +
           "</ele>\n      </trkpt>\n";
}

TEST(GpxWriter, Points) {
    GpsFix f;
    f.lat_deg = 51;
    f.lat_frac = 123456;
    f.lon_deg = -1;
    f.lon_frac = 500000;
    f.gps_alt = 1234;
    EXPECT_EQ(point(fix_record(f)), trkpt("51.123456", "-1.500000", " 12.34"));
    f.lat_deg = -33;
    f.lat_frac = 7;
    f.lon_deg = 0;
    f.lon_frac = 0;
    f.gps_alt = -250;
    EXPECT_EQ(point(fix_record(f)), trkpt("-33.000007", "0.000000", "-2.50"));

    GpsNavData n;
    n.lat = -335000000;
    n.lon = 1234567;
    n.gps_alt = 5;
    EXPECT_EQ(point(nav_record(n)), trkpt("-33.500000", "0.123457", " 0.05"));
    n.lat = 900000000;
    n.lon = -1800000000;
    n.gps_alt = 4294967295u;  // unsigned: never a minus sign
    EXPECT_EQ(point(nav_record(n)), trkpt("90.000000", "-180.000000", " 42949672.95"));

    // No point for a GpsFix2 nor for an event without a record.
    EXPECT_EQ(point(fix2_record()), "");
    const LogEvent bare = sensor_event(0);
    EXPECT_EQ(written_by([&](TextOut& t) { gpx_write_point(t, bare); }), "");
}

TEST(GpxWriter, Footer) {
    std::string bytes;
    const std::string console = capture_stdout([&] { bytes = written_by([](TextOut& t) { gpx_write_footer(t); }); });
    EXPECT_EQ(console, "Writing GPX footer\n");
    EXPECT_EQ(bytes, "    </trkseg>\n  </trk>\n</gpx>\n");
}

}  // namespace
}  // namespace tarvex
