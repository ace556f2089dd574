#include "fixed_point.h"

#include <array>

namespace tarvex {

namespace {
// floor(sqrt(t)) for every t below 1024: the root's first five bits from
// one load instead of five rounds of the bit-pair loop (1 KiB: a few
// rounds fewer would take a table larger than a small core's cache).
constexpr std::array<std::uint8_t, 1024> SMALL_ROOTS = [] {
    std::array<std::uint8_t, 1024> roots{};
    std::uint32_t r = 0;
    for (std::uint32_t t = 0; t < 1024; ++t) {
        while ((r + 1) * (r + 1) <= t) ++r;
        roots[t] = static_cast<std::uint8_t>(r);
    }
    return roots;
}();
}  // namespace

std::uint32_t isqrt(std::uint32_t value) {
    // The root of the value's leading bits from the table, then one more
    // bit per further pair of bits: r = floor(sqrt(prefix)), rem = prefix - r*r.
    int shift = 0;
    if (value >= 1024) {
        // Even, and leaves 9 or 10 bits (processors have an instruction that
        // counts the leading zeros).
        shift = (31 - __builtin_clz(value) - 8) & ~1;
    }
    const std::uint32_t prefix = value >> shift;
    std::uint32_t r = SMALL_ROOTS[prefix];
    std::uint32_t rem = prefix - r * r;
    for (shift -= 2; shift >= 0; shift -= 2) {
        rem = (rem << 2) | ((value >> shift) & 3u);
        r <<= 1;
        // (r + 1)^2 - r^2 for the doubled root: is the next bit a one?
        if (rem >= 2 * r + 1) {
            rem -= 2 * r + 1;
            r += 1;
        }
    }
    // Nearest: value - r*r > r exactly when value >= (r + 1/2)^2; a tie
    // cannot occur.
    return rem > r ? r + 1 : r;
}

}  // namespace tarvex
