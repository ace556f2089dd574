// Decimal digits written by hand for the text writers: each function writes
// exactly the bytes of the printf conversion named in its comment at p,
// without a terminating NUL, and returns the end; it may store up to
// SCRATCH_BYTES of scratch past that end. Digits come four at a time from a table,
// and values that fit 32 bits take 32-bit arithmetic with constant divisors
// only: the camera's ARM processor has no divide instruction, and a 64-bit
// division is a slow library call there.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <utility>

namespace tarvex {

// The one limit of what a number's text (and any unchecked write of a Row)
// may store past the end it returns: digits are stored four at a time (three
// bytes past), a short bar sixteen at a time (fifteen).
inline constexpr std::size_t SCRATCH_BYTES = 15;

namespace digits_detail {
#if defined(__arm__) && !defined(__ARM_FEATURE_UNALIGNED)
inline constexpr bool BYTE_MOVES = true;  // no unaligned word access
#else
inline constexpr bool BYTE_MOVES = false;
#endif
template <std::size_t... I>
[[gnu::always_inline]] inline void copy_each(char* dst, const char* src, std::index_sequence<I...>) {
    ((dst[I] = src[I]), ...);
}
}  // namespace digits_detail

// Three digits as the bytes moved: where a 4-byte move is one instruction,
// four (the fourth is scratch past the end); on the camera three.
inline constexpr std::size_t THREE_DIGIT_MOVE = digits_detail::BYTE_MOVES ? 3 : 4;

// Copies N bytes, N known when compiling. The camera's processor (ARMv5,
// no unaligned word access) makes even a 2-byte memcpy to an arbitrary
// address a library call; there the bytes are moved one by one, a load and
// a store each. Elsewhere memcpy becomes one unaligned move.
template <std::size_t N>
[[gnu::always_inline]] inline void copy_bytes(char* dst, const char* src) {
    if constexpr (digits_detail::BYTE_MOVES) digits_detail::copy_each(dst, src, std::make_index_sequence<N>{});
    else std::memcpy(dst, src, N);
}

namespace digits_detail {
#if defined(__ARMEL__)
inline constexpr bool WORD_LITERALS = BYTE_MOVES;  // the words' constants are little-endian
#else
inline constexpr bool WORD_LITERALS = false;
#endif
// Shorter literals gain nothing from the alignment test.
inline constexpr std::size_t WORD_LITERAL_MIN = 12;

template <std::size_t AT, std::size_t N>
constexpr std::uint32_t literal_word(const char (&s)[N]) {
    return static_cast<std::uint8_t>(s[AT]) | static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[AT + 1])) << 8 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[AT + 2])) << 16 |
           static_cast<std::uint32_t>(static_cast<std::uint8_t>(s[AT + 3])) << 24;
}

template <std::size_t FROM, std::size_t N, std::size_t... I>
[[gnu::always_inline]] inline void copy_words(char* aligned, const char (&s)[N], std::index_sequence<I...>) {
    char* d = static_cast<char*>(__builtin_assume_aligned(aligned, 4));
    const std::uint32_t words[] = {literal_word<FROM + 4 * I>(s)...};
    std::memcpy(d, words, sizeof words);
}

// The literal at dst, which lies LEAD bytes before a word boundary.
template <std::size_t LEAD, std::size_t N>
[[gnu::always_inline]] inline void copy_literal_from(char* dst, const char (&s)[N]) {
    constexpr std::size_t len = N - 1;
    constexpr std::size_t words = (len - LEAD) / 4;
    constexpr std::size_t tail = LEAD + 4 * words;
    copy_each(dst, s, std::make_index_sequence<LEAD>{});
    copy_words<LEAD>(dst + LEAD, s, std::make_index_sequence<words>{});
    copy_each(dst + tail, s + tail, std::make_index_sequence<len - tail>{});
}
}  // namespace digits_detail

// Copies the literal text s (N - 1 bytes, N known when compiling). On the
// camera's processor a long one is stored in whole words between the bytes
// before the first word boundary and those after the last: a word store is
// one instruction, and the words are constants; the literal's bytes one by
// one would take a store and mostly a constant each.
template <std::size_t N>
[[gnu::always_inline]] inline void copy_literal(char* dst, const char (&s)[N]) {
    if constexpr (digits_detail::WORD_LITERALS && N - 1 >= digits_detail::WORD_LITERAL_MIN) {
        switch (reinterpret_cast<std::uintptr_t>(dst) & 3) {
            case 0: digits_detail::copy_literal_from<0>(dst, s); break;
            case 1: digits_detail::copy_literal_from<3>(dst, s); break;
            case 2: digits_detail::copy_literal_from<2>(dst, s); break;
            default: digits_detail::copy_literal_from<1>(dst, s); break;
        }
    } else {
        copy_bytes<N - 1>(dst, s);
    }
}

namespace digits_detail {
// The four digits of every value below 10^4, "0000" to "9999", back to back:
// one load gives up to four digits.
inline constexpr std::array<char, 40000> quads = [] {
    std::array<char, 40000> t{};
    for (int v = 0; v < 10000; ++v) {
        t[4 * v] = static_cast<char>('0' + v / 1000);
        t[4 * v + 1] = static_cast<char>('0' + v / 100 % 10);
        t[4 * v + 2] = static_cast<char>('0' + v / 10 % 10);
        t[4 * v + 3] = static_cast<char>('0' + v % 10);
    }
    return t;
}();

constexpr std::uint32_t pow10(int n) {
    std::uint32_t u = 1;
    for (int i = 0; i < n; ++i) u *= 10;
    return u;
}
}  // namespace digits_detail

// Exactly W digits of v < 10^W (W from 1 to 9), leading zeros included.
template <int W>
inline void put_digits(char* p, std::uint32_t v) {
    static_assert(W >= 1 && W <= 9);
    if constexpr (W == 3) {
        copy_bytes<THREE_DIGIT_MOVE>(p, digits_detail::quads.data() + 4 * v + 1);
    } else if constexpr (W <= 4) {
        copy_bytes<W>(p, digits_detail::quads.data() + 4 * v + (4 - W));
    } else {
        const std::uint32_t high = v / 10000;
        put_digits<W - 4>(p, high);
        put_digits<4>(p + W - 4, v - high * 10000);
    }
}

// "%u" for v < 100.
[[gnu::always_inline]] inline char* write_below_100(char* p, std::uint32_t v) {
    const char* digits = digits_detail::quads.data() + 4 * v;
    if (v < 10) {
        *p = digits[3];
        return p + 1;
    }
    copy_bytes<2>(p, digits + 2);
    return p + 2;
}

// "%u" for v < 10^4. Three digits take one move of THREE_DIGIT_MOVE bytes.
// Its first two cases are write_below_100's, written again from the one
// table pointer: calling it, GCC's code for the camera took some 20 more
// instructions per sample.
inline char* write_small_decimal(char* p, std::uint32_t v) {
    const char* digits = digits_detail::quads.data() + 4 * v;
    if (v < 10) {
        *p = digits[3];
        return p + 1;
    }
    if (v < 100) {
        copy_bytes<2>(p, digits + 2);
        return p + 2;
    }
    if (v < 1000) {
        copy_bytes<THREE_DIGIT_MOVE>(p, digits + 1);  // may read into the next value's digits
        return p + 3;
    }
    copy_bytes<4>(p, digits);
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

// v / 10^8 for any 64-bit v without a division: the high 64 bits of v times
// ceil(2^90 / 10^8), shifted right by 26 (the multiplier compilers use on
// 64-bit processors), from four 32x32->64 products. The camera's processor
// multiplies only 32-bit values and divides 64-bit ones in a library call of
// some 170 instructions.
constexpr std::uint64_t div_by_1e8(std::uint64_t v) {
    if (v < (std::uint64_t{1} << 43)) {
        // Every millisecond time until the year 2248, in one product: the
        // top 32 of the 43 bits times floor(2^58 / 10^8), shifted right by
        // 47, fall short of the quotient by at most two; the remainder
        // settles it.
        constexpr std::uint64_t M43 = 2882303761u;
        auto q = static_cast<std::uint32_t>((std::uint64_t{static_cast<std::uint32_t>(v >> 11)} * M43) >> 47);
        std::uint64_t rest = v - std::uint64_t{q} * 100000000u;
        while (rest >= 100000000u) {
            ++q;
            rest -= 100000000u;
        }
        return q;
    }
    constexpr std::uint64_t M = 0xABCC77118461CEFDull;
    const std::uint64_t v_lo = static_cast<std::uint32_t>(v), v_hi = v >> 32;
    const std::uint64_t m_lo = static_cast<std::uint32_t>(M), m_hi = M >> 32;
    const std::uint64_t lo_lo = v_lo * m_lo, hi_lo = v_hi * m_lo, lo_hi = v_lo * m_hi, hi_hi = v_hi * m_hi;
    const std::uint64_t middle = (lo_lo >> 32) + static_cast<std::uint32_t>(hi_lo) + static_cast<std::uint32_t>(lo_hi);
    return (hi_hi + (hi_lo >> 32) + (lo_hi >> 32) + (middle >> 32)) >> 26;
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

// "%d". One path after the sign: the number text is inlined once, and the
// function stays small enough to be inlined where it is called.
inline char* write_signed(char* p, std::int32_t v) {
    std::uint32_t u = static_cast<std::uint32_t>(v);
    if (v < 0) {
        *p++ = '-';
        u = 0 - u;
    }
    return write_decimal(p, u);
}

}  // namespace tarvex
