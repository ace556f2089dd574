// Accelerometer (I2C 0x3A): probe, logging setup, samples, field calibration.
#pragma once

#include <cstdint>

namespace tarvex {

struct AccelSample {
    std::int16_t x = 0, y = 0, z = 0;                       // counts after the axis mapping
    std::int32_t x_scaled = 0, y_scaled = 0, z_scaled = 0;  // 1/100 g in logging format
};

bool accel_probe();  // the part answered with its identity within five attempts
void accel_setup();  // logging format with the identity's offsets
// Fills x, y, z. A bus fault is not detected here: no part reads -1 counts.
void accel_read(AccelSample& s);
void accel_scale(AccelSample& s);
// 0 when new offsets were computed, accepted and stored; -1 otherwise, with
// the part running on the offsets left in the identity (the old ones, or
// zero after a failed store).
int accel_calibrate();

}  // namespace tarvex
