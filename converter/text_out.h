// Buffered text output for the writers: numbers are formatted by hand into a
// stack buffer that goes to the stream with one fwrite, because printf per
// field costs more than the rest of a conversion. Each method writes exactly
// the bytes of the printf conversion named in its comment.
#pragma once

#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "fixed_point.h"

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

// Collects one entry or row and hands it to the stream in as few fwrite calls
// as possible; flushes early only when a piece would not fit.
class TextOut {
public:
    explicit TextOut(std::FILE* out) : out_(out) {}
    ~TextOut() { flush(); }
    TextOut(const TextOut&) = delete;
    TextOut& operator=(const TextOut&) = delete;

    void flush() {
        if (len_ > 0) fwrite_unlocked(buf_, 1, len_, out_);
        len_ = 0;
    }

    void put(char c) {
        room(1);
        buf_[len_++] = c;
    }
    void put(const char* s, std::size_t n) {
        if (n > CAPACITY) {
            flush();
            std::fwrite(s, 1, n, out_);
            return;
        }
        room(n);
        std::memcpy(buf_ + len_, s, n);
        len_ += n;
    }
    // Literal text; the length is known at compile time.
    template <std::size_t N>
    void lit(const char (&s)[N]) {
        put(s, N - 1);
    }
    void str(const char* s) { put(s, std::strlen(s)); }

    void repeat(char c, std::size_t n) {
        while (n > 0) {
            room(1);
            std::size_t chunk = CAPACITY - len_;
            if (chunk > n) chunk = n;
            std::memset(buf_ + len_, c, chunk);
            len_ += chunk;
            n -= chunk;
        }
    }

    void dec(std::int64_t v) {  // "%d" / "%lld"
        room(NUMBER_MAX);
        len_ = static_cast<std::size_t>(write_signed(buf_ + len_, v) - buf_);
    }
    void udec(std::uint64_t v) {  // "%u" / "%llu"
        room(NUMBER_MAX);
        len_ = static_cast<std::size_t>(write_decimal(buf_ + len_, v) - buf_);
    }
    void udec_padded(std::uint64_t v, int width) {  // "%0*u", width <= 20
        room(NUMBER_MAX);
        len_ = static_cast<std::size_t>(write_decimal_padded(buf_ + len_, v, width) - buf_);
    }
    // A GpsFix coordinate, "%d.%06d": whole degrees carry the sign, the
    // fraction is millionths of a degree.
    void degrees(std::int16_t whole, std::uint32_t millionths) {
        dec(whole);
        put('.');
        udec_padded(millionths, 6);
    }
    void fixed(std::int64_t v, int places) {  // signed fixed-point form
        room(NUMBER_MAX);
        len_ += static_cast<std::size_t>(format_fixed(buf_ + len_, v, places));
    }

    // For the few double conversions ("%f", "%.4f"): the C library's own
    // rounding is the reference, so it formats them.
    __attribute__((format(printf, 2, 3))) void printf(const char* fmt, ...) {
        std::va_list ap;
        va_start(ap, fmt);
        std::va_list again;
        va_copy(again, ap);
        const int n = std::vsnprintf(buf_ + len_, CAPACITY - len_, fmt, ap);
        va_end(ap);
        if (n >= 0 && static_cast<std::size_t>(n) < CAPACITY - len_) {
            len_ += static_cast<std::size_t>(n);
        } else if (n >= 0) {
            // Did not fit behind what is buffered: the buffered bytes go first.
            flush();
            std::vfprintf(out_, fmt, again);
        }
        va_end(again);
    }

private:
    static constexpr std::size_t CAPACITY = 1024;
    static constexpr std::size_t NUMBER_MAX = 32;  // sign, 20 digits, point, padding

    void room(std::size_t n) {
        if (len_ + n > CAPACITY) flush();
    }

    std::FILE* out_;
    std::size_t len_ = 0;
    char buf_[CAPACITY];
};

}  // namespace tarvex
