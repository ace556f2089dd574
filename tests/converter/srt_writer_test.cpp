// SRT entries: spacing and times, the reading line, the acceleration part and
// the pin line, compared byte for byte.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "log_events.h"
#include "srt_writer.h"

namespace tarvex {
namespace {

using test::reading;
using test::sensor_event;
using test::written_by;

// Settings with only what a case turns on.
Settings quiet_settings() {
    Settings s;
    s.altitude = altitude_unit::HIDDEN;
    s.temperature = temperature_unit::HIDDEN;
    s.accel = accel_shown::HIDDEN;
    s.gbar = show_hide::HIDDEN;
    s.id_pins = show_hide::HIDDEN;
    return s;
}

struct Writer {
    Settings settings;
    RunOptions run;
    std::uint32_t last_sub_time = NO_SUB_TIME;

    std::string entry(LogEvent ev, std::int32_t number = 1) {
        return written_by([&](TextOut& t) { srt_write_entry(t, ev, number, settings, run, last_sub_time); });
    }
};

TEST(SrtEntry, SpacingJoinsEntriesEndToEnd) {
    Writer w;  // default settings: feet and magnitude, 150 ms spacing
    // The first entry starts at 0 even below the spacing.
    EXPECT_EQ(w.entry(sensor_event(100), 1), "1\n00:00:00,000 --> 00:00:00,100\n500 ft    1.0 G\n\n");
    // 100 ms later: no entry, the end time stays.
    EXPECT_EQ(w.entry(sensor_event(200), 2), "");
    EXPECT_EQ(w.last_sub_time, 100u);
    // Exactly the spacing is enough; the skipped event lengthened this entry.
    EXPECT_EQ(w.entry(sensor_event(250), 3), "3\n00:00:00,100 --> 00:00:00,250\n500 ft    1.0 G\n\n");
    // A timestamp before the last end is never skipped.
    EXPECT_EQ(w.entry(sensor_event(40), 4), "4\n00:00:00,250 --> 00:00:00,040\n500 ft    1.0 G\n\n");
}

TEST(SrtEntry, SpacingIsAnUnsignedComparison) {
    Writer w;
    w.settings.min_sub_delay = -1;  // as unsigned: no later entry is ever far enough
    EXPECT_NE(w.entry(sensor_event(0)), "");
    EXPECT_EQ(w.entry(sensor_event(4000000000u)), "");
}

TEST(SrtEntry, TimesSplitIntoHoursMinutesSecondsMillis) {
    struct Case {
        std::uint32_t last, t;
        const char* times;
    };
    const Case cases[] = {
        {0, 3723004, "00:00:00,000 --> 01:02:03,004"},
        {3723004, 360000000, "01:02:03,004 --> 100:00:00,000"},
        {359999999, 4294967294u, "99:59:59,999 --> 1193:02:47,294"},
    };
    for (const Case& c : cases) {
        Writer w;
        w.settings = quiet_settings();
        w.last_sub_time = c.last;
        EXPECT_EQ(w.entry(sensor_event(c.t), 7), std::string("7\n") + c.times + "\n\n");
    }
}

struct ItemCase {
    const char* name;
    std::function<void(Settings&)> set;
    std::function<void(LogEvent&)> change;
    const char* lines;  // the entry after its two header lines
};

void run_item_cases(const std::vector<ItemCase>& cases, const RunOptions& run = {}) {
    for (const ItemCase& c : cases) {
        Writer w;
        w.settings = quiet_settings();
        w.run = run;
        c.set(w.settings);
        LogEvent ev = sensor_event(1000);
        c.change(ev);
        EXPECT_EQ(w.entry(ev), std::string("1\n00:00:00,000 --> 00:00:01,000\n") + c.lines) << c.name;
    }
}

void none(Settings&) {}
void same(LogEvent&) {}

void set_altitude(LogEvent& ev, std::int32_t ft) { ev.filt_altitude = ft; }
void set_temp(LogEvent& ev, std::int32_t tenths) {
    SensorSample s = decode_sensor_sample(ev.payload.data());
    s.temp = tenths;
    encode_sensor_sample(ev.payload.data(), s);
}
void set_accel(LogEvent& ev, std::int32_t x, std::int32_t y, std::int32_t z) {
    ev.filt_accel_x = x;
    ev.filt_accel_y = y;
    ev.filt_accel_z = z;
}

TEST(SrtEntry, ReadingLine) {
    run_item_cases({
        {"nothing on", none, same, "\n"},
        {"feet", [](Settings& s) { s.altitude = altitude_unit::FEET; }, [](LogEvent& e) { set_altitude(e, -12); },
         "-12 ft\n\n"},
        {"metres", [](Settings& s) { s.altitude = altitude_unit::METRES; }, [](LogEvent& e) { set_altitude(e, 3281); },
         "1000 m\n\n"},
        {"both", [](Settings& s) { s.altitude = altitude_unit::BOTH; }, [](LogEvent& e) { set_altitude(e, -100); },
         "-100 ft   -30 m\n\n"},
        {"both absent", [](Settings& s) { s.altitude = altitude_unit::BOTH; },
         [](LogEvent& e) { set_altitude(e, NO_VALUE); }, "--- ft   --- m\n\n"},
        {"feet absent", [](Settings& s) { s.altitude = altitude_unit::FEET; },
         [](LogEvent& e) { set_altitude(e, NO_VALUE); }, "--- ft\n\n"},
        {"metres absent", [](Settings& s) { s.altitude = altitude_unit::METRES; },
         [](LogEvent& e) { set_altitude(e, NO_VALUE); }, "--- m\n\n"},
        {"metres of a huge altitude do not overflow", [](Settings& s) { s.altitude = altitude_unit::METRES; },
         [](LogEvent& e) { set_altitude(e, 2147483647); }, "654521074 m\n\n"},
        {"celsius", [](Settings& s) { s.temperature = temperature_unit::CELSIUS; },
         [](LogEvent& e) { set_temp(e, -105); }, "-10 C\n\n"},
        {"fahrenheit", [](Settings& s) { s.temperature = temperature_unit::FAHRENHEIT; },
         [](LogEvent& e) { set_temp(e, -105); }, "14 F\n\n"},
        {"celsius absent", [](Settings& s) { s.temperature = temperature_unit::CELSIUS; },
         [](LogEvent& e) { set_temp(e, NO_VALUE); }, "-- C\n\n"},
        {"fahrenheit absent", [](Settings& s) { s.temperature = temperature_unit::FAHRENHEIT; },
         [](LogEvent& e) { set_temp(e, NO_VALUE); }, "-- F\n\n"},
        {"climb alone", none, [](LogEvent& e) { e.baro_vspeed = -7; }, "-7 ft/s\n\n"},
        {"all three items",
         [](Settings& s) {
             s.altitude = altitude_unit::FEET;
             s.temperature = temperature_unit::CELSIUS;
         },
         [](LogEvent& e) { e.baro_vspeed = 3; }, "500 ft   3 ft/s   21 C\n\n"},
    });
}

TEST(SrtEntry, AccelerationPart) {
    const auto axes_tenths = [](Settings& s) {
        s.accel = accel_shown::MAGNITUDE_AND_AXES;
        s.gbar = show_hide::SHOWN;
    };
    run_item_cases({
        {"magnitude, axes and bar", axes_tenths, same, " 1.0 G\nX:  0.0  Y:  0.0  Z:  1.0\n||||||||||\n\n"},
        {"after the reading line",
         [](Settings& s) {
             s.altitude = altitude_unit::FEET;
             s.accel = accel_shown::MAGNITUDE;
         },
         same, "500 ft    1.0 G\n\n"},
        {"hundredths",
         [](Settings& s) {
             s.accel = accel_shown::MAGNITUDE_AND_AXES;
             s.accel_places = decimal_places::TWO;
             s.gbar = show_hide::SHOWN;
         },
         [](LogEvent& e) { set_accel(e, -102, 0, 2048); },
         // The bar still counts tenths: 1.00 G is 10 bars.
         " 1.00 G\nX: -0.05  Y:  0.00  Z:  1.00\n||||||||||\n\n"},
        {"zero magnitude gives an empty bar line", [](Settings& s) { s.gbar = show_hide::SHOWN; },
         [](LogEvent& e) { set_accel(e, 0, 0, 0); }, "\n\n"},
        {"one absent axis", axes_tenths, [](LogEvent& e) { e.filt_accel_y = NO_ACCEL; },
         "--- G\nX: ---  Y: ---  Z: ---\n\n"},
        {"axes only, first line of the entry", [](Settings& s) { s.accel = accel_shown::AXES; },
         [](LogEvent& e) { set_accel(e, 1024, -2048, 512); }, "X:  0.5  Y: -1.0  Z:  0.3\n\n"},
        {"axes only ends the reading line first",
         [](Settings& s) {
             s.accel = accel_shown::AXES;
             s.altitude = altitude_unit::FEET;
         },
         same, "500 ft\nX:  0.0  Y:  0.0  Z:  1.0\n\n"},
        {"bar only after the reading line",
         [](Settings& s) {
             s.gbar = show_hide::SHOWN;
             s.altitude = altitude_unit::FEET;
         },
         same, "500 ft\n||||||||||\n\n"},
        {"absent axis without magnitude or axes: no bar", [](Settings& s) { s.gbar = show_hide::SHOWN; },
         [](LogEvent& e) { e.filt_accel_z = NO_ACCEL; }, "\n"},
        {"gbar_max caps the bar with one '+'",
         [](Settings& s) {
             s.gbar = show_hide::SHOWN;
             s.gbar_max = 2;
         },
         [](LogEvent& e) { set_accel(e, 0, 0, 4301); }, "||||||||||||||||||||+\n\n"},  // 2.1 G
        {"a bar at gbar_max is not capped",
         [](Settings& s) {
             s.gbar = show_hide::SHOWN;
             s.gbar_max = 1;
         },
         same, "||||||||||\n\n"},
        {"gbar other than 1 runs the part but draws no bar",
         [](Settings& s) {
             s.gbar = 2;
             s.altitude = altitude_unit::FEET;
         },
         same, "500 ft\n\n"},
    });
}

TEST(SrtEntry, HighGScale) {
    RunOptions run;
    run.high_g = 1;
    run_item_cases({{"200 G part", [](Settings& s) { s.accel = accel_shown::MAGNITUDE_AND_AXES; },
                     [](LogEvent& e) { set_accel(e, 16384, -164, 0); }, " 100.0 G\nX:  100.0  Y: -1.0  Z:  0.0\n\n"}},
                   run);
}

TEST(SrtEntry, PinLine) {
    for (std::uint32_t flags : {0u, 1u, 2u, 3u, 0xFFFFFFFCu}) {
        Writer w;
        w.settings = quiet_settings();
        w.settings.id_pins = show_hide::SHOWN;
        SensorSample s = reading();
        s.flags = flags;
        const std::string expected = "1\n00:00:00,000 --> 00:00:00,000\nID1: " + std::to_string(flags & 1) +
                                     "   ID2: " + std::to_string((flags >> 1) & 1) + "\n\n";
        EXPECT_EQ(w.entry(sensor_event(0, s)), expected) << flags;
    }
}

TEST(AccelScale, RoundsHalfAwayFromZero) {
    struct Case {
        std::int32_t high_g, counts, tenths, hundredths;
    };
    const Case cases[] = {
        {0, 2048, 10, 100},
        {0, -1024, -5, -50},
        {0, 103, 1, 5},
        {0, 102, 0, 5},
        {0, -103, -1, -5},
        {0, -102, 0, -5},
        {0, 512, 3, 25},
        {0, -512, -3, -25},
        {0, 0, 0, 0},
        {0, 32767, 160, 1600},
        {0, -32768, -160, -1600},
        {1, 32767, 2000, 19999},
        {1, -32768, -2000, -20000},
        {1, 8, 0, 5},
        {1, 9, 1, 5},
        {1, -9, -1, -5},
    };
    for (const Case& c : cases) {
        RunOptions run;
        run.high_g = c.high_g;
        LogEvent ev = sensor_event(0);
        set_accel(ev, c.counts, -c.counts, c.counts);
        LogEvent ev2 = ev;
        accel_scale_tenths(ev, run);
        accel_scale_hundredths(ev2, run);
        EXPECT_EQ(ev.filt_accel_x, c.tenths) << c.counts << " high_g " << c.high_g;
        EXPECT_EQ(ev.filt_accel_y, -c.tenths) << c.counts;  // each axis has its own sign
        EXPECT_EQ(ev2.filt_accel_z, c.hundredths) << c.counts << " high_g " << c.high_g;
    }
}

}  // namespace
}  // namespace tarvex
