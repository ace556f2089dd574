// Truncating division by a divisor that seldom changes (a moving average's
// count, >= 1), by multiplication: the camera's processor has no divide
// instruction, and its library division costs about 36 instructions per
// quotient; this, four (and a 64-bit division, some 300, when the divisor
// changes). Granlund and Montgomery, "Division by invariant integers using
// multiplication" (1994), theorem 4.2 with figure 5.2's signed form: for
// 32-bit n and d >= 1, with l = max(ceil(log2 d), 1) and
// m = 1 + floor(2^(31 + l) / d), so 2^(31+l) < m d <= 2^(31+l) + 2^l,
// n / d = floor(m n / 2^(31 + l)) - (n < 0 ? -1 : 0), exactly. m lies in
// (2^31, 2^32) for d >= 2 and is 2^32 + 1 for d = 1: it is kept as m - 2^32,
// a negative or small 32-bit number, and n added back.
#pragma once

#include <cstdint>

#include "wrap_arith.h"

namespace tarvex {

// Where the processor divides in hardware (the PC), its division is faster.
#if defined(__arm__) && !defined(__ARM_FEATURE_IDIV)
inline constexpr bool DIVIDE_BY_MULTIPLYING = true;
#else
inline constexpr bool DIVIDE_BY_MULTIPLYING = false;
#endif

template <bool MULTIPLY = DIVIDE_BY_MULTIPLYING>
class RepeatedDivisor {
public:
    // num / den truncated toward zero; `den` must be >= 1.
    std::int32_t divide(std::int32_t num, std::int32_t den) {
        use(den);
        return quotient(num);
    }

    // The same in two steps, for several numerators over one divisor: `den`
    // (>= 1) becomes the divisor of the quotient() calls that follow.
    void use(std::int32_t den) {
        if (den != den_) set(den);
    }

    std::int32_t quotient(std::int32_t num) const {
        if constexpr (!MULTIPLY) return num / den_;
        // floor(m num / 2^32) = num + floor((m - 2^32) num / 2^32); for
        // d = 1 and num = INT32_MIN it is one below INT32_MIN, and the
        // wrapping steps bring it back.
        const auto high = static_cast<std::int32_t>((static_cast<std::int64_t>(num) * low_m_) >> 32);
        const std::int32_t floor_quotient = wrap_add(num, high) >> shift_;  // arithmetic: rounds down
        return wrap_sub(floor_quotient, num >> 31);                         // toward zero for num < 0
    }

private:
    void set(std::int32_t den) {
        den_ = den;
        if constexpr (!MULTIPLY) return;
        // max(ceil(log2 d), 1); bounded, so that a divisor below 1, which no
        // count is, gives a wrong quotient rather than an endless loop.
        std::uint32_t l = 1;
        while (l < 32 && (std::uint64_t{1} << l) < static_cast<std::uint64_t>(den)) ++l;
        const std::uint64_t m = (std::uint64_t{1} << (31 + l)) / static_cast<std::uint64_t>(den) + 1;
        low_m_ = static_cast<std::int32_t>(static_cast<std::uint32_t>(m));  // m - 2^32, two's complement
        shift_ = l - 1;
    }

    std::int32_t den_ = 1;
    std::int32_t low_m_ = 1;  // the values for den_ = 1
    std::uint32_t shift_ = 0;
};

}  // namespace tarvex
