// Buffered text output for the writers. Rows and entries are formatted in
// place into a buffer in front of a stdio stream, which gets the text in
// blocks of kilobytes: a stdio call or a room check per field costs more than
// the formatting itself. Each method writes exactly the bytes of the printf
// conversion named in its comment.
#pragma once

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <type_traits>

#include "decimal_digits.h"
#include "fixed_point.h"

namespace tarvex {

// Two kinds of writes:
// - checked ones (text of any length: str, put with a length, repeat,
//   printf, flush) make room as they go, and leave ROW_MAX bytes of room;
// - unchecked ones (single characters, short literals, numbers) write
//   straight into that room. A writer calls reserve() at the start of each
//   row or entry, and writes at most ROW_MAX bytes with them before the next
//   checked write or reserve() (debug builds assert it).
class TextOut {
public:
    // Far more than any row or entry of the writers, a bar of '|' excepted
    // (which is a checked write).
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
    void drop() { cur_ = limit_ = buf_.get(); }

    void reserve() {
        if (static_cast<std::size_t>(end_ - cur_) < ROW_MAX) flush();
        limit_ = cur_ + ROW_MAX;
    }

    // ---- Unchecked writes.
    void put(char c) {
        *cur_++ = c;
        assert(cur_ <= limit_);
    }
    // Literal text; the length is known at compile time.
    template <std::size_t N>
    void lit(const char (&s)[N]) {
        if constexpr (N - 1 > 64) {
            put(s, N - 1);  // a long text: checked
        } else {
            std::memcpy(cur_, s, N - 1);
            cur_ += N - 1;
            assert(cur_ <= limit_);
        }
    }
    template <class T>
    void dec(T v) {  // "%d" / "%lld"
        static_assert(std::is_integral_v<T> && std::is_signed_v<T>);
        if constexpr (sizeof(T) <= 4) cur_ = write_signed(cur_, static_cast<std::int32_t>(v));
        else cur_ = write_signed(cur_, static_cast<std::int64_t>(v));
        assert(cur_ <= limit_);
    }
    template <class T>
    void udec(T v) {  // "%u" / "%llu"
        static_assert(std::is_integral_v<T> && std::is_unsigned_v<T>);
        if constexpr (sizeof(T) <= 4) cur_ = write_decimal(cur_, static_cast<std::uint32_t>(v));
        else cur_ = write_decimal(cur_, static_cast<std::uint64_t>(v));
        assert(cur_ <= limit_);
    }
    template <int WIDTH>
    void udec_padded(std::uint32_t v) {  // "%0*u", WIDTH <= 9
        cur_ = write_decimal_padded<WIDTH>(cur_, v);
        assert(cur_ <= limit_);
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
        cur_ = write_fixed<PLACES>(cur_, v);
        assert(cur_ <= limit_);
    }
    void fixed(std::int64_t v, int places) {
        cur_ = write_fixed(cur_, v, places);
        assert(cur_ <= limit_);
    }

    // ---- Checked writes.
    void put(const char* s, std::size_t n);
    void str(const char* s) { put(s, std::strlen(s)); }
    void repeat(char c, std::size_t n);
    // For the few double conversions ("%f", "%.4f"): the C library's own
    // rounding is the reference, so it formats them.
    __attribute__((format(printf, 2, 3))) void printf(const char* fmt, ...);

private:
    // A long log writes tens of megabytes: blocks this large keep the
    // system calls few.
    static constexpr std::size_t CAPACITY = 32 * 1024;

    std::FILE* out_;
    std::unique_ptr<char[]> buf_;
    char* cur_;    // next byte to write
    char* end_;    // end of the buffer
    char* limit_;  // end of the room the unchecked writes may use
};

// For callers holding a plain stream: runs `write` on a TextOut over `out`
// and hands the text over before returning; nothing when `out` is nullptr.
template <class Write>
void write_text(std::FILE* out, Write&& write) {
    if (out == nullptr) return;
    TextOut t(out);
    t.reserve();
    write(t);
}

}  // namespace tarvex
