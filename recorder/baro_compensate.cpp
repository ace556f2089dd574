// Fixed-point compensation of the pressure sensor's raw readings: temperature
// in 0.1 degC, pressure in Pa. The formulas are the sensor maker's, in signed
// 32-bit arithmetic; products that can leave that range wrap as the camera's
// C code does (wrap_arith.h).
#include <cstdint>

#include "baro_compensate.h"
#include "wrap_arith.h"

namespace tarvex {

namespace {

// Calibration words as the formulas use them: c3, c4, c5 unsigned, the rest signed.
std::int32_t cal_signed(const BaroCalibration& cal, std::size_t k) { return static_cast<std::int16_t>(cal.c[k]); }

std::int32_t cal_unsigned(const BaroCalibration& cal, std::size_t k) { return cal.c[k]; }

constexpr std::int32_t RAW_TEMPERATURE_NONE = 0xFFFF;

// Pressure conversion command 0xB4 (oversampling 2) and the read's shift of 6:
// 50000 >> 2.
constexpr std::int32_t B7_FACTOR = 12500;

}  // namespace

void baro_compensate_temperature(const BaroCalibration& cal, BaroSample& s) {
    if (s.raw_temperature == RAW_TEMPERATURE_NONE) {
        s.temperature = NO_VALUE;
        return;
    }
    const std::int32_t c4 = cal_unsigned(cal, 4);
    const std::int32_t c5 = cal_unsigned(cal, 5);
    const std::int32_t c9 = cal_signed(cal, 9);
    const std::int32_t c10 = cal_signed(cal, 10);

    const std::int32_t x1 = wrap_mul(wrap_sub(s.raw_temperature, c5), c4) >> 15;
    const std::int32_t divisor = wrap_add(x1, c10);
    if (divisor == 0) {
        // Only corrupt calibration data gets here; a missing reading beats a crash.
        s.temperature = NO_VALUE;
        return;
    }
    const std::int32_t x2 = (c9 * 2048) / divisor;
    s.temp_term = wrap_add(x1, x2);
    s.temperature = wrap_add(s.temp_term, 8) >> 4;
}

void baro_compensate_pressure(const BaroCalibration& cal, BaroSample& s) {
    if (s.raw_pressure == RAW_PRESSURE_NONE || s.raw_temperature == RAW_TEMPERATURE_NONE || s.temperature == NO_VALUE) {
        s.pressure = NO_VALUE;
        return;
    }
    const std::int32_t c0 = cal_signed(cal, 0);
    const std::int32_t c1 = cal_signed(cal, 1);
    const std::int32_t c2 = cal_signed(cal, 2);
    const std::uint32_t c3 = cal.c[3];
    const std::int32_t c6 = cal_signed(cal, 6);
    const std::int32_t c7 = cal_signed(cal, 7);

    const std::int32_t b6 = wrap_sub(s.temp_term, 4000);
    const std::int32_t q = wrap_mul(b6, b6) >> 12;
    const std::int32_t b3 = wrap_add(wrap_add(4 * c0, wrap_mul(c1, b6) >> 11), wrap_mul(c7, q) >> 11);
    const std::int32_t y = wrap_add(wrap_add(wrap_add(wrap_mul(c2, b6) >> 13, 2), wrap_mul(c6, q) >> 16) >> 2, 32768);
    const std::uint32_t b4 = (c3 * static_cast<std::uint32_t>(y)) >> 15;
    if (b4 == 0) {
        // Only corrupt calibration data gets here; a missing reading beats a crash.
        s.pressure = NO_VALUE;
        return;
    }
    const std::uint32_t b7 = static_cast<std::uint32_t>(wrap_mul(wrap_sub(s.raw_pressure, b3), B7_FACTOR));
    const std::uint32_t p_unsigned = static_cast<std::int32_t>(b7) >= 0 ? (b7 * 2) / b4 : (b7 / b4) * 2;
    const auto p = static_cast<std::int32_t>(p_unsigned);

    const std::int32_t x1 = wrap_mul(wrap_mul(p >> 8, p >> 8), 3038) >> 16;
    const std::int32_t x2 = wrap_mul(-7357, p) >> 16;
    s.pressure = wrap_add(p, wrap_add(wrap_add(x1, x2), 3791) >> 4);
}

}  // namespace tarvex
