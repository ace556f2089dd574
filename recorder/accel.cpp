// Three-axis accelerometer on the accessory bus (0x3A): probe, logging setup,
// samples with the board's axis mapping, and the field calibration that
// nulls the resting unit and stores the offsets in the main EEPROM.
#include <array>
#include <cstdint>
#include <cstdio>

#include "accel.h"
#include "eeprom.h"
#include "i2c_bus.h"
#include "platform.h"

namespace tarvex {

namespace {

// Register map.
constexpr std::uint8_t REG_DEVID = 0x00;
constexpr std::uint8_t REG_OFSX = 0x1E;  // offsets of device axes 0, 1, 2 follow
constexpr std::uint8_t REG_BW_RATE = 0x2C;
constexpr std::uint8_t REG_POWER_CTL = 0x2D;
constexpr std::uint8_t REG_DATA_FORMAT = 0x31;
constexpr std::uint8_t REG_DATAX0 = 0x32;  // three little-endian words

constexpr std::uint8_t DEVID = 0xE5;
constexpr std::uint8_t RATE = 6;
constexpr std::uint8_t POWER_STANDBY = 0;
constexpr std::uint8_t POWER_MEASURE = 8;
constexpr std::uint8_t FORMAT_LOGGING = 15;     // 2048 counts per g
constexpr std::uint8_t FORMAT_CALIBRATION = 8;  // 256 counts per g

constexpr int PROBE_ATTEMPTS = 5;
constexpr std::uint32_t PROBE_RETRY_US = 50000;

constexpr std::uint32_t SETTLE_US = 125000;
constexpr std::uint32_t CAL_READ_INTERVAL_US = 25000;
constexpr std::int32_t CAL_READS = 64;
constexpr std::int32_t CAL_SHOW_READS = 5;
// In calibration format 4 counts make one offset unit (15.6 mg), 64 units one g.
constexpr std::int32_t COUNTS_PER_OFFSET_UNIT = 4;
constexpr std::int32_t OFFSET_UNITS_PER_G = 64;
constexpr std::int32_t OFFSET_LIMIT = 20;  // about 0.3 g

void write_configuration(std::uint8_t format, const std::array<std::int8_t, 3>& offsets) {
    i2c_write(I2C_ACCEL, REG_POWER_CTL, POWER_STANDBY);
    i2c_write(I2C_ACCEL, REG_BW_RATE, RATE);
    i2c_write(I2C_ACCEL, REG_DATA_FORMAT, format);
    for (std::size_t axis = 0; axis < offsets.size(); ++axis)
        i2c_write(I2C_ACCEL, static_cast<std::uint8_t>(REG_OFSX + axis), static_cast<std::uint8_t>(offsets[axis]));
    i2c_write(I2C_ACCEL, REG_POWER_CTL, POWER_MEASURE);
}

std::int16_t negate16(std::int16_t v) { return static_cast<std::int16_t>(-static_cast<std::int32_t>(v)); }

}  // namespace

bool accel_probe() {
    for (int attempt = 0; attempt < PROBE_ATTEMPTS; ++attempt) {
        i2c_claim_bus();
        std::printf("Probing accelerometer, attempt %d\n", attempt);
        std::uint8_t id = 0;
        i2c_read(I2C_ACCEL, REG_DEVID, 1, &id);
        if (id == DEVID) return true;
        platform::sleep_us(PROBE_RETRY_US);
    }
    return false;
}

void accel_setup() {
    i2c_claim_bus();
    write_configuration(FORMAT_LOGGING, identity.accel_offsets);
}

void accel_read(AccelSample& s) {
    std::array<std::uint8_t, 6> b{};
    i2c_read(I2C_ACCEL, REG_DATAX0, b.size(), b.data());
    std::array<std::int16_t, 3> a{};
    for (std::size_t axis = 0; axis < a.size(); ++axis)
        a[axis] = static_cast<std::int16_t>(b[2 * axis] | (b[2 * axis + 1] << 8));
    if (identity.accel_axis_flip) {
        s.x = a[0];
        s.y = negate16(a[2]);
        s.z = a[1];
    } else {
        s.x = a[2];
        s.y = a[0];
        s.z = a[1];
    }
}

void accel_scale(AccelSample& s) {
    // 2048 counts per g: count * 100 / 2048 = count * 25 / 512, truncating.
    s.x_scaled = s.x * 25 / 512;
    s.y_scaled = s.y * 25 / 512;
    s.z_scaled = s.z * 25 / 512;
}

int accel_calibrate() {
    const std::array<std::int8_t, 3> saved = identity.accel_offsets;
    std::printf("Starting accel calibration...\n");

    // Raw readings: no offsets, 256 counts per g.
    write_configuration(FORMAT_CALIBRATION, {0, 0, 0});
    platform::sleep_us(SETTLE_US);

    std::int32_t sum_x = 0, sum_y = 0, sum_z = 0;
    AccelSample s;
    for (std::int32_t i = 0; i < CAL_READS; ++i) {
        accel_read(s);
        platform::sleep_us(CAL_READ_INTERVAL_US);
        sum_x += s.x;
        sum_y += s.y;
        sum_z += s.z;
    }
    const std::int32_t ax = sum_x / CAL_READS / COUNTS_PER_OFFSET_UNIT;
    const std::int32_t ay = sum_y / CAL_READS / COUNTS_PER_OFFSET_UNIT;
    const std::int32_t az = sum_z / CAL_READS / COUNTS_PER_OFFSET_UNIT;
    std::printf("\nAverage readings (at 15.6mG/lsb):\n\t%d\t%d\t%d\n\n", ax, ay, az);

    // The unit rests with device axis 1 up: axes 0 and 2 go to zero, axis 1 to one g.
    std::array<std::int32_t, 3> wanted{};
    if (identity.accel_axis_flip) {
        std::printf("Calibration axis flip enabled\n");
        wanted = {-ax, OFFSET_UNITS_PER_G - az, ay};
    } else {
        std::printf("Calibration axis flip disabled\n");
        wanted = {-ay, OFFSET_UNITS_PER_G - az, -ax};
    }
    bool within_limit = true;
    for (std::size_t axis = 0; axis < wanted.size(); ++axis) {
        identity.accel_offsets[axis] = static_cast<std::int8_t>(wanted[axis]);
        // Judged before narrowing, so a wrapped value cannot slip under the limit.
        if (wanted[axis] < -OFFSET_LIMIT || wanted[axis] > OFFSET_LIMIT) within_limit = false;
    }
    std::printf("Sensor offsets:\n\t%d\t%d\t%d\n\n", identity.accel_offsets[0], identity.accel_offsets[1],
                identity.accel_offsets[2]);

    if (!within_limit) {
        std::printf("Calibration offsets are invalid. Reverting.\n");
        identity.accel_offsets = saved;
        accel_setup();
        return -1;
    }

    accel_setup();
    std::printf("After calibration:\n");
    platform::sleep_us(SETTLE_US);
    for (std::int32_t i = 0; i < CAL_SHOW_READS; ++i) {
        accel_read(s);
        accel_scale(s);
        platform::sleep_us(CAL_READ_INTERVAL_US);
        std::printf("\t[%5d %5d %5d]\n", s.x_scaled, s.y_scaled, s.z_scaled);
    }
    if (eeprom_store_accel_offsets() != 0) {
        // The store marked the EEPROM's offsets invalid: run on none, as the
        // next start will.
        identity.accel_offsets = {0, 0, 0};
        accel_setup();
        return -1;
    }
    return 0;
}

}  // namespace tarvex
