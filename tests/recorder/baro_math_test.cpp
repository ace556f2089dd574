// Fixed-point compensation and the pressure-to-altitude table, without a bus.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>

#include "altitude_table.h"
#include "baro_compensate.h"

namespace tarvex {
namespace {

BaroCalibration example_calibration() {
    BaroCalibration cal;
    const std::int32_t words[11] = {7500, -1100, -14500, 33000, 25200, 18900, 5500, 46, -32768, -11075, 2432};
    for (int k = 0; k < 11; ++k) cal.c[k] = static_cast<std::uint16_t>(words[k]);
    return cal;
}

BaroSample compensate(const BaroCalibration& cal, std::int32_t raw_t, std::int32_t raw_p) {
    BaroSample s;
    s.raw_temperature = raw_t;
    s.raw_pressure = raw_p;
    baro_compensate_temperature(cal, s);
    baro_compensate_pressure(cal, s);
    return s;
}

TEST(BaroCompensation, WorkedExamples) {
    const BaroCalibration cal = example_calibration();
    struct Case {
        std::int32_t raw_t, raw_p, temp_term, temperature, pressure, altitude;
    };
    const Case cases[] = {
        {26000, 150000, 2587, 162, 88573, 3675},
        {27000, 152000, 3611, 226, 91746, 2722},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.raw_t);
        const BaroSample s = compensate(cal, c.raw_t, c.raw_p);
        EXPECT_EQ(s.temp_term, c.temp_term);
        EXPECT_EQ(s.temperature, c.temperature);
        EXPECT_EQ(s.pressure, c.pressure);
        EXPECT_EQ(pressure_to_altitude(static_cast<std::uint32_t>(s.pressure)), c.altitude);
    }
}

TEST(BaroCompensation, MissingReadingsGiveNoValue) {
    const BaroCalibration cal = example_calibration();
    // All-ones temperature: nothing computed, temp_term kept from before.
    BaroSample s;
    s.temp_term = 1234;
    s.raw_temperature = 0xFFFF;
    s.raw_pressure = 150000;
    baro_compensate_temperature(cal, s);
    baro_compensate_pressure(cal, s);
    EXPECT_EQ(s.temperature, NO_VALUE);
    EXPECT_EQ(s.temp_term, 1234);
    EXPECT_EQ(s.pressure, NO_VALUE);

    // Missing pressure with a good temperature.
    s = compensate(cal, 26000, RAW_PRESSURE_NONE);
    EXPECT_EQ(s.temperature, 162);
    EXPECT_EQ(s.pressure, NO_VALUE);

    // A raw temperature of 0 is computed like any other.
    s = compensate(cal, 0, 150000);
    EXPECT_NE(s.temperature, NO_VALUE);
}

TEST(BaroCompensation, ZeroDivisorsGiveNoValueInsteadOfCrashing) {
    // X1 + c10 = 0: with c4 = 32768, X1 = raw - c5; raw = c5 - c10.
    BaroCalibration cal = example_calibration();
    cal.c[4] = 32768;
    const std::int32_t raw_t = 18900 - 2432;
    BaroSample s = compensate(cal, raw_t, 150000);
    EXPECT_EQ(s.temperature, NO_VALUE);
    EXPECT_EQ(s.pressure, NO_VALUE);
    s = compensate(cal, raw_t + 1, 150000);
    EXPECT_NE(s.temperature, NO_VALUE);

    // B4 = 0 (c3 * Y below 2^15): the pressure division has no divisor.
    cal = example_calibration();
    cal.c[3] = 0;
    s = compensate(cal, 26000, 150000);
    EXPECT_EQ(s.temperature, 162);
    EXPECT_EQ(s.pressure, NO_VALUE);
}

TEST(BaroCompensation, ExtremeInputsWrapWithoutUndefinedBehaviour) {
    // Runs under UBSan: every product that can leave 32 bits must wrap quietly.
    BaroCalibration cal;
    cal.c.fill(0xFFFE);
    cal.c[3] = cal.c[4] = cal.c[5] = 0xFFFE;
    for (std::int32_t raw_t : {1, 0x7FFF, 0xFFFE})
        for (std::int32_t raw_p : {0, 1, 0x3FFFF, 0x7FFFE}) {
            const BaroSample s = compensate(cal, raw_t, raw_p);
            (void)s;
        }
    cal.c.fill(0x8000);
    const BaroSample s = compensate(cal, 0xFFFE, 0x3FFFF);
    // Results of wrapping 32-bit arithmetic (worked out apart from this code):
    // wider arithmetic changes the pressure.
    EXPECT_EQ(s.temperature, 2099200);
    EXPECT_EQ(s.pressure, 17394);
}

TEST(AltitudeTable, EveryRowIsTheRoundedBarometricFormula) {
    ASSERT_EQ(altitude_table.size(), 202u);
    for (std::size_t i = 0; i < altitude_table.size(); ++i) {
        const double p = 5000.0 + 512.0 * static_cast<double>(i);
        const double feet = (44330.0 / 0.3048) * (1.0 - std::pow(p / 101325.0, 1.0 / 5.255));
        EXPECT_EQ(altitude_table[i], static_cast<std::int32_t>(std::lround(feet))) << "row " << i;
    }
    const std::pair<std::size_t, std::int32_t> telling_rows[] = {{0, 63402},  {49, 30005},  {100, 15431}, {188, 19},
                                                                 {189, -121}, {200, -1620}, {201, -1754}};
    for (const auto& [i, feet] : telling_rows) EXPECT_EQ(altitude_table[i], feet) << "row " << i;
}

TEST(AltitudeTable, Lookup) {
    const std::pair<std::uint32_t, std::int32_t> cases[] = {
        {101325, 0},  // 19 + ((69 * -140) >> 9)
        {5000, 63402},
        {5001, 63398},  // rounds toward minus infinity
        {5512, 61865},
        {107911, -1754},
        {4999, NO_VALUE},
        {107912, NO_VALUE},
        {0, NO_VALUE},
        {static_cast<std::uint32_t>(NO_VALUE), NO_VALUE},
        {0xFFFFFFFFu, NO_VALUE},  // a negative pressure seen as unsigned
    };
    for (const auto& [pa, feet] : cases) EXPECT_EQ(pressure_to_altitude(pa), feet) << pa << " Pa";
}

}  // namespace
}  // namespace tarvex
