#include "settings.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "filter_presets.h"
#include "test_support.h"

using namespace tarvex;
using tarvex::test::capture_stdout;
using tarvex::test::TempDir;
using tarvex::test::write_file;

namespace {

// Loads `text` as a settings file into defaults; returns the record and what was printed.
Settings load_text(const std::string& text, std::string* printed = nullptr) {
    TempDir dir;
    write_file(dir.file("settings.txt"), text);
    Settings s;
    const std::string out = capture_stdout([&] { settings_load(dir.file("settings.txt").c_str(), s); });
    if (printed != nullptr) *printed = out;
    return s;
}

std::string dump(const Settings& s) {
    return capture_stdout([&] { settings_print(s); });
}

}  // namespace

TEST(SettingsFile, MissingFilePrintsNothingAndKeepsDefaults) {
    Settings s;
    const std::string out = capture_stdout([&] { settings_load("/nonexistent/settings.txt", s); });
    EXPECT_EQ(out, "");
    EXPECT_EQ(dump(s), dump(Settings{}));
    EXPECT_EQ(s.alt_filter, filter_level::MEDIUM);
    EXPECT_EQ(s.accel_filter, filter_level::LOW);
}

TEST(SettingsFile, DumpHasEveryLabelInOrder) {
    Settings s;
    s.accel_places = decimal_places::TWO;
    EXPECT_EQ(dump(s),
              "Alt:\t\t\t1\nTemp:\t\t\t0\nAccel:\t\t\t1\nG-bar:\t\t\t0\nCSV:\t\t\t0\n"
              "Accel places:\t\t2\nMin delta:\t\t150\nGPS lag:\t\t500\nGPS speed:\t\t2\n"
              "GPS distance:\t\t2\nGPS distance places:\t1\nAlt filter:\t\t-2\nAccel fiter:\t\t-1\n"
              "ID pins:\t\t0\nGPX:\t\t\t1\nHeading:\t\t0\nSpeed window:\t\t0\nHaptics:\t\t1\n"
              "GPS dist interval:\t50\nGPS speed_limit:\t483\nGlide:\t\t\t0\nVenus rate:\t\t25\n"
              "Venus nav mode:\t\t5\nGPS speed type:\t\t2\nGPS HW lag:\t\t0\n");
}

TEST(SettingsFile, DumpPrintsTheNumbersOfTheNamedValues) {
    // Every word field set away from its default: the dump shows the numbers
    // that the settings record has always stored for these words.
    const Settings s = load_text(
        "altitude = both\ntemperature = f\naccel = xyz\ngbar = yes\ncsv = on\naccel_places = long\n"
        "gps_speed = km\ngps_dist = km\ngps_dist_places = two\nalt_filter = high\naccel_filter = off\n"
        "id_pins = on\ngpx = off\nheading = on\nhaptics = off\nglide = on\ngps_speed_type = v\n"
        // Later keys are not in the dump.
        "ass_overlay = yes\noverlay_corner = top-left\ngbar_max = 5\n");
    EXPECT_EQ(dump(s),
              "Alt:\t\t\t3\nTemp:\t\t\t2\nAccel:\t\t\t3\nG-bar:\t\t\t1\nCSV:\t\t\t1\n"
              "Accel places:\t\t2\nMin delta:\t\t150\nGPS lag:\t\t500\nGPS speed:\t\t1\n"
              "GPS distance:\t\t1\nGPS distance places:\t2\nAlt filter:\t\t-3\nAccel fiter:\t\t0\n"
              "ID pins:\t\t1\nGPX:\t\t\t0\nHeading:\t\t1\nSpeed window:\t\t0\nHaptics:\t\t0\n"
              "GPS dist interval:\t50\nGPS speed_limit:\t483\nGlide:\t\t\t1\nVenus rate:\t\t25\n"
              "Venus nav mode:\t\t5\nGPS speed type:\t\t1\nGPS HW lag:\t\t0\n");
}

TEST(SettingsFile, LineSyntax) {
    std::string out;
    const Settings s = load_text(
        "; a comment\n"
        "   \t\n"
        "  ; indented comment\n"
        "ALTITUDE = METERS trailing words\n"
        "temperature=c\r\n"
        "#gbar = yes\n"
        "accel    =full\n"
        "gps_lag = 700\n"
        "gps_lag = 800\n"
        "csv yes\n"
        "gpx=no",  // no final newline
        &out);
    EXPECT_EQ(s.altitude, 2);
    EXPECT_EQ(s.temperature, 1) << "CR ends the value like a blank";
    EXPECT_EQ(s.gbar, 0);
    EXPECT_EQ(s.accel, 2);
    EXPECT_EQ(s.gps_lag, 800) << "later lines win";
    EXPECT_EQ(s.csv, 0) << "no '=' gives an empty value";
    EXPECT_EQ(s.gpx, 0);
    const std::string expected_head =
        "Opened settings file\n"
        "Parsing: altitude meters\n"
        "Parsing: temperature c\n"
        "Parsing: #gbar yes\n"
        "Parsing: accel full\n"
        "Parsing: gps_lag 700\n"
        "Parsing: gps_lag 800\n"
        "Parsing: csv \n"
        "Unknown value: <>\n"
        "Parsing: gpx no\n";
    EXPECT_EQ(out.substr(0, expected_head.size()), expected_head);
    EXPECT_EQ(out.substr(expected_head.size()), dump(s));
}

TEST(SettingsFile, WordListsDifferWhereItMatters) {
    struct Case {
        const char* line;
        std::int32_t Settings::*field;
        std::int32_t expected;
        bool unknown;
    };
    const Case cases[] = {
        {"temperature = celsius", &Settings::temperature, temperature_unit::CELSIUS, false},
        {"temperature = celcius", &Settings::temperature, temperature_unit::CELSIUS, false},
        {"temperature = F", &Settings::temperature, temperature_unit::FAHRENHEIT, false},
        {"gbar = none", &Settings::gbar, show_hide::HIDDEN, true},
        {"gbar = true", &Settings::gbar, show_hide::SHOWN, false},
        {"id_pins = false", &Settings::id_pins, show_hide::HIDDEN, false},
        {"accel = none", &Settings::accel, accel_shown::HIDDEN, false},
        {"accel = false", &Settings::accel, accel_shown::MAGNITUDE, true},
        {"accel = xyz", &Settings::accel, accel_shown::AXES, false},
        {"csv = show", &Settings::csv, on_off::OFF, true},
        {"csv = enabled", &Settings::csv, on_off::ON, false},
        {"gpx = hide", &Settings::gpx, on_off::ON, true},
        {"gps_speed = km/h", &Settings::gps_speed, speed_unit::KMH, false},
        {"gps_dist = mph", &Settings::gps_dist, distance_unit::MILES, true},
        {"gps_dist = none", &Settings::gps_dist, distance_unit::HIDDEN, false},
        {"accel_places = 2", &Settings::accel_places, decimal_places::TWO, false},
        {"gps_dist_places = one", &Settings::gps_dist_places, decimal_places::ONE, false},
        {"gps_speed_type = 3D", &Settings::gps_speed_type, speed_type::BOTH, false},
        {"gps_speed_type = ground", &Settings::gps_speed_type, speed_type::HORIZONTAL, false},
        {"altitude = us", &Settings::altitude, altitude_unit::FEET, false},
        {"altitude = hidden", &Settings::altitude, altitude_unit::HIDDEN, false},
        {"ass_overlay = show", &Settings::ass_overlay, show_hide::SHOWN, false},
        {"overlay_corner = Top-Right", &Settings::overlay_corner, overlay_corner::TOP_RIGHT, false},
        {"overlay_corner = top", &Settings::overlay_corner, overlay_corner::BOTTOM_LEFT, true},
    };
    for (const Case& c : cases) {
        std::string out;
        const Settings s = load_text(std::string(c.line) + "\n", &out);
        EXPECT_EQ(s.*(c.field), c.expected) << c.line;
        EXPECT_EQ(out.find("Unknown value: <") != std::string::npos, c.unknown) << c.line;
    }
}

TEST(SettingsFile, NumberRangesAndFallbacks) {
    struct Case {
        const char* line;
        std::int32_t Settings::*field;
        std::int32_t expected;
    };
    const Case cases[] = {
        {"gps_lag = -5", &Settings::gps_lag, 1000},
        {"gps_lag = 9000", &Settings::gps_lag, 9000},
        {"gps_lag = 9001", &Settings::gps_lag, 1000},
        {"gps_lag =", &Settings::gps_lag, 0},
        {"gps_lag = 4294967296", &Settings::gps_lag, 1000},  // beyond 32 bits: out of range
        {"gps_lag = 4294967396", &Settings::gps_lag, 1000},  // would wrap to 100 if cut to 32 bits
        {"gps_lag = -4294966296", &Settings::gps_lag, 1000},
        {"gps_speed_limit = 15", &Settings::gps_speed_limit, 483},
        {"gps_speed_limit = 16", &Settings::gps_speed_limit, 16},
        {"gps_speed_limit = 3220", &Settings::gps_speed_limit, 3220},
        {"gps_speed_limit = 3221", &Settings::gps_speed_limit, 483},
        {"gps_rate = 3", &Settings::gps_rate, 25},
        {"gps_rate = 10hz", &Settings::gps_rate, 10},
        {"gps_rate = -1", &Settings::gps_rate, 25},
        {"gps_nav_mode = 7", &Settings::gps_nav_mode, 6},
        {"gps_nav_mode = 0", &Settings::gps_nav_mode, 0},
        {"min_sub_delay = 10001", &Settings::min_sub_delay, 150},
        {"min_sub_delay = +20", &Settings::min_sub_delay, 20},
        {"speed_window = 251", &Settings::speed_window, 0},
        {"speed_window = 25", &Settings::speed_window, 25},
        {"gps_dist_interval = 1501", &Settings::gps_dist_interval, 50},
        {"gps_hw_lag = abc", &Settings::gps_hw_lag, 0},
        {"gps_hw_lag = 9001", &Settings::gps_hw_lag, 0},
        {"gbar_max = 1", &Settings::gbar_max, 1},
        {"gbar_max = 20", &Settings::gbar_max, 20},
        {"gbar_max = 21", &Settings::gbar_max, 0},  // not set: the SRT bar stays uncapped
        {"gbar_max = 0", &Settings::gbar_max, 0},
    };
    for (const Case& c : cases) {
        const Settings s = load_text(std::string(c.line) + "\n");
        EXPECT_EQ(s.*(c.field), c.expected) << c.line;
    }
}

TEST(SettingsFile, FilterWordsAndNumbers) {
    struct Case {
        const char* value;
        std::int32_t expected;
        const char* messages;
    };
    const Case cases[] = {
        {"high", filter_level::HIGH, "Filter string value detected\n"},
        {"OFF", filter_level::OFF, "Filter string value detected\n"},
        {"12", 12, "Unknown value: <12>\nFilter numeric value detected\n"},
        {"250", 250, "Unknown value: <250>\nFilter numeric value detected\n"},
        {"251", filter_level::MEDIUM, "Unknown value: <251>\nInvalid filter setting: <251>\n"},
        {"-1", filter_level::MEDIUM, "Unknown value: <-1>\nInvalid filter setting: <-1>\n"},
        {"4294967297", filter_level::MEDIUM, "Unknown value: <4294967297>\nInvalid filter setting: <4294967297>\n"},
    };
    for (const Case& c : cases) {
        std::string out;
        const Settings s = load_text(std::string("alt_filter = ") + c.value + "\n", &out);
        EXPECT_EQ(s.alt_filter, c.expected) << c.value;
        std::string lowered = c.value;
        for (char& ch : lowered) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
        const std::string expected = "Opened settings file\nParsing: alt_filter " + lowered + "\n" + c.messages;
        EXPECT_EQ(out.substr(0, expected.size()), expected) << c.value;
    }
}

TEST(SettingsFile, LongTokensAreCutAndHighBytesAreSafe) {
    const std::string long_key(300, 'k');
    const std::string long_value = std::string(300, '9');
    std::string out;
    load_text(long_key + " = " + long_value + "\n\xC3\x84LTITUDE = \xFF\xFE\n", &out);
    EXPECT_NE(out.find("Parsing: " + std::string(255, 'k') + " " + std::string(255, '9') + "\n"), std::string::npos);
    // Bytes >= 0x80 pass through case folding unchanged.
    EXPECT_NE(out.find("Parsing: \xC3\x84ltitude \xFF\xFE\n"), std::string::npos);
}

// A file without a newline in 64 MB: the reader must not hold the line.
TEST(SettingsFile, AHugeLineIsReadInBoundedMemory) {
    TempDir dir;
    const std::string path = dir.file("settings.txt");
    constexpr off_t SIZE = 64 << 20;
    {
        std::FILE* f = std::fopen(path.c_str(), "w");
        ASSERT_NE(f, nullptr);
        std::fputs("altitude = m", f);  // then zero bytes: the line never ends
        ASSERT_EQ(ftruncate(fileno(f), SIZE), 0);
        std::fclose(f);
    }
    EXPECT_TRUE(test::runs_in_bounded_memory(
        [&] {
            Settings s;
            settings_load(path.c_str(), s);
            return s.altitude == 2;
        },
        4096))
        << "the line was not applied, or reading it grew the process by 4 MiB or more";
}

TEST(SettingsFile, Strtol32SaturatesLikeA32BitLong) {
    EXPECT_EQ(strtol32("2147483647"), INT32_MAX);
    EXPECT_EQ(strtol32("2147483648"), INT32_MAX);
    EXPECT_EQ(strtol32("99999999999999999999999"), INT32_MAX);
    EXPECT_EQ(strtol32("-2147483649"), INT32_MIN);
    EXPECT_EQ(strtol32("  -250ft"), -250);
    EXPECT_EQ(strtol32("abc"), 0);
}

TEST(FilterPresets, ResolveByHardwareRevision) {
    struct Case {
        std::int32_t alt, accel;
        std::uint32_t rev;
        std::int32_t want_alt, want_accel;
        const char* out;
    };
    constexpr std::int32_t LOW = filter_level::LOW, MEDIUM = filter_level::MEDIUM, HIGH = filter_level::HIGH;
    const Case cases[] = {
        {MEDIUM, LOW, 3, 3, 1, "Filter preset lookup: alt: 3, accel: 1\n"},
        {MEDIUM, LOW, 4, 3, 1, "Filter preset lookup: alt: 3, accel: 1\n"},
        {MEDIUM, LOW, 1, 3, 1, "Filter preset lookup: alt: 3, accel: 1\n"},
        {MEDIUM, LOW, 5, 12, 6, "Filter preset lookup: alt: 12, accel: 6\n"},
        {HIGH, HIGH, 5, 24, 24, "Filter preset lookup: alt: 24, accel: 24\n"},
        {HIGH, HIGH, 0, 6, 6, "Filter preset lookup: alt: 6, accel: 6\n"},
        {12, 0, 5, 12, 0, "Filter preset lookup: alt: 12, accel: 0\n"},
        {LOW, -7, 3, 1, 0,
         "BUG: Invalid accel filter value! Confused, but will continue.\n"
         "Filter preset lookup: alt: 1, accel: 0\n"},
        {-9, MEDIUM, 5, 0, 12,
         "BUG: Invalid alt filter value! Confused, but will continue.\n"
         "Filter preset lookup: alt: 0, accel: 12\n"},
    };
    for (const Case& c : cases) {
        Settings s;
        s.alt_filter = c.alt;
        s.accel_filter = c.accel;
        const std::string out = capture_stdout([&] { resolve_filter_presets(s, c.rev, stdout); });
        EXPECT_EQ(s.alt_filter, c.want_alt);
        EXPECT_EQ(s.accel_filter, c.want_accel);
        EXPECT_EQ(out, c.out);
    }
}
