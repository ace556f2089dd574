// printf's "%.Nf" for the doubles the writers print (coordinates, distances),
// by integer arithmetic on the double's exact binary value: the digits are
// the correctly rounded ones, exact ties to even, as glibc's printf gives
// them. On the camera (no FPU) the C library's formatting costs thousands of
// instructions per value and std::to_chars several hundred; this, a few
// dozen. Values of 2^50 and more, infinities and NaN are left to the caller.
#pragma once

#include <bit>
#include <cstdint>

#include "decimal_digits.h"

namespace tarvex {

// True when write_fixed_double takes `v`: finite, |v| < 2^50.
inline bool fixed_double_fits(double v) {
    const auto biased_exponent = static_cast<std::uint32_t>(std::bit_cast<std::uint64_t>(v) >> 52) & 0x7FFu;
    return biased_exponent < 1023 + 50;
}

// d * 2^32 rounded down, for d in [0, 2^30): whole centimetres in the high
// word, the fraction in the low one. Taken from the double's bits rather
// than by the camera's soft-float comparison and conversion; false for any
// other d (-0, negative, 2^30 or more, inf, nan).
inline bool fixed_32_32_below_2_30(double d, std::uint64_t& fixed) {
    const auto bits = std::bit_cast<std::uint64_t>(d);
    if (bits >= 0x41D0000000000000u) return false;  // the sign bit, or 2^30 and up
    const int exponent = static_cast<int>(bits >> 52) - 1023;
    const std::uint64_t significand = (bits & 0xFFFFFFFFFFFFFu) | (std::uint64_t{1} << 52);
    // d = significand * 2^(exponent - 52), so d * 2^32 = significand * 2^(exponent - 20).
    if (exponent >= 20) fixed = significand << (exponent - 20);
    else if (exponent > -44) fixed = significand >> (20 - exponent);
    else fixed = 0;  // 0, subnormal, or below 2^-32
    return true;
}

// "%.*f" with PLACES (1 to 9) of a value for which fixed_double_fits: at
// most 1 + 16 + 1 + PLACES bytes, plus scratch as the digit writers store.
template <int PLACES>
inline char* write_fixed_double(char* p, double v) {
    static_assert(PLACES >= 1 && PLACES <= 9);
    constexpr std::uint32_t unit = digits_detail::pow10(PLACES);
    const auto bits = std::bit_cast<std::uint64_t>(v);
    if ((bits >> 63) != 0) *p++ = '-';  // also for -0 and what rounds to 0
    const auto biased_exponent = static_cast<std::uint32_t>(bits >> 52) & 0x7FFu;
    std::uint64_t m = bits & ((std::uint64_t{1} << 52) - 1);
    if (biased_exponent != 0) m |= std::uint64_t{1} << 52;
    // |v| = m / 2^k, with k >= 3 as |v| < 2^50.
    const std::uint32_t k = (biased_exponent != 0 ? 1075 : 1074) - biased_exponent;

    std::uint64_t whole = 0;
    std::uint32_t fraction = 0;  // |v|'s fraction in units of 10^-PLACES, rounded
    if (k < 64) {
        whole = m >> k;
        m &= (std::uint64_t{1} << k) - 1;
    }
    // fraction = round(m * unit / 2^k), m < 2^53 and < 2^k: the product has
    // up to 83 bits, kept as hi * 2^32 + lo (hi < 2^51, lo < 2^32).
    if (m != 0 && k <= 84) {
        const std::uint64_t low_part = (m & 0xFFFFFFFFu) * unit;
        const std::uint64_t hi = (m >> 32) * unit + (low_part >> 32);
        const auto lo = static_cast<std::uint32_t>(low_part);
        std::uint64_t q;
        bool above_half, at_half;
        if (k <= 32) {
            // m < 2^k <= 2^32: hi < 2^30, so q fits easily.
            q = (hi << (32 - k)) | (k == 32 ? 0 : lo >> k);
            const std::uint32_t rest = k == 32 ? lo : lo & ((1u << k) - 1);
            const std::uint32_t half = 1u << (k - 1);
            above_half = rest > half;
            at_half = rest == half;
        } else {
            const std::uint32_t s = k - 32;  // 1 to 52
            q = hi >> s;
            const std::uint64_t rest_hi = hi & ((std::uint64_t{1} << s) - 1);
            const std::uint64_t half_hi = std::uint64_t{1} << (s - 1);  // half = half_hi * 2^32
            above_half = rest_hi > half_hi || (rest_hi == half_hi && lo != 0);
            at_half = rest_hi == half_hi && lo == 0;
        }
        if (above_half || (at_half && (q & 1) != 0)) ++q;
        if (q == unit) {
            ++whole;
            q = 0;
        }
        fraction = static_cast<std::uint32_t>(q);
    }
    p = write_decimal(p, whole);
    *p++ = '.';
    put_digits<PLACES>(p, fraction);
    return p + PLACES;
}

}  // namespace tarvex
