// Accelerometer driver and field calibration against the simulated part.
#include <gtest/gtest.h>

#include <string>

#include "accel.h"
#include "eeprom.h"
#include "sim_fixture.h"

namespace tarvex {
namespace {

using test::eeprom_head;
using test::SimCamera;

using Offsets = std::array<std::int8_t, 3>;

const std::array<std::uint8_t, 16> V3_BOARD = eeprom_head('1', "SIM00001", 0xC0, {0, 0, 0});
const std::array<std::uint8_t, 16> OLDER_BOARD = eeprom_head(0xFF, "", 0xC1, {1, -2, 3});

// A rig whose identity has been read, as at the recorder's start-up.
struct AccelRig {
    explicit AccelRig(const sim::Scenario& scenario) : rig(scenario) {
        char serial[9];
        test::capture_stdout([&] { eeprom_read_identity(serial, sizeof serial); });
    }
    Offsets device_offsets() const {
        return {static_cast<std::int8_t>(rig.accel->reg(0x1E)), static_cast<std::int8_t>(rig.accel->reg(0x1F)),
                static_cast<std::int8_t>(rig.accel->reg(0x20))};
    }
    std::vector<std::uint8_t> stored() const {
        const auto& m = rig.main_eeprom->memory();
        return {m.begin() + 11, m.begin() + 15};
    }
    int calibrate(std::string& out) {
        int result = 0;
        out = test::capture_stdout([&] { result = accel_calibrate(); });
        return result;
    }
    SimCamera rig;
};

sim::Scenario board(const std::array<std::uint8_t, 16>& head, int addressing = 16) {
    sim::Scenario s;
    s.eeprom_main = head;
    s.eeprom_main_addressing = addressing;
    return s;
}

TEST(AccelProbe, FindsThePartOnTheFirstAttempt) {
    SimCamera rig{sim::Scenario{}};
    bool found = false;
    const std::string out = test::capture_stdout([&] { found = accel_probe(); });
    EXPECT_TRUE(found);
    EXPECT_EQ(out, "Probing accelerometer, attempt 0\n");
}

TEST(AccelProbe, GivesUpAfterFiveAttempts) {
    sim::Scenario scenario;
    scenario.accelerometer_absent = true;
    SimCamera rig(scenario);
    const std::uint64_t starts = rig.world().bus().starts();
    const std::uint64_t start_us = rig.world().now_us();
    bool found = true;
    const std::string out = test::capture_stdout([&] { found = accel_probe(); });
    EXPECT_FALSE(found);
    EXPECT_EQ(out,
              "Probing accelerometer, attempt 0\nProbing accelerometer, attempt 1\n"
              "Probing accelerometer, attempt 2\nProbing accelerometer, attempt 3\n"
              "Probing accelerometer, attempt 4\n");
    EXPECT_EQ(rig.world().bus().starts() - starts, 5u * 2u);  // five reads: START and repeated START each
    EXPECT_GE(rig.world().now_us() - start_us, 5u * 50'000u);
}

TEST(AccelSetup, WritesTheLoggingConfigurationAndTheOffsets) {
    AccelRig a(board(OLDER_BOARD, 8));
    ASSERT_EQ(identity.accel_offsets, (Offsets{1, -2, 3}));
    accel_setup();
    EXPECT_EQ(a.device_offsets(), (Offsets{1, -2, 3}));
    EXPECT_EQ(a.rig.accel->reg(0x2C), 6);
    EXPECT_EQ(a.rig.accel->reg(0x2D), 8);
    EXPECT_EQ(a.rig.accel->reg(0x31), 15);
    EXPECT_EQ(a.rig.accel->counts_per_g(), 2048);
}

TEST(AccelRead, BothBoardLayoutsGiveTheLoggedAxes) {
    // Logged truth x 0.5 g, y -0.25 g, z 1 g at 2048 counts per g.
    struct Case {
        const char* name;
        std::array<std::uint8_t, 16> head;
        int addressing;
        int flip;                       // what the identity read decides
        std::optional<int> force_flip;  // a board read with the wrong mapping
        std::array<std::int16_t, 3> xyz;
    };
    const Case cases[] = {
        {"v3 board", V3_BOARD, 16, 1, std::nullopt, {1024, -512, 2048}},
        {"older board", OLDER_BOARD, 8, 0, std::nullopt, {1024, -512, 2048}},
        // device axes (0.5, 1, 0.25): unflipped x = a2, y = a0
        {"v3 board read unflipped", V3_BOARD, 16, 1, 0, {512, 1024, 2048}},
        // device axes (-0.25, 1, 0.5): flipped x = a0, y = -a2
        {"older board read flipped", OLDER_BOARD, 8, 0, 1, {-512, -1024, 2048}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Scenario scenario = board(c.head, c.addressing);
        scenario.accel_g = {{0.0, 0.5, -0.25, 1.0}};
        AccelRig a(scenario);
        EXPECT_EQ(identity.accel_axis_flip, c.flip);
        identity.accel_offsets = {0, 0, 0};
        if (c.force_flip) identity.accel_axis_flip = *c.force_flip;
        accel_setup();
        AccelSample s;
        accel_read(s);
        EXPECT_EQ((std::array<std::int16_t, 3>{s.x, s.y, s.z}), c.xyz);
    }
}

TEST(AccelRead, NoPartReadsMinusOneOnEveryAxis) {
    sim::Scenario scenario;
    scenario.accelerometer_absent = true;
    SimCamera rig(scenario);
    for (int flip : {0, 1}) {
        identity.accel_axis_flip = flip;
        AccelSample s;
        accel_read(s);
        EXPECT_EQ(s.x, -1);
        EXPECT_EQ(s.y, flip ? 1 : -1);  // the flip negates device axis 2
        EXPECT_EQ(s.z, -1);
    }
}

TEST(AccelScale, HundredthsOfAGTruncatedTowardZero) {
    const std::pair<std::int16_t, std::int32_t> cases[] = {
        {0, 0}, {-1, 0}, {1, 0}, {21, 1}, {-21, -1}, {2048, 100}, {-2048, -100}, {32767, 1599}, {-32768, -1600},
    };
    for (const auto& [count, hundredths] : cases) {
        AccelSample s;
        s.x = count;
        s.y = static_cast<std::int16_t>(-count);
        s.z = count;
        accel_scale(s);
        EXPECT_EQ(s.x_scaled, hundredths) << count;
        EXPECT_EQ(s.y_scaled, count == -32768 ? -1600 : -hundredths) << count;  // -(-32768) wraps in 16 bits
        EXPECT_EQ(s.z_scaled, hundredths) << count;
    }
}

TEST(AccelCalibrate, NullsABiasedUnitAndStoresTheOffsets) {
    sim::Scenario scenario = board(V3_BOARD);
    scenario.accel_bias = {0.1, -0.05, 0.2};
    AccelRig a(scenario);
    std::string out;
    EXPECT_EQ(a.calibrate(out), 0);
    // Device axes at 256 counts per g: 26, 243, 51; logged x = 26, y = -51, z = 243.
    EXPECT_EQ(out,
              "Starting accel calibration...\n"
              "\nAverage readings (at 15.6mG/lsb):\n\t6\t-12\t60\n\n"
              "Calibration axis flip enabled\n"
              "Sensor offsets:\n\t-6\t4\t-12\n\n"
              "After calibration:\n"
              "\t[    0    -1   101]\n\t[    0    -1   101]\n\t[    0    -1   101]\n"
              "\t[    0    -1   101]\n\t[    0    -1   101]\n"
              "Writing v3 EEPROM cal values\nWriting offsets to EEPROM\nEEPROM successfully written\n");
    EXPECT_EQ(identity.accel_offsets, (Offsets{-6, 4, -12}));
    EXPECT_EQ(a.device_offsets(), (Offsets{-6, 4, -12}));
    EXPECT_EQ(a.rig.accel->reg(0x31), 15);
    EXPECT_EQ(a.stored(), (std::vector<std::uint8_t>{0xC0, 0xFA, 4, 0xF4}));

    // The unit now reads level within one offset unit (32 counts).
    AccelSample s;
    accel_read(s);
    EXPECT_NEAR(s.x, 0, 32);
    EXPECT_NEAR(s.y, 0, 32);
    EXPECT_NEAR(s.z, 2048, 32);
}

TEST(AccelCalibrate, RefusesATiltedUnitAndRevertsToTheOldOffsets) {
    sim::Scenario scenario = board(OLDER_BOARD, 8);
    scenario.accel_g = {{0.0, 0.5, 0.0, 0.866}};  // tipped 30 degrees about y
    AccelRig a(scenario);
    accel_setup();
    const std::vector<std::uint8_t> before = a.rig.main_eeprom->memory();
    std::string out;
    EXPECT_EQ(a.calibrate(out), -1);
    EXPECT_EQ(out,
              "Starting accel calibration...\n"
              "\nAverage readings (at 15.6mG/lsb):\n\t32\t0\t55\n\n"
              "Calibration axis flip disabled\n"
              "Sensor offsets:\n\t0\t9\t-32\n\n"
              "Calibration offsets are invalid. Reverting.\n");
    EXPECT_EQ(identity.accel_offsets, (Offsets{1, -2, 3}));
    EXPECT_EQ(a.device_offsets(), (Offsets{1, -2, 3}));
    EXPECT_EQ(a.rig.accel->reg(0x31), 15);
    EXPECT_EQ(a.rig.main_eeprom->memory(), before);
}

TEST(AccelCalibrate, TheLimitIsTwentyUnitsEitherWay) {
    // A bias of n/64 g on device axis 0 asks for an offset of -n.
    for (int n : {-21, -20, 20, 21}) {
        SCOPED_TRACE(n);
        sim::Scenario scenario = board(V3_BOARD);
        scenario.accel_bias = {n / 64.0, 0.0, 0.0};
        AccelRig a(scenario);
        std::string out;
        const int result = a.calibrate(out);
        const bool within = n >= -20 && n <= 20;
        EXPECT_EQ(result, within ? 0 : -1);
        EXPECT_EQ(identity.accel_offsets, (within ? Offsets{static_cast<std::int8_t>(-n), 0, 0} : Offsets{0, 0, 0}));
    }
}

TEST(AccelCalibrate, AFailedStoreLeavesZeroOffsets) {
    sim::Scenario scenario = board(eeprom_head('1', "SIM00001", 0xC0, {7, 7, 7}));
    scenario.eeprom_write_fail = true;
    scenario.accel_bias = {0.1, 0.0, 0.0};
    AccelRig a(scenario);
    std::string out;
    EXPECT_EQ(a.calibrate(out), -1);
    EXPECT_NE(out.find("Sensor offsets:\n\t-6\t0\t0\n\n"), std::string::npos);
    EXPECT_NE(out.find("EEPROM programming error\n"), std::string::npos);
    EXPECT_EQ(identity.accel_offsets, (Offsets{0, 0, 0}));
    // The part was set up again, in logging format, with zero offsets.
    EXPECT_EQ(a.device_offsets(), (Offsets{0, 0, 0}));
    EXPECT_EQ(a.rig.accel->reg(0x31), 15);
    EXPECT_EQ(a.stored(), (std::vector<std::uint8_t>{0xC0, 7, 7, 7}));  // the part took nothing
}

TEST(AccelCalibrate, WithoutAPartTheOffsetsAreRefused) {
    sim::Scenario scenario;
    scenario.accelerometer_absent = true;
    AccelRig a(scenario);
    std::string out;
    EXPECT_EQ(a.calibrate(out), -1);
    EXPECT_EQ(out,
              "Starting accel calibration...\n"
              "\nAverage readings (at 15.6mG/lsb):\n\t0\t0\t0\n\n"
              "Calibration axis flip enabled\n"
              "Sensor offsets:\n\t0\t64\t0\n\n"
              "Calibration offsets are invalid. Reverting.\n");
}

}  // namespace
}  // namespace tarvex
