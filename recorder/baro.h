// Pressure sensor (I2C 0xEE): calibration, raw samples, fixed-point
// compensation to 0.1 degC and Pa, and pressure altitude in feet.
#pragma once

#include <array>
#include <cstdint>

#include "dat_format.h"

namespace tarvex {

// Eleven calibration words in register order (0xAA..0xBF), as read.
// c3, c4, c5 are used unsigned, the others signed; c8 takes part in no formula.
struct BaroCalibration {
    std::array<std::uint16_t, 11> c{};
    bool operator==(const BaroCalibration&) const = default;
};

struct BaroSample {
    std::int32_t raw_temperature = 0;  // 16 bits; 0 and 0xFFFF: no reading
    std::int32_t raw_pressure = 0;     // 18 bits; 0x7FFFF: no reading
    std::int32_t temperature = NO_VALUE;  // 0.1 degC
    std::int32_t pressure = NO_VALUE;     // Pa
    std::int32_t temp_term = 0;
};

inline constexpr std::int32_t RAW_PRESSURE_NONE = 0x7FFFF;
inline constexpr std::size_t ALTITUDE_TABLE_SIZE = 202;

int baro_read_calibration(BaroCalibration& cal);  // 0, or 1 at the first invalid word
int baro_sample(BaroSample& s);                    // 0, or 1 on failure
void baro_compensate_temperature(const BaroCalibration& cal, BaroSample& s);
void baro_compensate_pressure(const BaroCalibration& cal, BaroSample& s);
std::int32_t pressure_to_altitude(std::uint32_t pascal);  // ft, or NO_VALUE

// Altitude in ft at 5000 + 512 * i Pa, rounded.
extern const std::array<std::int32_t, ALTITUDE_TABLE_SIZE> altitude_table;

}  // namespace tarvex
