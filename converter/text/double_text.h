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
