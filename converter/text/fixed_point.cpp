#include "fixed_point.h"

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

}  // namespace tarvex
