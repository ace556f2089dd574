#include "fixed_point.h"

#include "decimal_digits.h"

namespace tarvex {

std::uint32_t isqrt(std::uint32_t value) {
    std::uint32_t s = value;
    std::uint32_t b = 0x40000000u;
    if (s <= 0x3FFFFFFFu) {
        while (b > s) b >>= 2;  // ends at 0 only for s == 0
    }
    std::uint32_t r = 0;
    while (b != 0) {
        if (s >= r + b) {
            s -= r + b;
            r = r / 2 + b;
        } else {
            r /= 2;
        }
        b /= 4;
    }
    // r = floor(sqrt(value)), s = value - r*r; a tie cannot occur.
    return s > r ? r + 1 : r;
}

int format_fixed(char* out, std::int64_t value, int places) {
    static constexpr std::uint64_t pow10[] = {1ull,
                                              10ull,
                                              100ull,
                                              1000ull,
                                              10000ull,
                                              100000ull,
                                              1000000ull,
                                              10000000ull,
                                              100000000ull,
                                              1000000000ull,
                                              10000000000ull,
                                              100000000000ull,
                                              1000000000000ull,
                                              10000000000000ull,
                                              100000000000000ull,
                                              1000000000000000ull,
                                              10000000000000000ull,
                                              100000000000000000ull,
                                              1000000000000000000ull};
    if (places < 1) places = 1;
    if (places > 18) places = 18;
    // The magnitude is taken in 64-bit unsigned arithmetic, so the most
    // negative 32-bit value prints as its true magnitude.
    const std::uint64_t mag = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    const std::uint64_t unit = pow10[places];
    char* p = out;
    *p++ = value < 0 ? '-' : ' ';
    p = write_decimal(p, mag / unit);
    *p++ = '.';
    p = write_decimal_padded(p, mag % unit, places);
    return static_cast<int>(p - out);
}

}  // namespace tarvex
