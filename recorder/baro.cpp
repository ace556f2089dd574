// Pressure sensor on the accessory bus (0xEE): calibration read and raw
// temperature / pressure samples. Every sleep is wrapped in clock_sync calls so
// the millisecond clock notices a step of the seconds counter while we wait.
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "baro.h"
#include "clock.h"
#include "i2c_bus.h"
#include "platform.h"

namespace tarvex {

namespace {

// Register map.
constexpr std::uint8_t REG_CALIBRATION = 0xAA;  // eleven big-endian words
constexpr std::uint8_t REG_CONTROL = 0xF4;
constexpr std::uint8_t REG_RESULT = 0xF6;  // 0xF6 MSB, 0xF7, 0xF8 LSB
constexpr std::uint8_t CMD_TEMPERATURE = 0x2E;
constexpr std::uint8_t CMD_PRESSURE = 0xB4;  // oversampling 2

constexpr std::uint32_t TEMPERATURE_WAIT_US = 6000;
constexpr std::uint32_t PRESSURE_WAIT_US = 14000;
constexpr int TEMPERATURE_CONVERSIONS = 3;
constexpr std::int32_t RAW_TEMPERATURE_NONE = 0xFFFF;

// Two equal consecutive result reads are needed; a device whose result keeps
// changing (a bus glitching every read) must not hang the recorder.
constexpr int RAW_PRESSURE_READ_ATTEMPTS = 8;

// Raw value of the latest temperature conversion: a pressure result equal to
// it means the result register had not been refreshed yet.
std::int32_t last_raw_temperature = 0;

std::uint16_t read_word(std::uint8_t reg) {
    std::array<std::uint8_t, 2> b{};
    i2c_read(I2C_BARO, reg, b.size(), b.data());
    return static_cast<std::uint16_t>((b[0] << 8) | b[1]);
}

std::int32_t read_result24() {
    std::array<std::uint8_t, 3> b{};
    i2c_read(I2C_BARO, REG_RESULT, b.size(), b.data());
    return (b[0] << 16) | (b[1] << 8) | b[2];
}

// Three conversions; the mean of the two that agree best, so one reading
// spoiled by the bus does not reach the log.
std::int32_t raw_temperature() {
    std::array<std::int32_t, TEMPERATURE_CONVERSIONS> v{};
    std::int32_t sum = 0;
    for (auto& reading : v) {
        i2c_claim_bus();
        i2c_write(I2C_BARO, REG_CONTROL, CMD_TEMPERATURE);
        clock_sync();
        platform::sleep_us(TEMPERATURE_WAIT_US);
        clock_sync();
        i2c_claim_bus();
        reading = read_word(REG_RESULT);
        last_raw_temperature = reading;
        sum += reading;
    }
    std::size_t farthest = 0;
    std::int32_t largest = -1;
    for (std::size_t k = 0; k < v.size(); ++k) {
        const std::int32_t distance = std::abs(sum - 3 * v[k]);
        if (distance > largest) {
            largest = distance;
            farthest = k;
        }
    }
    return (sum - v[farthest]) / 2;
}

void start_pressure_conversion() {
    i2c_claim_bus();
    i2c_write(I2C_BARO, REG_CONTROL, CMD_PRESSURE);
    clock_sync();
    platform::sleep_us(PRESSURE_WAIT_US);
    clock_sync();
}

// The 18-bit result, once two consecutive reads agree; RAW_PRESSURE_NONE when
// they never do.
std::int32_t raw_pressure() {
    for (int attempt = 0; attempt < RAW_PRESSURE_READ_ATTEMPTS; ++attempt) {
        i2c_claim_bus();
        clock_sync();
        const std::int32_t a = read_result24() >> 6;
        clock_sync();
        const std::int32_t b = read_result24() >> 6;
        clock_sync();
        if (a == b) return a;
    }
    return RAW_PRESSURE_NONE;
}

}  // namespace

int baro_read_calibration(BaroCalibration& cal) {
    for (std::size_t k = 0; k < cal.c.size(); ++k) {
        const std::uint16_t word = read_word(static_cast<std::uint8_t>(REG_CALIBRATION + 2 * k));
        cal.c[k] = word;
        if (word == 0x0000 || word == 0xFFFF) return 1;
    }
    return 0;
}

int baro_sample(BaroSample& s) {
    i2c_claim_bus();
    s.raw_temperature = raw_temperature();
    if (s.raw_temperature == 0) s.raw_temperature = raw_temperature();

    start_pressure_conversion();
    i2c_claim_bus();
    s.raw_pressure = raw_pressure();

    // The result register may still hold the temperature result, or nothing.
    if ((s.raw_pressure >> 2) == last_raw_temperature || s.raw_pressure == 0) {
        start_pressure_conversion();
        i2c_claim_bus();
        s.raw_pressure = raw_pressure();
    }

    if (i2c_bus_disturbed()) {
        std::printf("I2C was buggered!\n");
        s.raw_pressure = RAW_PRESSURE_NONE;
        return 1;
    }
    if (s.raw_pressure == 0) s.raw_pressure = RAW_PRESSURE_NONE;

    if (s.raw_temperature == 0 || s.raw_temperature == RAW_TEMPERATURE_NONE || s.raw_pressure == RAW_PRESSURE_NONE)
        return 1;
    return 0;
}

}  // namespace tarvex
