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

#include "decimal_digits.h"
#include "fixed_point.h"

namespace tarvex {

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
