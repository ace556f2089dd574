// Truncating division by a divisor that seldom changes (a moving average's
// count), by multiplication: the camera's processor has
// no divide instruction, and its library division costs about 36
// instructions per quotient; this, a dozen (and a 64-bit division, some
// 300, when the divisor changes). Granlund and Montgomery,
// "Division by invariant integers using multiplication" (1994), figure 4.1:
// for 32-bit n and d >= 1, with l = ceil(log2 d) and
// m = floor(2^32 (2^l - d) / d) + 1, t = (m n) >> 32 gives
// n / d = (t + ((n - t) >> min(l, 1))) >> max(l - 1, 0), exactly.
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
    // div_trunc(num, den): truncating toward zero, INT32_MIN / -1 wrapping
    // to INT32_MIN. `den` must not be 0.
    std::int32_t divide(std::int32_t num, std::int32_t den) {
        use(den);
        return quotient(num);
    }

    // The same in two steps, for several numerators over one divisor: `den`
    // (not 0) becomes the divisor of the quotient() calls that follow.
    void use(std::int32_t den) {
        if (den != den_) set(den);
    }

    std::int32_t quotient(std::int32_t num) const {
        if constexpr (!MULTIPLY) return div_trunc(num, den_);
        const std::uint32_t n = num < 0 ? 0u - static_cast<std::uint32_t>(num) : static_cast<std::uint32_t>(num);
        const auto t = static_cast<std::uint32_t>((static_cast<std::uint64_t>(m_) * n) >> 32);
        const std::uint32_t q = (t + ((n - t) >> shift1_)) >> shift2_;
        // Magnitudes up to 2^31; the negation wraps like the C form's.
        return static_cast<std::int32_t>((num < 0) != (den_ < 0) ? 0u - q : q);
    }

private:
    void set(std::int32_t den) {
        den_ = den;
        if constexpr (!MULTIPLY) return;
        const std::uint32_t d = den < 0 ? 0u - static_cast<std::uint32_t>(den) : static_cast<std::uint32_t>(den);
        std::uint32_t l = 0;
        while (l < 32 && (std::uint64_t{1} << l) < d) ++l;
        m_ = static_cast<std::uint32_t>((((std::uint64_t{1} << l) - d) << 32) / d + 1);
        shift1_ = l < 1 ? l : 1;
        shift2_ = l < 1 ? 0 : l - 1;
    }

    std::int32_t den_ = 1;
    std::uint32_t m_ = 1;  // the values for den_ = 1
    std::uint32_t shift1_ = 0;
    std::uint32_t shift2_ = 0;
};

// The same for the smoothed acceleration, whose dividends are bounded: a
// window holds at most 513 samples (256 each side and its own) of 16-bit
// axes, so |sum| <= 32768 * 513 < 2^25, and the divisor is a count >= 1.
// Within |num| < 2^25 a signed multiply needs no correction step:
// with s = floor(log2 d) + 1 and m = floor(2^(26+s) / d) + 1 (so
// m d = 2^(26+s) + e, 1 <= e <= d, and |num| e < 2^25 2^s), the high word of
// (num * 2^6) * m shifted right by s is floor(num * m / 2^(26+s)), which is
// num / d rounded down for num >= 0 and one below it for num < 0, where
// adding 1 truncates toward zero. Four instructions a quotient instead of
// eight. Outside those bounds the quotient is wrong: only such sums may use it.
template <bool MULTIPLY = DIVIDE_BY_MULTIPLYING>
class BoundedSumDivisor {
public:
    // `den` (>= 1) becomes the divisor of the quotient() calls that follow.
    void use(std::int32_t den) {
        if (den != den_) set(den);
    }

    // num / den truncated toward zero, for |num| < 2^25.
    std::int32_t quotient(std::int32_t num) const {
        if constexpr (!MULTIPLY) return num / den_;
        // num * 2^6 fits: |num| < 2^25. The shift is a multiplication, which
        // a negative num may take.
        const auto scaled = static_cast<std::int64_t>(num * 64);
        const auto high = static_cast<std::int32_t>((scaled * m_) >> 32);
        return (high >> shift_) - (num >> 31);  // arithmetic shifts: rounding down
    }

private:
    void set(std::int32_t den) {
        den_ = den;
        if constexpr (!MULTIPLY) return;
        std::uint32_t s = 1;
        while ((std::uint64_t{1} << s) <= static_cast<std::uint64_t>(den)) ++s;  // 2^(s-1) <= den < 2^s
        m_ = static_cast<std::int32_t>((std::uint64_t{1} << (26 + s)) / static_cast<std::uint64_t>(den) + 1);
        shift_ = s;
    }

    std::int32_t den_ = 1;
    std::int32_t m_ = (1 << 27) + 1;  // the values for den_ = 1
    std::uint32_t shift_ = 1;
};

}  // namespace tarvex
