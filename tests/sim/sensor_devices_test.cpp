// The simulated sensor pack's devices, driven byte by byte as the bus model does.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "accel_device.h"
#include "baro_compensate.h"
#include "baro_device.h"
#include "eeprom_device.h"
#include "sensor_pack.h"

namespace tarvex::sim {
namespace {

class ManualTime : public SimTime {
public:
    std::uint64_t now_us() const override { return now; }
    std::uint64_t now = 1'000'000;
};

void write_reg(I2cSlave& dev, std::uint8_t reg, std::uint8_t value) {
    dev.begin(false);
    dev.write(reg);
    dev.write(value);
    dev.stop();
}

std::vector<std::uint8_t> read_regs(I2cSlave& dev, std::uint8_t reg, std::size_t n) {
    dev.begin(false);
    dev.write(reg);
    dev.stop();  // the bus reports a repeated START to the device as the end of its transfer
    dev.begin(true);
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < n; ++i) out.push_back(dev.read());
    dev.stop();
    return out;
}

std::int32_t read_result24(I2cSlave& dev) {
    const auto b = read_regs(dev, 0xF6, 3);
    return (b[0] << 16) | (b[1] << 8) | b[2];
}

// ---- pressure sensor

TEST(BaroDevice, CalibrationWordsAreBigEndianFromTheScenario) {
    ManualTime time;
    Scenario scenario;
    BaroDevice dev(scenario, time);
    const auto bytes = read_regs(dev, 0xAA, 22);
    for (std::size_t k = 0; k < 11; ++k)
        EXPECT_EQ((bytes[2 * k] << 8) | bytes[2 * k + 1], static_cast<std::uint16_t>(scenario.baro_calibration[k]))
            << "word " << k;
    EXPECT_EQ(bytes[0], 7500 >> 8);
    EXPECT_EQ(bytes[16], 0x80);  // -32768

    scenario.baro_calibration[3] = 0x1234;
    BaroDevice custom(scenario, time);
    EXPECT_EQ(read_regs(custom, 0xB0, 2), (std::vector<std::uint8_t>{0x12, 0x34}));
}

TEST(BaroDevice, ResultBeforeTheConversionEndsIsThePreviousOne) {
    ManualTime time;
    Scenario scenario;
    BaroDevice dev(scenario, time);
    const std::int32_t ut = dev.raw_temperature_for(BARO_DEFAULT_TEMPERATURE_C);

    write_reg(dev, 0xF4, 0x2E);
    time.now += 4400;
    EXPECT_EQ(read_result24(dev) >> 8, 0);  // nothing converted yet
    time.now += 100;
    EXPECT_EQ(read_result24(dev) >> 8, ut);

    write_reg(dev, 0xF4, 0xB4);
    time.now += 13400;
    EXPECT_EQ((read_result24(dev) >> 6) >> 2, ut);  // still the temperature: stale
    time.now += 100;
    const std::int32_t up = read_result24(dev) >> 6;
    EXPECT_EQ(up, dev.raw_pressure_for(BaroDevice::pressure_at_altitude(BARO_DEFAULT_ALTITUDE_FT), ut));
    EXPECT_EQ(read_result24(dev) >> 6, up);  // stable until the next conversion
}

TEST(BaroDevice, InvertedRawValuesCompensateBackToTheTruth) {
    ManualTime time;
    Scenario scenario;
    BaroDevice dev(scenario, time);
    BaroCalibration cal;
    for (std::size_t k = 0; k < 11; ++k) cal.c[k] = static_cast<std::uint16_t>(scenario.baro_calibration[k]);

    for (double celsius : {-40.0, -5.55, 0.0, 16.2, 22.6, 60.0, 85.0})
        for (double pascal : {5100.0, 30088.0, 88573.0, 101325.0, 107800.0}) {
            BaroSample s;
            s.raw_temperature = dev.raw_temperature_for(celsius);
            s.raw_pressure = dev.raw_pressure_for(pascal, s.raw_temperature);
            baro_compensate_temperature(cal, s);
            baro_compensate_pressure(cal, s);
            EXPECT_NEAR(s.temperature / 10.0, celsius, 0.05 + 1e-9) << celsius << " degC";
            EXPECT_NEAR(s.pressure, pascal, 1.0) << pascal << " Pa at " << celsius << " degC";
        }
    // The worked example's raw values are what the device gives for its results.
    EXPECT_EQ(dev.raw_pressure_for(88573, 26000), 150000);
}

TEST(BaroDevice, StandardAtmosphere) {
    EXPECT_NEAR(BaroDevice::pressure_at_altitude(0), 101325.0, 1e-6);
    EXPECT_NEAR(BaroDevice::pressure_at_altitude(30005), 30088.0, 1.0);
    EXPECT_NEAR(BaroDevice::pressure_at_altitude(63402), 5000.0, 1.0);
    EXPECT_GT(BaroDevice::pressure_at_altitude(-1754), 107900.0);
}

TEST(BaroDevice, InjectedFaults) {
    ManualTime time;
    Scenario scenario;
    BaroDevice dev(scenario, time);
    const std::int32_t ut = dev.raw_temperature_for(BARO_DEFAULT_TEMPERATURE_C);
    write_reg(dev, 0xF4, 0x2E);
    time.now += 6000;

    dev.inject(BaroFault::ZeroPressure, 1);
    write_reg(dev, 0xF4, 0xB4);
    time.now += 14000;
    EXPECT_EQ(read_result24(dev), 0);
    write_reg(dev, 0xF4, 0xB4);  // the fault was for one conversion only
    time.now += 14000;
    EXPECT_GT(read_result24(dev) >> 6, 0);

    write_reg(dev, 0xF4, 0x2E);
    time.now += 6000;
    dev.inject(BaroFault::SlowPressure, 1);
    write_reg(dev, 0xF4, 0xB4);
    time.now += 14000;
    EXPECT_EQ(read_result24(dev) >> 8, ut);
    time.now += 16000;
    EXPECT_GT(read_result24(dev) >> 6, ut << 2);

    dev.inject(BaroFault::UnsettledPressure, 1);
    write_reg(dev, 0xF4, 0xB4);
    time.now += 14000;
    EXPECT_NE(read_result24(dev), read_result24(dev));
}

// ---- accelerometer

struct AccelRig {
    explicit AccelRig(AccelLayout layout = AccelLayout::V3) : dev(scenario, time, layout) {}
    std::array<std::int16_t, 3> sample() {
        const auto b = read_regs(dev, 0x32, 6);
        return {static_cast<std::int16_t>(b[0] | (b[1] << 8)), static_cast<std::int16_t>(b[2] | (b[3] << 8)),
                static_cast<std::int16_t>(b[4] | (b[5] << 8))};
    }
    void configure(std::uint8_t format, std::array<std::int8_t, 3> offsets = {}) {
        write_reg(dev, 0x2D, 0);
        write_reg(dev, 0x2C, 6);
        write_reg(dev, 0x31, format);
        for (std::uint8_t i = 0; i < 3; ++i) write_reg(dev, 0x1E + i, static_cast<std::uint8_t>(offsets[i]));
        write_reg(dev, 0x2D, 8);
    }
    ManualTime time;
    Scenario scenario;
    AccelDevice dev;
};

TEST(AccelDevice, IdentityAndRegisters) {
    AccelRig rig;
    EXPECT_EQ(read_regs(rig.dev, 0x00, 1)[0], 0xE5);
    write_reg(rig.dev, 0x00, 0x12);  // read-only
    EXPECT_EQ(read_regs(rig.dev, 0x00, 1)[0], 0xE5);
    rig.configure(15, {1, -2, 3});
    EXPECT_EQ(read_regs(rig.dev, 0x1E, 3), (std::vector<std::uint8_t>{1, 0xFE, 3}));
    EXPECT_EQ(rig.dev.reg(0x2C), 6);
    EXPECT_EQ(rig.dev.reg(0x2D), 8);
}

TEST(AccelDevice, CountsPerGAndOffsetsInEachFormat) {
    AccelRig rig;
    // Flat at rest: one g on device axis 1.
    rig.configure(15);
    EXPECT_EQ(rig.sample(), (std::array<std::int16_t, 3>{0, 2048, 0}));
    rig.configure(8);
    EXPECT_EQ(rig.sample(), (std::array<std::int16_t, 3>{0, 256, 0}));
    // An offset unit is 1/64 g in both formats.
    rig.configure(8, {10, -64, 1});
    EXPECT_EQ(rig.sample(), (std::array<std::int16_t, 3>{40, 0, 4}));
    rig.configure(15, {10, -64, 1});
    EXPECT_EQ(rig.sample(), (std::array<std::int16_t, 3>{320, 0, 32}));
}

TEST(AccelDevice, BoardLayoutAndBias) {
    struct Case {
        AccelLayout layout;
        std::array<std::int16_t, 3> expected;  // device axes, 256 counts per g
    };
    // Logged x 0.5 g, y 0.25 g, z 1 g; bias 0.125 g on device axis 2.
    const Case cases[] = {
        {AccelLayout::V3, {128, 256, -64 + 32}},    // device = (x, z, -y)
        {AccelLayout::Older, {64, 256, 128 + 32}},  // device = (y, z, x)
    };
    for (const auto& c : cases) {
        AccelRig rig(c.layout);
        rig.scenario.accel_g = {{0.0, 0.5, 0.25, 1.0}};
        rig.scenario.accel_bias = {0.0, 0.0, 0.125};
        rig.configure(8);
        EXPECT_EQ(rig.sample(), c.expected);
    }
}

TEST(AccelDevice, FollowsTheScenarioOverTimeAndFreezesInStandby) {
    AccelRig rig;
    rig.scenario.accel_g = {{1.0, 0.0, 0.0, 1.0}, {2.0, 0.0, 0.0, 3.0}};
    rig.configure(8);
    rig.time.now = 500'000;
    EXPECT_EQ(rig.sample()[1], 256);
    rig.time.now = 1'500'000;
    EXPECT_EQ(rig.sample()[1], 512);
    write_reg(rig.dev, 0x2D, 0);
    rig.time.now = 3'000'000;
    EXPECT_EQ(rig.sample()[1], 512);
    write_reg(rig.dev, 0x2D, 8);
    EXPECT_EQ(rig.sample()[1], 768);
    // Saturation instead of wrapping.
    rig.scenario.accel_g = {{0.0, 0.0, 0.0, 40.0}};
    rig.configure(15);
    EXPECT_EQ(rig.sample()[1], 32767);
}

// ---- EEPROMs

std::vector<std::uint8_t> read_a16(I2cSlave& dev, std::uint16_t addr, std::size_t n) {
    dev.begin(false);
    dev.write(static_cast<std::uint8_t>(addr >> 8));
    dev.write(static_cast<std::uint8_t>(addr));
    dev.stop();
    dev.begin(true);
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < n; ++i) out.push_back(dev.read());
    dev.stop();
    return out;
}

void write_a16(I2cSlave& dev, std::uint16_t addr, std::uint8_t value) {
    dev.begin(false);
    dev.write(static_cast<std::uint8_t>(addr >> 8));
    dev.write(static_cast<std::uint8_t>(addr));
    dev.write(value);
    dev.stop();
}

TEST(EepromDevice, TwoAddressBytes) {
    ManualTime time;
    EepromDevice dev(0xA0, 4096, true, {0, 1, '1', 'S'}, false, time);
    EXPECT_EQ(read_a16(dev, 2, 3), (std::vector<std::uint8_t>{'1', 'S', 0xFF}));
    EXPECT_EQ(read_a16(dev, 0x0FFF, 2), (std::vector<std::uint8_t>{0xFF, 0}));  // wraps

    write_a16(dev, 0x0102, 0x5A);
    EXPECT_EQ(read_a16(dev, 0x0102, 1)[0], 0xFF);  // busy programming: no answer
    time.now += 5000;
    EXPECT_EQ(read_a16(dev, 0x0102, 1)[0], 0x5A);
    EXPECT_EQ(dev.memory()[0x0102], 0x5A);
}

TEST(EepromDevice, OneAddressByte) {
    ManualTime time;
    EepromDevice dev(0xA0, 256, false, {0, 1, '1', 'S', 'I', 'M'}, false, time);
    EXPECT_EQ(read_regs(dev, 2, 2), (std::vector<std::uint8_t>{'1', 'S'}));
    write_reg(dev, 11, 0xC1);
    time.now += 5000;
    EXPECT_EQ(read_regs(dev, 11, 1)[0], 0xC1);
    // Two address bytes sent to this part: the second is a data byte that a
    // repeated START discards, but the address counter has moved past it.
    EXPECT_EQ(read_a16(dev, 0, 3), (std::vector<std::uint8_t>{1, '1', 'S'}));
    EXPECT_EQ(dev.memory()[0], 0);
}

TEST(EepromDevice, FailingPartAcknowledgesButKeepsItsContents) {
    ManualTime time;
    EepromDevice dev(0xA0, 4096, true, {0, 0, '0'}, true, time);
    dev.begin(false);
    EXPECT_TRUE(dev.write(0));
    EXPECT_TRUE(dev.write(11));
    EXPECT_TRUE(dev.write(0xC0));
    dev.stop();
    time.now += 5000;
    EXPECT_EQ(read_a16(dev, 11, 1)[0], 0xFF);
}

// ---- the pack

std::vector<std::uint8_t> addresses(const Scenario& scenario, const SimTime& time) {
    std::vector<std::uint8_t> out;
    for (const auto& d : make_sensor_pack(scenario, time)) out.push_back(d->address());
    std::sort(out.begin(), out.end());
    return out;
}

TEST(SensorPack, DevicesFollowTheScenario) {
    ManualTime time;
    Scenario scenario;
    EXPECT_EQ(addresses(scenario, time), (std::vector<std::uint8_t>{0x3A, 0xA0, 0xEE}));
    scenario.eeprom_expander = std::array<std::uint8_t, 6>{0xEE, 0x01, 0x03, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(addresses(scenario, time), (std::vector<std::uint8_t>{0x3A, 0xA0, 0xA2, 0xEE}));
    scenario.accelerometer_absent = true;
    scenario.eeprom_main.reset();
    EXPECT_EQ(addresses(scenario, time), (std::vector<std::uint8_t>{0xA2, 0xEE}));
}

TEST(SensorPack, MainEepromAddressingFollowsTheScenario) {
    ManualTime time;
    Scenario scenario;
    scenario.eeprom_main_addressing = 8;
    for (const auto& d : make_sensor_pack(scenario, time))
        if (d->address() == 0xA0) {
            EXPECT_EQ(read_regs(*d, 3, 3), (std::vector<std::uint8_t>{'S', 'I', 'M'}));
        }
    scenario.eeprom_main_addressing = 16;
    for (const auto& d : make_sensor_pack(scenario, time))
        if (d->address() == 0xA0) {
            EXPECT_EQ(read_a16(*d, 3, 3), (std::vector<std::uint8_t>{'S', 'I', 'M'}));
        }
}

}  // namespace
}  // namespace tarvex::sim
