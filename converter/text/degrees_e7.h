// A GpsNavData coordinate, an int32 count of 1e-7 degree, as
// printf("%f", v / 10000000.0) writes it, without the division: the camera
// has no floating-point hardware, and a soft-float division costs hundreds
// of instructions.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

#include "decimal_digits.h"

namespace tarvex {

namespace degrees_detail {

// Arithmetic modulo 5^7 = 78125 in 32 bits: 10^7 = 2^7 * 5^7.
inline constexpr std::uint32_t FIVE7 = 78125;

// a * b mod 5^7 for a, b < 5^7, whose product may pass 2^32: b is taken in a
// high and a low part.
constexpr std::uint32_t mul_mod_five7(std::uint32_t a, std::uint32_t b) {
    const std::uint32_t high = a * (b >> 9) % FIVE7;  // < 2^17 * 2^8
    return (high * 512 + a * (b & 511)) % FIVE7;      // < 2^26 + 2^26
}

// 2^s mod 5^7 for every shift a quotient below needs (44 to 74).
inline constexpr auto POW2_MOD_FIVE7 = [] {
    std::array<std::uint32_t, 80> t{};
    std::uint32_t v = 1;
    for (std::uint32_t& e : t) {
        e = v;
        v = v * 2 % FIVE7;
    }
    return t;
}();

// The inverse of 2^7 modulo 5^7.
inline constexpr std::uint32_t INV128_MOD_FIVE7 = [] {
    std::uint32_t i = 1;
    while (i * 128 % FIVE7 != 1) ++i;
    return i;
}();

}  // namespace degrees_detail

// Where the double nearest a / 10^7 (0 < a < 2^32) lies against the exact
// quotient: 1 above, -1 below, 0 equal. The double's 53-bit significand is
// floor(a 2^s / 10^7) for the s that puts it in [2^52, 2^53), rounded up
// exactly when the remainder R = a 2^s mod 10^7 passes 10^7 / 2 (R never
// equals it: with s >= 7 it is a multiple of 2^7, and 5 * 10^6 is 2^6 times
// an odd number). R comes from its residues: 0 modulo 2^7, and
// (a mod 5^7)(2^s mod 5^7) modulo 5^7.
inline int e7_quotient_side(std::uint32_t a) {
    using namespace degrees_detail;
    const int bits = 32 - __builtin_clz(a);  // a in [2^(bits-1), 2^bits)
    int s = 77 - bits;                       // a 2^s / 10^7 in (2^52.7, 2^53.8)
    const bool too_wide = bits <= 24 ? (a << (24 - bits)) >= 10000000u : a >= (10000000u << (bits - 24));
    if (too_wide) --s;  // a 2^s / 10^7 >= 2^53
    const std::uint32_t r5 = mul_mod_five7(a % FIVE7, POW2_MOD_FIVE7[static_cast<std::size_t>(s)]);
    const std::uint32_t r = 128 * mul_mod_five7(r5, INV128_MOD_FIVE7);  // R itself, < 10^7
    if (r == 0) return 0;
    return r > 5000000u ? 1 : -1;
}

// "%f" of v / 10000000.0. Unless the last digit is 5, the quotient rounds to
// millionths as v itself does (checked for every int32 by
// bench/proofs/check_degrees_e7.cpp); a 5 is a tie that the double's side of
// it decides, half to even when the double is exact (checked for every such
// int32 by bench/proofs/check_degrees_e7_ties.cpp). A minus sign is written
// for every v < 0, also when it rounds to 0, as printf does. At most 13
// bytes, plus scratch as decimal_digits.h allows.
inline char* write_degrees_e7(char* p, std::int32_t v) {
    const std::uint32_t mag = v < 0 ? 0u - static_cast<std::uint32_t>(v) : static_cast<std::uint32_t>(v);
    const std::uint32_t last = mag % 10;
    std::uint32_t millionths = mag / 10;
    if (last > 5) {
        ++millionths;
    } else if (last == 5) {
        const int side = e7_quotient_side(mag);
        if (side > 0 || (side == 0 && millionths % 2 == 1)) ++millionths;
    }
    if (v < 0) *p++ = '-';
    const std::uint32_t whole = millionths / 1000000;
    p = write_decimal(p, whole);
    *p++ = '.';
    put_digits<6>(p, millionths - whole * 1000000);
    return p + 6;
}

}  // namespace tarvex
