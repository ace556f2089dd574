// GPS lines of the subtitles: both layouts, units, places, dash forms after a
// fix goes stale, and which record kinds are shown at all.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "log_events.h"
#include "srt_gps_lines.h"
#include "srt_writer.h"

namespace tarvex {
namespace {

using test::attach;
using test::fix2_record;
using test::fix_record;
using test::nav_record;
using test::sensor_event;
using test::written_by;

std::string gps_lines(const LogEvent& ev, const Settings& s, RunOptions& run) {
    return written_by([&](TextOut& t) { put_gps_lines(t, ev, s, run); });
}

GpsFix fix_of(std::int16_t speed, std::int32_t dist, std::int16_t heading = 0) {
    GpsFix f;
    f.gps_speed = speed;
    f.dist = dist;
    f.heading = heading;
    return f;
}

struct Case {
    const char* name;
    std::function<void(Settings&)> set;
    GpsFix fix;
    const char* fresh;  // lines with the record attached
    const char* stale;  // lines of a later event without a record
};

TEST(SrtGpsFix, Layouts) {
    const std::vector<Case> cases = {
        {"defaults", [](Settings&) {}, fix_of(100, 161), "62 mph    1.0 mi\n", "--- mph   --- mi\n"},
        {"negative speed", [](Settings&) {}, fix_of(-100, 0), "-62 mph    0.0 mi\n", "--- mph   --- mi\n"},
        {"km, one place, small negative",
         [](Settings& s) {
             s.gps_speed = speed_unit::HIDDEN;
             s.gps_dist = distance_unit::KM;
         },
         fix_of(0, -5), " 0.0 km\n", "--- km\n"},
        {"km, one place, -15",
         [](Settings& s) {
             s.gps_speed = speed_unit::HIDDEN;
             s.gps_dist = distance_unit::KM;
         },
         fix_of(0, -15), "-0.1 km\n", "--- km\n"},
        {"km, one place, 987",
         [](Settings& s) {
             s.gps_speed = speed_unit::HIDDEN;
             s.gps_dist = distance_unit::KM;
         },
         fix_of(0, 987), " 9.8 km\n", "--- km\n"},
        {"km, two places",
         [](Settings& s) {
             s.gps_speed = speed_unit::HIDDEN;
             s.gps_dist = distance_unit::KM;
             s.gps_dist_places = decimal_places::TWO;
         },
         fix_of(0, 987), " 9.87 km\n", "--- km\n"},
        {"miles, two places",
         [](Settings& s) {
             s.gps_speed = speed_unit::HIDDEN;
             s.gps_dist_places = decimal_places::TWO;
         },
         fix_of(0, -322), "-2.00 mi\n", "--- mi\n"},
        {"nothing on",
         [](Settings& s) {
             s.gps_speed = speed_unit::HIDDEN;
             s.gps_dist = distance_unit::HIDDEN;
         },
         fix_of(100, 161), "", ""},
        {"heading only",
         [](Settings& s) {
             s.gps_speed = speed_unit::HIDDEN;
             s.gps_dist = distance_unit::HIDDEN;
             s.heading = show_hide::SHOWN;
         },
         fix_of(100, 161, 270), "270 deg\n", "--- deg\n"},
        {"all three in km/h",
         [](Settings& s) {
             s.gps_speed = speed_unit::KMH;
             s.gps_dist = distance_unit::KM;
             s.heading = show_hide::SHOWN;
         },
         fix_of(36, 50, 90), "36 km/h    0.5 km   90 deg\n", "--- km/h   --- km   --- deg\n"},
        {"speed and heading",
         [](Settings& s) {
             s.gps_dist = distance_unit::HIDDEN;
             s.heading = show_hide::SHOWN;
         },
         fix_of(161, 0, -5), "100 mph   -5 deg\n", "--- mph   --- deg\n"},
        {"huge odometer in miles does not overflow",
         [](Settings& s) {
             s.gps_speed = speed_unit::HIDDEN;
             s.gps_dist_places = decimal_places::TWO;
         },
         fix_of(0, 2147483647), " 13338407.74 mi\n", "--- mi\n"},
    };
    for (const Case& c : cases) {
        Settings s;
        c.set(s);
        RunOptions run;
        const LogEvent rec = fix_record(c.fix);
        LogEvent ev = sensor_event(0);
        attach(ev, rec);
        EXPECT_EQ(gps_lines(ev, s, run), c.fresh) << c.name;
        EXPECT_EQ(run.last_gps_kind, 241) << c.name;
        EXPECT_EQ(gps_lines(sensor_event(200), s, run), c.stale) << c.name;
    }
}

struct NavCase {
    const char* name;
    std::function<void(Settings&)> set;
    std::int32_t h, v;
    double dist_cm;
    const char* fresh;
    const char* stale;
};

TEST(SrtGpsNavData, Layouts) {
    const auto single_kmh_glide = [](Settings& s) {
        s.gps_speed_type = speed_type::HORIZONTAL;
        s.gps_speed = speed_unit::KMH;
        s.gps_dist = distance_unit::KM;
        s.glide = show_hide::SHOWN;
    };
    const std::vector<NavCase> cases = {
        {"defaults", [](Settings&) {}, 100, -10, 161000.0, "H: 62 mph   V: -6 mph\n1.0 mi   \n",
         "H: --- mph   V: --- mph\n--- mi   \n"},
        {"single speed with glide", single_kmh_glide, 40, -10, 250000.0, "H: 40 km/h   2.5 km\nGlide: -4.0\n",
         "H: --- km/h   --- km\nGlide: ---\n"},
        {"glide of a level flight", single_kmh_glide, 40, 0, 250000.0, "H: 40 km/h   2.5 km\nGlide: --\n",
         "H: --- km/h   --- km\nGlide: ---\n"},
        {"glide with a fraction", single_kmh_glide, 25, 10, 0.0, "H: 25 km/h   0.0 km\nGlide:  2.5\n",
         "H: --- km/h   --- km\nGlide: ---\n"},
        {"glide below a tenth loses its sign", single_kmh_glide, 5, -100, 0.0, "H: 5 km/h   0.0 km\nGlide:  0.0\n",
         "H: --- km/h   --- km\nGlide: ---\n"},
        {"glide of a huge speed does not overflow", single_kmh_glide, 2147483647, 1, 0.0,
         "H: 2147483647 km/h   0.0 km\nGlide:  2147483647.0\n", "H: --- km/h   --- km\nGlide: ---\n"},
        {"vertical only, miles, two places",
         [](Settings& s) {
             s.gps_speed_type = speed_type::VERTICAL;
             s.gps_dist_places = decimal_places::TWO;
         },
         100, -10, 80500.0, "V: -6 mph   0.50 mi\n", "V: --- mph   --- mi\n"},
        {"both speeds, glide",
         [](Settings& s) {
             s.gps_speed = speed_unit::KMH;
             s.glide = show_hide::SHOWN;
         },
         30, -3, 123456.0, "H: 30 km/h   V: -3 km/h\n0.8 mi   Glide: -10.0\n",
         "H: --- km/h   V: --- km/h\n--- mi   Glide: ---\n"},
        {"distance only",
         [](Settings& s) {
             s.gps_speed = speed_unit::HIDDEN;
             s.gps_dist = distance_unit::KM;
             s.gps_dist_places = decimal_places::TWO;
         },
         1, 1, 250000.0, "2.50 km   \n", "--- km   \n"},
        {"glide only",
         [](Settings& s) {
             s.gps_speed = speed_unit::HIDDEN;
             s.gps_dist = distance_unit::HIDDEN;
             s.glide = show_hide::SHOWN;
         },
         40, 10, 0.0, "Glide:  4.0\n", "Glide: ---\n"},
        {"nothing on",
         [](Settings& s) {
             s.gps_speed = speed_unit::HIDDEN;
             s.gps_dist = distance_unit::HIDDEN;
         },
         40, 10, 0.0, "", ""},
        {"single speed, no distance",
         [](Settings& s) {
             s.gps_speed_type = speed_type::HORIZONTAL;
             s.gps_dist = distance_unit::HIDDEN;
         },
         161, 0, 0.0, "H: 100 mph   \n", "H: --- mph   \n"},
    };
    for (const NavCase& c : cases) {
        Settings s;
        c.set(s);
        RunOptions run;
        GpsNavData n;
        n.h_speed = c.h;
        n.vspeed = c.v;
        const LogEvent rec = nav_record(n, c.dist_cm);
        LogEvent ev = sensor_event(0);
        attach(ev, rec, false);  // shown whether or not the record is new
        EXPECT_EQ(gps_lines(ev, s, run), c.fresh) << c.name;
        EXPECT_EQ(run.last_gps_kind, 243) << c.name;
        EXPECT_EQ(gps_lines(sensor_event(200), s, run), c.stale) << c.name;
    }
}

TEST(SrtGpsLines, OnlyFixAndNavDataKindsAreShown) {
    Settings s;
    RunOptions run;
    // Before any record: no line at all.
    EXPECT_EQ(gps_lines(sensor_event(0), s, run), "");

    // A GpsFix2 is silent, now and on later events without a record.
    const LogEvent fix2 = fix2_record();
    LogEvent ev = sensor_event(100);
    attach(ev, fix2);
    EXPECT_EQ(gps_lines(ev, s, run), "");
    EXPECT_EQ(run.last_gps_kind, 242);
    EXPECT_EQ(gps_lines(sensor_event(200), s, run), "");

    // A GpsFix takes over; after it a GpsFix2 silences the lines again.
    const LogEvent fix = fix_record(fix_of(100, 161));
    LogEvent ev2 = sensor_event(300);
    attach(ev2, fix);
    EXPECT_EQ(gps_lines(ev2, s, run), "62 mph    1.0 mi\n");
    LogEvent ev3 = sensor_event(400);
    attach(ev3, fix2);
    EXPECT_EQ(gps_lines(ev3, s, run), "");

    // A kind nobody interprets is silent too.
    LogEvent odd = fix_record(fix_of(100, 161));
    odd.type = 250;
    LogEvent ev4 = sensor_event(500);
    attach(ev4, odd);
    EXPECT_EQ(gps_lines(ev4, s, run), "");
    EXPECT_EQ(gps_lines(sensor_event(600), s, run), "");
}

TEST(SrtGpsLines, StandBetweenAccelerationAndPins) {
    Settings s;  // feet, magnitude, mph and miles
    s.id_pins = show_hide::SHOWN;
    RunOptions run;
    std::uint32_t last = NO_SUB_TIME;
    const LogEvent rec = fix_record(fix_of(100, 161));
    LogEvent ev = sensor_event(1000);
    attach(ev, rec);
    const std::string entry = written_by([&](TextOut& t) { srt_write_entry(t, ev, 3, s, run, last); });
    EXPECT_EQ(entry,
              "3\n00:00:00,000 --> 00:00:01,000\n500 ft    1.0 G\n62 mph    1.0 mi\n"
              "ID1: 0   ID2: 0\n\n");
}

}  // namespace
}  // namespace tarvex
