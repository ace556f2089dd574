#include <gtest/gtest.h>

#include <array>
#include <string>

#include "scenario.h"
#include "test_support.h"

namespace tarvex::sim {
namespace {

Scenario parse_ok(const std::string& text) {
    std::string error;
    auto s = parse_scenario(text, error);
    EXPECT_TRUE(s.has_value()) << error;
    return s.value_or(Scenario{});
}

TEST(ScenarioTest, EmptyTextGivesTheDefaults) {
    const Scenario s = parse_ok("# nothing but a comment\n\n   \n");
    EXPECT_FALSE(s.end.has_value());
    EXPECT_FALSE(s.firmware.has_value());
    EXPECT_EQ(s.ticks0, 1700000000u);
    EXPECT_TRUE(s.eeprom_main.has_value());
    EXPECT_EQ(s.eeprom_main_addressing, 16);
    EXPECT_FALSE(s.eeprom_expander.has_value());
}

TEST(ScenarioTest, EveryDirective) {
    const Scenario s = parse_ok(
        "end 3600.5   # unplugged\n"
        "firmware rev1\n"
        "record 10 20\n"
        "record 30.25 31\n"
        "busy 21 22\n"
        "button 40 41.5\n"
        "disturb 50 50.5\n"
        "altitude 0 100 60 1100\n"
        "altitude 120 1100\n"
        "temperature 0 21.5\n"
        "accel 0 0 0 1 10 0.5 -0.5 1\n"
        "ticks 0x10\n"
        "tick-phase 0.75\n"
        "glitch 5 7\n"
        "glitch 9\n"
        "baro-calibration 7500 -1100 -14500 33000 25200 18900 5500 46 -32768 -11075 2432\n"
        "accelerometer absent\n"
        "accel-bias 0.01 -0.02 0.03\n"
        "eeprom-main 0000305445535430303031c0fe0102ff\n"
        "eeprom-main-addressing 8\n"
        "eeprom-write-fail\n"
        "eeprom-expander ee0142ffffff\n"
        "map-fail 0x70010000\n"
        "\taccessory\tabsent\r\n"
        "dev-mem absent\n");
    EXPECT_EQ(s.end, 3600.5);
    EXPECT_EQ(s.firmware, Firmware::Rev1);
    ASSERT_EQ(s.record.size(), 2u);
    EXPECT_EQ(s.record[1].from, 30.25);
    EXPECT_EQ(s.record[1].to, 31.0);
    ASSERT_EQ(s.busy.size(), 1u);
    ASSERT_EQ(s.button.size(), 1u);
    EXPECT_EQ(s.button[0].to, 41.5);
    ASSERT_EQ(s.disturb.size(), 1u);
    ASSERT_EQ(s.altitude_ft.size(), 3u);
    EXPECT_EQ(s.altitude_ft[2].t, 120.0);
    EXPECT_EQ(s.altitude_ft[1].value, 1100.0);
    ASSERT_EQ(s.temperature_c.size(), 1u);
    ASSERT_EQ(s.accel_g.size(), 2u);
    EXPECT_EQ(s.accel_g[1].y, -0.5);
    EXPECT_EQ(s.ticks0, 16u);
    EXPECT_EQ(s.tick_phase, 0.75);
    EXPECT_EQ(s.glitch, (std::vector<double>{5, 7, 9}));
    EXPECT_EQ(s.baro_calibration[8], -32768);
    EXPECT_EQ(s.baro_calibration[3], 33000);
    EXPECT_TRUE(s.accelerometer_absent);
    EXPECT_EQ(s.accel_bias[2], 0.03);
    ASSERT_TRUE(s.eeprom_main.has_value());
    EXPECT_EQ((*s.eeprom_main)[2], '0');
    EXPECT_EQ((*s.eeprom_main)[11], 0xC0);
    EXPECT_EQ((*s.eeprom_main)[12], 0xFE);
    EXPECT_EQ(s.eeprom_main_addressing, 8);
    EXPECT_TRUE(s.eeprom_write_fail);
    ASSERT_TRUE(s.eeprom_expander.has_value());
    EXPECT_EQ((*s.eeprom_expander)[2], 0x42);
    EXPECT_EQ(s.map_fail, (std::vector<std::uint32_t>{0x70010000}));
    EXPECT_TRUE(s.accessory_absent);
    EXPECT_TRUE(s.phys_mem_unavailable);
}

TEST(ScenarioTest, NoneRemovesTheEeproms) {
    const Scenario s = parse_ok("eeprom-main none\neeprom-expander none\n");
    EXPECT_FALSE(s.eeprom_main.has_value());
    EXPECT_FALSE(s.eeprom_expander.has_value());
}

// Every bad line is refused with its line number; nothing falls back to a default.
TEST(ScenarioTest, BadLinesNameTheirLine) {
    struct Case {
        const char* text;
        const char* error;
    };
    const std::array<Case, 31> cases{{
        {"end 5\nrecrod 1 2\n", "line 2: unknown directive 'recrod'"},
        {"end\n", "line 1: end takes one time: T"},
        {"end 5 6\n", "line 1: end takes one time: T"},
        {"end five\n", "line 1: 'five' is not a time in seconds"},
        {"end -1\n", "line 1: time -1 is before power-on"},
        {"end nan\n", "line 1: 'nan' is not a time in seconds"},
        {"end 5\n\nend 6\n", "line 3: end given twice (first on line 1)"},
        // Far past any run: the deadline in microseconds would overflow.
        {"end 1e15\n", "line 1: time 1e15 is later than 1000000 s, the longest scenario"},
        {"record 0 1.8e13\n", "line 1: time 1.8e13 is later than 1000000 s, the longest scenario"},
        {"firmware rev2\n", "line 1: firmware: 'rev2' is not rev3, rev4 or rev1"},
        {"accessory present\n", "line 1: accessory: expected 'absent', got 'present'"},
        {"record 5\n", "line 1: record takes two times: T1 T2"},
        {"record 5 4\n", "line 1: record: end 4 is before start 5"},
        {"button 1 2x\n", "line 1: '2x' is not a time in seconds"},
        {"altitude 0\n", "line 1: altitude takes pairs: T FEET [T FEET ...]"},
        {"altitude 0 100 5\n", "line 1: altitude takes pairs: T FEET [T FEET ...]"},
        {"altitude 10 100\naltitude 5 200\n", "line 2: altitude: time 5 is before the previous point"},
        {"temperature 0 hot\n", "line 1: 'hot' is not a number"},
        {"accel 0 0 0\n", "line 1: accel takes groups of four: T X Y Z [T X Y Z ...]"},
        {"ticks 4294967296\n", "line 1: '4294967296' is out of range for a counter value (0 to 4294967295)"},
        {"ticks 0xZZ\n", "line 1: '0xZZ' is not a counter value"},
        {"tick-phase 1.5\n", "line 1: tick-phase 1.5 is not between 0 and 1"},
        {"glitch\n", "line 1: glitch takes one or more times: T [T ...]"},
        {"hook-time -2\n", "line 1: hook-time -2 is not between 0 and 1000000 seconds"},
        {"hook-time fast\n", "line 1: 'fast' is not 'real' or a duration in seconds"},
        {"baro-calibration 1 2 3\n", "line 1: baro-calibration takes eleven words: c0 ... c10"},
        {"baro-calibration 1 2 3 4 5 6 7 8 9 10 65536\n",
         "line 1: '65536' is out of range for a 16-bit calibration word (-32768 to 65535)"},
        {"eeprom-main 00112233\n", "line 1: '00112233' is not 32 hex digits"},
        {"eeprom-expander ee01ffffffgg\n", "line 1: 'ee01ffffffgg' is not 12 hex digits"},
        {"eeprom-main-addressing 12\n", "line 1: eeprom-main-addressing: '12' is not 8 or 16"},
        {"eeprom-write-fail yes\n", "line 1: eeprom-write-fail takes no values"},
    }};
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(parse_scenario(c.text, error).has_value()) << c.text;
        EXPECT_EQ(error, c.error) << c.text;
    }
}

TEST(ScenarioTest, LoadNamesTheFile) {
    test::TempDir dir;
    test::write_file(dir.file("s.txt"), "end 1\nbogus\n");
    std::string error;
    EXPECT_FALSE(load_scenario(dir.file("s.txt"), error).has_value());
    EXPECT_EQ(error, dir.file("s.txt") + ": line 2: unknown directive 'bogus'");
    EXPECT_FALSE(load_scenario(dir.file("missing.txt"), error).has_value());
    EXPECT_EQ(error, "cannot read scenario file " + dir.file("missing.txt"));
}

TEST(ScenarioTest, TruthIsPiecewiseLinearAndHeldOutside) {
    const std::vector<TruthPoint> pts{{10, 100}, {20, 300}, {20, 500}, {30, 500}};
    struct Case {
        double t, value;
    };
    for (const Case& c : std::array<Case, 6>{{{0, 100}, {10, 100}, {15, 200}, {20, 500}, {25, 500}, {99, 500}}}) {
        EXPECT_DOUBLE_EQ(truth_at(pts, c.t, -1), c.value) << c.t;
    }
    EXPECT_EQ(truth_at({}, 5, 42.0), 42.0);
}

}  // namespace
}  // namespace tarvex::sim
