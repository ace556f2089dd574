#include "fixed_point.h"

#include <cstring>

namespace tarvex {

std::uint32_t isqrt(std::uint32_t value) {
    if (value == 0) return 0;
    std::uint32_t s = value;
    // The highest power of four not above the value (processors have an
    // instruction that counts the leading zeros).
    std::uint32_t b = 1u << ((31 - __builtin_clz(value)) & ~1);
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

char* write_fixed(char* p, std::int64_t value, int places) {
    switch (places) {  // the writers' places, with constant divisors
        case 1: return write_fixed<1>(p, value);
        case 2: return write_fixed<2>(p, value);
        case 7: return write_fixed<7>(p, value);
        default: break;
    }
    if (places < 1) places = 1;
    if (places > 18) places = 18;
    std::uint64_t unit = 1;
    for (int i = 0; i < places; ++i) unit *= 10;
    const std::uint64_t mag = value < 0 ? 0 - static_cast<std::uint64_t>(value) : static_cast<std::uint64_t>(value);
    *p++ = value < 0 ? '-' : ' ';
    p = write_decimal(p, mag / unit);
    *p++ = '.';
    // The fraction may exceed 32 bits: zeros, then its digits.
    const std::uint64_t fraction = mag % unit;
    char digits[20];
    const int len = static_cast<int>(write_decimal(digits, fraction) - digits);
    for (int i = len; i < places; ++i) *p++ = '0';
    std::memcpy(p, digits, static_cast<std::size_t>(len));
    return p + len;
}

}  // namespace tarvex
