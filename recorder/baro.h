// Pressure sensor (I2C 0xEE): its calibration words and raw samples. The
// compensation to 0.1 degC and Pa is in baro_compensate.h, the altitude in
// altitude_table.h.
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
    std::int32_t raw_temperature = 0;     // 16 bits; 0 and 0xFFFF: no reading
    std::int32_t raw_pressure = 0;        // 18 bits; 0x7FFFF: no reading
    std::int32_t temperature = NO_VALUE;  // 0.1 degC
    std::int32_t pressure = NO_VALUE;     // Pa
    std::int32_t temp_term = 0;
};

inline constexpr std::int32_t RAW_PRESSURE_NONE = 0x7FFFF;

int baro_read_calibration(BaroCalibration& cal);  // 0, or 1 at the first invalid word
int baro_sample(BaroSample& s);                   // 0, or 1 on failure

}  // namespace tarvex
