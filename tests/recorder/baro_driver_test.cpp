// The pressure sensor driver against the simulated sensor on the bit-banged bus.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "altitude_table.h"
#include "baro.h"
#include "baro_compensate.h"
#include "sim_fixture.h"

namespace tarvex {
namespace {

using test::SimCamera;

double formula_feet(double pascal) { return (44330.0 / 0.3048) * (1.0 - std::pow(pascal / 101325.0, 1.0 / 5.255)); }

struct Reading {
    int result = 0;
    BaroSample sample;
    std::int32_t altitude = 0;
    std::string output;
};

Reading take_sample(const BaroCalibration& cal) {
    Reading r;
    r.output = test::capture_stdout([&] {
        r.result = baro_sample(r.sample);
        baro_compensate_temperature(cal, r.sample);
        baro_compensate_pressure(cal, r.sample);
    });
    r.altitude = pressure_to_altitude(static_cast<std::uint32_t>(r.sample.pressure));
    return r;
}

BaroCalibration read_calibration() {
    BaroCalibration cal;
    EXPECT_EQ(baro_read_calibration(cal), 0);
    return cal;
}

TEST(BaroDriver, ReadsTheCalibrationWords) {
    sim::Scenario scenario;
    scenario.baro_calibration = {408, -72, -14383, 32741, 32757, 23153, 6190, 4, -32768, -8711, 2868};
    SimCamera rig(scenario);
    const BaroCalibration cal = read_calibration();
    for (std::size_t k = 0; k < 11; ++k)
        EXPECT_EQ(cal.c[k], static_cast<std::uint16_t>(scenario.baro_calibration[k])) << "word " << k;
}

TEST(BaroDriver, AnInvalidWordEndsTheCalibrationRead) {
    for (std::size_t bad : {0u, 5u, 10u})
        for (std::int32_t value : {0, 0xFFFF}) {
            SCOPED_TRACE(testing::Message() << "word " << bad << " = " << value);
            sim::Scenario scenario;
            scenario.baro_calibration[bad] = value;
            SimCamera rig(scenario);
            BaroCalibration cal;
            cal.c.fill(0x1234);
            EXPECT_EQ(baro_read_calibration(cal), 1);
            for (std::size_t k = 0; k < bad; ++k)
                EXPECT_EQ(cal.c[k], static_cast<std::uint16_t>(scenario.baro_calibration[k]));
            for (std::size_t k = bad + 1; k < 11; ++k) EXPECT_EQ(cal.c[k], 0x1234) << "word " << k << " was read";
        }
    // No sensor at all: the bus reads all ones.
    SimCamera empty({}, SimCamera::Bus::Empty);
    BaroCalibration cal;
    EXPECT_EQ(baro_read_calibration(cal), 1);
    EXPECT_EQ(cal.c[0], 0xFFFF);
}

TEST(BaroDriver, ReadsBackTheTruthAtEveryTableRow) {
    for (double celsius : {-20.0, 0.0, 15.0, 37.5}) {
        // Every row's pressure, the last row's less one pascal (the last one
        // that has a row above it to interpolate to).
        for (std::size_t i = 0; i < ALTITUDE_TABLE_SIZE; i += (celsius == 15.0 ? 1 : 8)) {
            const double pascal = std::min(5000.0 + 512.0 * static_cast<double>(i), 107911.0);
            const double feet = formula_feet(pascal);
            sim::Scenario scenario;
            scenario.altitude_ft = {{0.0, feet}};
            scenario.temperature_c = {{0.0, celsius}};
            SimCamera rig(scenario);
            const Reading r = take_sample(read_calibration());
            ASSERT_EQ(r.result, 0) << "row " << i;
            EXPECT_NEAR(r.sample.temperature / 10.0, celsius, 0.1) << "row " << i;
            EXPECT_NEAR(r.sample.pressure, pascal, 1.0) << "row " << i << " at " << celsius << " degC";
            EXPECT_NEAR(r.altitude, feet, 2.0) << "row " << i << " at " << celsius << " degC";
        }
    }
}

TEST(BaroDriver, ReadsBackTheTruthBetweenRows) {
    // Between rows the table's straight line lies up to 1.5 ft off the curve
    // at these pressures (and up to 15 ft near the table's low-pressure end).
    for (double feet = -1700.0; feet < 30000.0; feet += 733.3) {
        sim::Scenario scenario;
        scenario.altitude_ft = {{0.0, feet}};
        scenario.temperature_c = {{0.0, 21.3}};
        SimCamera rig(scenario);
        const Reading r = take_sample(read_calibration());
        ASSERT_EQ(r.result, 0);
        EXPECT_NEAR(r.sample.temperature, 213, 1);
        EXPECT_NEAR(r.altitude, feet, 2.0);
    }
}

TEST(BaroDriver, FollowsTheTruthOverTime) {
    sim::Scenario scenario;
    scenario.altitude_ft = {{0.0, 1000.0}, {100.0, 2000.0}};
    scenario.temperature_c = {{0.0, 30.0}, {100.0, 10.0}};
    SimCamera rig(scenario);
    const BaroCalibration cal = read_calibration();
    rig.world().sleep_us(50'000'000);
    const double t = rig.seconds();
    const Reading r = take_sample(cal);
    EXPECT_NEAR(r.altitude, 1000.0 + 10.0 * t, 2.0);
    EXPECT_NEAR(r.sample.temperature / 10.0, 30.0 - 0.2 * t, 0.1);
}

// A stale or zero pressure result costs one more conversion and is then good.
TEST(BaroDriver, RetriesAStaleOrZeroResultOnce) {
    sim::Scenario scenario;
    scenario.altitude_ft = {{0.0, 5280.0}};
    SimCamera rig(scenario);
    const BaroCalibration cal = read_calibration();

    std::uint64_t start = rig.world().now_us();
    const Reading normal = take_sample(cal);
    const std::uint64_t normal_us = rig.world().now_us() - start;
    ASSERT_EQ(normal.result, 0);
    EXPECT_GE(normal_us, 3 * 6000u + 14000u);

    for (sim::BaroFault fault : {sim::BaroFault::SlowPressure, sim::BaroFault::ZeroPressure}) {
        SCOPED_TRACE(static_cast<int>(fault));
        rig.baro->inject(fault, 1);
        start = rig.world().now_us();
        const Reading r = take_sample(cal);
        const std::uint64_t took_us = rig.world().now_us() - start;
        EXPECT_EQ(r.result, 0);
        EXPECT_EQ(r.sample.pressure, normal.sample.pressure);
        EXPECT_EQ(r.altitude, normal.altitude);
        EXPECT_GT(took_us, normal_us + 14000u);  // the second conversion
        EXPECT_LT(took_us, normal_us + 20000u);
    }
}

TEST(BaroDriver, TemperatureIsTheMeanOfTheTwoReadingsThatAgree) {
    sim::Scenario scenario;
    scenario.temperature_c = {{0.0, 25.0}};
    SimCamera rig(scenario);
    const BaroCalibration cal = read_calibration();
    const std::int32_t ut = rig.baro->raw_temperature_for(25.0);
    struct Case {
        sim::BaroFault fault;
        int count;  // conversions hit, from the first
        std::int32_t raw;
        std::uint64_t conversions;
    };
    const Case cases[] = {
        {sim::BaroFault::TemperatureSpike, 1, ut, 3},        // spike, good, good
        {sim::BaroFault::TemperatureSpike, 2, ut + 300, 3},  // two spikes agree
        {sim::BaroFault::TemperatureSpike, 3, ut + 300, 3}, {sim::BaroFault::ZeroTemperature, 1, ut, 3},
        {sim::BaroFault::ZeroTemperature, 2, ut, 6},  // 0 taken: all three again
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << static_cast<int>(c.fault) << " x" << c.count);
        std::uint64_t start = rig.world().now_us();
        const Reading good = take_sample(cal);
        const std::uint64_t good_took = rig.world().now_us() - start;
        start = rig.world().now_us();
        rig.baro->inject(c.fault, c.count);
        const Reading r = take_sample(cal);
        EXPECT_EQ(r.sample.raw_temperature, c.raw);
        EXPECT_EQ(r.result, 0);
        if (c.raw == ut) {
            EXPECT_EQ(r.sample.pressure, good.sample.pressure);
        }
        const std::uint64_t took = rig.world().now_us() - start;
        const std::uint64_t extra = c.conversions - 3;  // conversions beyond the usual three
        EXPECT_GE(took + 500, good_took + extra * 6000);
        EXPECT_LT(took, good_took + extra * 9000 + 500);
    }
}

TEST(BaroDriver, ASecondZeroResultIsNoReading) {
    SimCamera rig{sim::Scenario{}};
    const BaroCalibration cal = read_calibration();
    rig.baro->inject(sim::BaroFault::ZeroPressure, 2);
    const Reading r = take_sample(cal);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.sample.raw_pressure, RAW_PRESSURE_NONE);
    EXPECT_EQ(r.sample.pressure, NO_VALUE);
    EXPECT_EQ(r.altitude, NO_VALUE);
    EXPECT_NE(r.sample.temperature, NO_VALUE);
    EXPECT_EQ(r.output, "");
}

TEST(BaroDriver, AResultThatNeverSettlesEndsTheSampleWithNoReading) {
    SimCamera rig{sim::Scenario{}};
    const BaroCalibration cal = read_calibration();
    rig.baro->inject(sim::BaroFault::UnsettledPressure, 1);
    const std::uint64_t start = rig.world().now_us();
    const Reading r = take_sample(cal);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.sample.raw_pressure, RAW_PRESSURE_NONE);
    EXPECT_EQ(r.sample.pressure, NO_VALUE);
    EXPECT_EQ(r.altitude, NO_VALUE);
    EXPECT_LT(rig.world().now_us() - start, 200'000u);  // bounded, not endless
    // The next sample is good again.
    EXPECT_EQ(take_sample(cal).result, 0);
}

TEST(BaroDriver, ADisturbedBusIsReportedAndGivesNoReading) {
    sim::Scenario scenario;
    scenario.disturb = {{0.0, 1.0}};
    SimCamera rig(scenario);
    BaroCalibration cal;
    ASSERT_EQ(baro_read_calibration(cal), 0);
    const Reading r = take_sample(cal);
    EXPECT_EQ(r.output, "I2C was buggered!\n");
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.sample.raw_pressure, RAW_PRESSURE_NONE);
    EXPECT_EQ(r.sample.pressure, NO_VALUE);
    EXPECT_EQ(r.altitude, NO_VALUE);

    // Once the camera lets go, samples are good again.
    rig.world().sleep_us(1'000'000);
    const Reading later = take_sample(cal);
    EXPECT_EQ(later.output, "");
    EXPECT_EQ(later.result, 0);
}

TEST(BaroDriver, NoSensorGivesNoReadings) {
    SimCamera rig({}, SimCamera::Bus::Empty);
    BaroCalibration cal;
    for (std::size_t k = 0; k < 11; ++k) cal.c[k] = static_cast<std::uint16_t>(sim::Scenario{}.baro_calibration[k]);
    const Reading r = take_sample(cal);
    EXPECT_EQ(r.result, 1);
    EXPECT_EQ(r.sample.raw_temperature, 0xFFFF);
    EXPECT_EQ(r.sample.temperature, NO_VALUE);
    EXPECT_EQ(r.sample.pressure, NO_VALUE);
}

}  // namespace
}  // namespace tarvex
