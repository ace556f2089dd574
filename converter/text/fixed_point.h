// Integer display helpers shared by the SRT, CSV and GPX writers.
#pragma once

#include <climits>
#include <cstdint>

#include "decimal_digits.h"

namespace tarvex {

// v * K / D truncated toward zero, exactly as 64-bit arithmetic gives it, but
// in 32-bit arithmetic whenever v * K fits: the camera's processor divides
// 32-bit values by a constant with a multiplication, 64-bit ones only with a
// slow library call. v * K must fit 64 bits.
template <std::int64_t K, std::int64_t D>
inline std::int64_t mul_div(std::int64_t v) {
    static_assert(K > 0 && K <= INT32_MAX && D > 0 && D <= INT32_MAX);
    constexpr std::int64_t limit = INT32_MAX / K;
    if (v >= -limit && v <= limit) {
        return static_cast<std::int32_t>(v) * static_cast<std::int32_t>(K) / static_cast<std::int32_t>(D);
    }
    return v * K / D;
}

// Square root rounded to the nearest integer (bit-pair method).
std::uint32_t isqrt(std::uint32_t value);

// Signed fixed-point form of a value counting units of 10^-PLACES: '-' or a
// space, |v| / 10^p, '.', |v| mod 10^p zero-padded ("%c%d.%0Nd"). Writes at
// most 21 bytes at p (12 for 32-bit values), without a terminating NUL, plus
// up to SCRATCH_BYTES of scratch past them; returns the end. The places are
// known when compiling, so the divisions are by constants, which the
// camera's processor does without a division routine when the magnitude
// fits 32 bits.
template <int PLACES>
inline char* write_fixed(char* p, std::int32_t value) {
    static_assert(PLACES >= 1 && PLACES <= 9);
    constexpr std::uint32_t unit = digits_detail::pow10(PLACES);
    *p++ = value < 0 ? '-' : ' ';
    // Unsigned magnitude: the most negative value keeps its true size.
    const std::uint32_t mag = value < 0 ? 0 - static_cast<std::uint32_t>(value) : static_cast<std::uint32_t>(value);
    if constexpr (PLACES <= 3) {
        // One whole digit (an acceleration below 10 G, say): all of it from
        // one table entry, the point stored between.
        if (mag < 10 * unit) {
            const char* digits = digits_detail::quads.data() + 4 * mag + (3 - PLACES);
            p[0] = digits[0];
            p[1] = '.';
            copy_bytes<PLACES>(p + 2, digits + 1);
            return p + 2 + PLACES;
        }
    }
    p = write_decimal(p, mag / unit);
    *p++ = '.';
    put_digits<PLACES>(p, mag % unit);
    return p + PLACES;
}

// The same for any 64-bit value; one that fits 32 bits takes the 32-bit
// form, whose divisions are multiplications on the camera's processor.
template <int PLACES>
inline char* write_fixed(char* p, std::int64_t value) {
    if (value >= INT32_MIN && value <= INT32_MAX) return write_fixed<PLACES>(p, static_cast<std::int32_t>(value));
    constexpr std::uint32_t unit = digits_detail::pow10(PLACES);
    *p++ = value < 0 ? '-' : ' ';
    const std::uint64_t mag = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    p = write_decimal(p, mag / unit);
    *p++ = '.';
    put_digits<PLACES>(p, static_cast<std::uint32_t>(mag % unit));
    return p + PLACES;
}

}  // namespace tarvex
