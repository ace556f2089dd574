// Decimal digits written by hand, two at a time, for the text writers: each
// function writes exactly the bytes of the printf conversion named in its
// comment at p, without a terminating NUL, and returns the end. Values that
// fit 32 bits take 32-bit arithmetic with constant divisors throughout: the
// camera's ARM processor has no divide instruction, and 64-bit division is a
// slow library call there.
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

// Number of decimal digits of v (1 to 10).
inline int decimal_length(std::uint32_t v) {
    if (v < 100) return v < 10 ? 1 : 2;
    if (v < 10000) return v < 1000 ? 3 : 4;
    if (v < 1000000) return v < 100000 ? 5 : 6;
    if (v < 100000000) return v < 10000000 ? 7 : 8;
    return v < 1000000000 ? 9 : 10;
}

// The last n digits of v, leading zeros included, ending just before `end`.
inline void put_last_digits(char* end, std::uint32_t v, int n) {
    for (; n >= 2; n -= 2) {
        end -= 2;
        std::memcpy(end, digits_detail::pairs + 2 * (v % 100), 2);
        v /= 100;
    }
    if (n == 1) end[-1] = static_cast<char>('0' + v % 10);
}

// "%u"
inline char* write_decimal(char* p, std::uint32_t v) {
    const int len = decimal_length(v);
    put_last_digits(p + len, v, len);
    return p + len;
}

// "%0*u"
inline char* write_decimal_padded(char* p, std::uint32_t v, int width) {
    const int digits = decimal_length(v);
    const int len = digits > width ? digits : width;
    put_last_digits(p + len, v, len);
    return p + len;
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
