// Decimal digits written by hand, two at a time, for the text writers and
// the fixed-point form: each function writes exactly the bytes of the printf
// conversion named in its comment, without a terminating NUL.
#pragma once

#include <cstdint>
#include <cstring>

namespace tarvex {

namespace digits_detail {
inline constexpr char pairs[] =
    "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
    "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
    "8081828384858687888990919293949596979899";
}  // namespace digits_detail

// Number of decimal digits of v.
inline int decimal_length(std::uint64_t v) {
    int n = 1;
    while (v > 0xFFFFFFFFu) {
        v /= 10000;
        n += 4;
    }
    std::uint32_t w = static_cast<std::uint32_t>(v);
    for (;;) {
        if (w < 10) return n;
        if (w < 100) return n + 1;
        if (w < 1000) return n + 2;
        if (w < 10000) return n + 3;
        w /= 10000;
        n += 4;
    }
}

// Writes exactly `len` digits of v at p, backwards from p + len, two at a
// time. Values that fit 32 bits use 32-bit division, far cheaper than 64-bit
// division on the camera's ARM processor.
inline void write_digits(char* p, std::uint64_t v, int len) {
    char* q = p + len;
    while (v > 0xFFFFFFFFu) {
        const std::uint64_t pair = v % 100;
        v /= 100;
        q -= 2;
        std::memcpy(q, digits_detail::pairs + 2 * pair, 2);
    }
    std::uint32_t w = static_cast<std::uint32_t>(v);
    while (w >= 100) {
        const std::uint32_t pair = w % 100;
        w /= 100;
        q -= 2;
        std::memcpy(q, digits_detail::pairs + 2 * pair, 2);
    }
    if (w >= 10) {
        q -= 2;
        std::memcpy(q, digits_detail::pairs + 2 * w, 2);
    } else {
        *--q = static_cast<char>('0' + w);
    }
}

// Writes the decimal digits of v ("%llu") at p; returns the end.
inline char* write_decimal(char* p, std::uint64_t v) {
    const int len = decimal_length(v);
    write_digits(p, v, len);
    return p + len;
}

// "%0*llu" with width `width` (at most 20).
inline char* write_decimal_padded(char* p, std::uint64_t v, int width) {
    const int len = decimal_length(v);
    for (int i = len; i < width; ++i) *p++ = '0';
    write_digits(p, v, len);
    return p + len;
}

// "%lld"
inline char* write_signed(char* p, std::int64_t v) {
    if (v < 0) {
        *p++ = '-';
        // Negate in unsigned arithmetic so that INT64_MIN is safe.
        return write_decimal(p, 0 - static_cast<std::uint64_t>(v));
    }
    return write_decimal(p, static_cast<std::uint64_t>(v));
}

}  // namespace tarvex
