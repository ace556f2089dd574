// Signed 32-bit arithmetic as the camera's C code does it. There, int is 32
// bits and sums, differences and products wrap modulo 2^32; in C++ signed
// overflow is undefined, so the wrap goes through uint32_t, whose arithmetic
// is modular by definition, and the result is read back as signed.
#pragma once

#include <cstdint>

namespace tarvex {

constexpr std::int32_t wrap_add(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) + static_cast<std::uint32_t>(b));
}

constexpr std::int32_t wrap_sub(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) - static_cast<std::uint32_t>(b));
}

constexpr std::int32_t wrap_mul(std::int32_t a, std::int32_t b) {
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(a) * static_cast<std::uint32_t>(b));
}

// Division truncating toward zero, as C's `/`. The one quotient that does not
// fit, INT32_MIN / -1, traps on most processors; it wraps to INT32_MIN here,
// as the negation does on the camera. `den` must not be 0.
constexpr std::int32_t div_trunc(std::int32_t num, std::int32_t den) {
    if (den == -1) {
        return wrap_sub(0, num);
    }
    return num / den;
}

}  // namespace tarvex
