// Decimal digits written by hand, two at a time, for the text writers: each
// function writes exactly the bytes of the printf conversion named in its
// comment at p, without a terminating NUL, and returns the end. The code is
// straight-line per number of digits, and values that fit 32 bits take
// 32-bit arithmetic with constant divisors only: the camera's ARM processor
// has no divide instruction, and a 64-bit division is a slow library call
// there.
#pragma once

#include <cstdint>
#include <cstring>

namespace tarvex {

namespace digits_detail {
inline constexpr char pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";

inline void put2(char* p, std::uint32_t v) { std::memcpy(p, pairs + 2 * v, 2); }  // v < 100

constexpr std::uint32_t pow10(int n) {
    std::uint32_t u = 1;
    for (int i = 0; i < n; ++i) u *= 10;
    return u;
}
}  // namespace digits_detail

// Exactly W digits of v < 10^W (W from 1 to 9), leading zeros included.
template <int W>
inline void put_digits(char* p, std::uint32_t v) {
    using namespace digits_detail;
    static_assert(W >= 1 && W <= 9);
    if constexpr (W == 1) {
        *p = static_cast<char>('0' + v);
    } else if constexpr (W == 2) {
        put2(p, v);
    } else if constexpr (W <= 4) {
        const std::uint32_t high = v / 100;
        put_digits<W - 2>(p, high);
        put2(p + W - 2, v - high * 100);
    } else {
        const std::uint32_t high = v / 10000;
        put_digits<W - 4>(p, high);
        put_digits<4>(p + W - 4, v - high * 10000);
    }
}

// "%u" for v < 10^4.
inline char* write_small_decimal(char* p, std::uint32_t v) {
    if (v < 10) {
        put_digits<1>(p, v);
        return p + 1;
    }
    if (v < 100) {
        put_digits<2>(p, v);
        return p + 2;
    }
    if (v < 1000) {
        put_digits<3>(p, v);
        return p + 3;
    }
    put_digits<4>(p, v);
    return p + 4;
}

// "%u"
[[gnu::always_inline]] inline char* write_decimal(char* p, std::uint32_t v) {
    if (v < 10000) return write_small_decimal(p, v);
    if (v < 100000000) {
        const std::uint32_t high = v / 10000;
        p = write_small_decimal(p, high);
        put_digits<4>(p, v - high * 10000);
        return p + 4;
    }
    const std::uint32_t high = v / 100000000;  // at most 42
    p = write_small_decimal(p, high);
    put_digits<8>(p, v - high * 100000000);
    return p + 8;
}

// "%0*u" with width W (1 to 9).
template <int W>
inline char* write_decimal_padded(char* p, std::uint32_t v) {
    if (v >= digits_detail::pow10(W)) return write_decimal(p, v);
    put_digits<W>(p, v);
    return p + W;
}

// "%llu" beyond 32 bits: a leading part, then groups of eight digits.
char* write_wide_decimal(char* p, std::uint64_t v);

// "%llu"
inline char* write_decimal(char* p, std::uint64_t v) {
    if (v <= UINT32_MAX) return write_decimal(p, static_cast<std::uint32_t>(v));
    return write_wide_decimal(p, v);
}

// "%lld"; the magnitude is taken in unsigned arithmetic, so INT64_MIN is safe.
inline char* write_signed(char* p, std::int64_t v) {
    if (v >= 0) return write_decimal(p, static_cast<std::uint64_t>(v));
    *p++ = '-';
    return write_decimal(p, 0 - static_cast<std::uint64_t>(v));
}

// "%d"
inline char* write_signed(char* p, std::int32_t v) {
    if (v >= 0) return write_decimal(p, static_cast<std::uint32_t>(v));
    *p++ = '-';
    return write_decimal(p, 0 - static_cast<std::uint32_t>(v));
}

}  // namespace tarvex
