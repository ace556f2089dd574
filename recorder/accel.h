// Accelerometer (I2C 0x3A): probe, logging setup, samples, field calibration.
#pragma once

#include <cstdint>

namespace tarvex {

struct AccelSample {
    std::int16_t x = 0, y = 0, z = 0;                 // counts after the axis mapping
    std::int32_t x_scaled = 0, y_scaled = 0, z_scaled = 0;  // 1/100 g in logging format
};

int accel_probe();              // 1 found, 0 not
void accel_setup();
int accel_read(AccelSample& s); // 0
void accel_scale(AccelSample& s);
int accel_calibrate();          // 0 stored, -1 otherwise

}  // namespace tarvex
