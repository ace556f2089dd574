// Buffered text output for the writers. Rows and entries are formatted in
// place into a buffer in front of a stdio stream, which gets the text in
// blocks of kilobytes: a stdio call or a room check per field costs more than
// the formatting itself. Each method writes exactly the bytes of the printf
// conversion named in its comment.
#pragma once

#include <cassert>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <type_traits>

#include "decimal_digits.h"
#include "fixed_point.h"

namespace tarvex {

// The buffer in front of one stream, with the writes that check for room:
// text of any length.
class TextOut {
public:
    // Room every Row gets: far more than any row or entry of the writers,
    // a bar of '|' excepted (which is a checked write).
    static constexpr std::size_t ROW_MAX = 1024;

    // Text for `out`; nullptr discards it (a stream can be attached later).
    explicit TextOut(std::FILE* out = nullptr);
    ~TextOut() { flush(); }
    TextOut(const TextOut&) = delete;
    TextOut& operator=(const TextOut&) = delete;

    // Sends what is buffered to the current stream, then writes to `out`.
    void attach(std::FILE* out);
    // Hands the buffered text to the stream.
    void flush();
    // Forgets the buffered text (its file is being thrown away).
    void drop() { cur_ = buf_.get(); }

    void put(const char* s, std::size_t n);
    void str(const char* s) { put(s, std::strlen(s)); }
    void repeat(char c, std::size_t n);
    // For the few double conversions ("%f", "%.4f"): the C library's own
    // rounding is the reference, so it formats them.
    void vprintf(const char* fmt, std::va_list ap);

    // For Row: ROW_MAX bytes of room from the returned position on, and the
    // end of what was written there.
    char* begin_row() {
        if (static_cast<std::size_t>(end_ - cur_) < ROW_MAX) flush();
        return cur_;
    }
    void end_row(char* end) { cur_ = end; }

private:
    // A long log writes tens of megabytes: blocks this large keep the
    // system calls few.
    static constexpr std::size_t CAPACITY = 32 * 1024;

    std::FILE* out_;
    std::unique_ptr<char[]> buf_;
    char* cur_;  // next byte to write
    char* end_;  // end of the buffer
};

// One row or entry being written into a TextOut without room checks: it
// takes ROW_MAX bytes of room up front, and the writer stays within them
// between checked writes (debug builds assert it). The write position is a
// local value, which the compiler keeps in a register; a position held in
// the TextOut would be reloaded after every byte stored.
class Row {
public:
    explicit Row(TextOut& t) : t_(t) { start(); }
    ~Row() { t_.end_row(p_); }
    Row(const Row&) = delete;
    Row& operator=(const Row&) = delete;

    void put(char c) {
        *p_++ = c;
        check();
    }
    // Literal text; the length is known at compile time.
    template <std::size_t N>
    void lit(const char (&s)[N]) {
        if constexpr (N - 1 > 64) {
            put(s, N - 1);  // a long text: checked
        } else {
            std::memcpy(p_, s, N - 1);
            p_ += N - 1;
            check();
        }
    }
    template <class T>
    void dec(T v) {  // "%d" / "%lld"
        static_assert(std::is_integral_v<T> && std::is_signed_v<T>);
        if constexpr (sizeof(T) <= 4) p_ = write_signed(p_, static_cast<std::int32_t>(v));
        else p_ = write_signed(p_, static_cast<std::int64_t>(v));
        check();
    }
    template <class T>
    void udec(T v) {  // "%u" / "%llu"
        static_assert(std::is_integral_v<T> && std::is_unsigned_v<T>);
        if constexpr (sizeof(T) <= 4) p_ = write_decimal(p_, static_cast<std::uint32_t>(v));
        else p_ = write_decimal(p_, static_cast<std::uint64_t>(v));
        check();
    }
    template <int WIDTH>
    void udec_padded(std::uint32_t v) {  // "%0*u", WIDTH <= 9
        p_ = write_decimal_padded<WIDTH>(p_, v);
        check();
    }
    // A GpsFix coordinate, "%d.%06d": whole degrees carry the sign, the
    // fraction is millionths of a degree.
    void degrees(std::int16_t whole, std::uint32_t millionths) {
        dec(whole);
        put('.');
        udec_padded<6>(millionths);
    }
    template <int PLACES>
    void fixed(std::int64_t v) {  // signed fixed-point form, write_fixed
        p_ = write_fixed<PLACES>(p_, v);
        check();
    }

    // The first n bytes of a literal of at least n; the whole literal is
    // stored (a fixed-size copy), the bytes past n being scratch.
    template <std::size_t N>
    void lit_prefix(const char (&s)[N], std::size_t n) {
        std::memcpy(p_, s, N - 1);
        p_ += n < N - 1 ? n : N - 1;
        check();
    }

    // Checked writes through the TextOut; the room is taken anew after them.
    void put(const char* s, std::size_t n) {
        t_.end_row(p_);
        t_.put(s, n);
        start();
    }
    void str(const char* s) { put(s, std::strlen(s)); }
    void repeat(char c, std::size_t n) {
        t_.end_row(p_);
        t_.repeat(c, n);
        start();
    }
    __attribute__((format(printf, 2, 3))) void printf(const char* fmt, ...) {
        t_.end_row(p_);
        std::va_list ap;
        va_start(ap, fmt);
        t_.vprintf(fmt, ap);
        va_end(ap);
        start();
    }

private:
    void start() {
        p_ = t_.begin_row();
#ifndef NDEBUG
        limit_ = p_ + TextOut::ROW_MAX;
#endif
    }
    void check() const {
#ifndef NDEBUG
        assert(p_ <= limit_);
#endif
    }

    TextOut& t_;
    char* p_;
#ifndef NDEBUG
    char* limit_;
#endif
};

// For callers holding a plain stream: runs `write` on a TextOut over `out`
// and hands the text over before returning; nothing when `out` is nullptr.
template <class Write>
void write_text(std::FILE* out, Write&& write) {
    if (out == nullptr) return;
    TextOut t(out);
    write(t);
}

}  // namespace tarvex
