// Buffered text output for the writers. Rows and entries are formatted in
// place into a buffer, which goes to a sink (an output file's checked write
// loop, or memory in tests) in blocks of kilobytes: a system call or a room
// check per field costs more than the formatting itself. Each method writes
// exactly the bytes of the printf conversion named in its comment.
//
// The rules of Row (debug builds assert them):
//   1. One Row open per TextOut at a time, and no write to the TextOut itself
//      while it is open: the Row's bytes belong to the TextOut only when it
//      is destroyed (or makes a checked write), so anything written between
//      would be overwritten.
//   2. A Row takes ROW_MAX bytes of room when it opens and after each checked
//      write; the unchecked writes between stay within them.
//   3. Any unchecked write may store up to SCRATCH_BYTES (decimal_digits.h)
//      past the end it leaves; the buffer holds that many bytes beyond its
//      capacity for them.
#pragma once

#include <cassert>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>
#include <type_traits>

#include "decimal_digits.h"
#include "degrees_e7.h"
#include "double_text.h"
#include "fixed_point.h"

namespace tarvex {

// Where a TextOut's text goes, in blocks. The sink keeps its own failures:
// the writers do not look at them (an output file reports its first).
class TextSink {
public:
    virtual void write(const char* bytes, std::size_t n) = 0;

protected:
    ~TextSink() = default;
};

// The buffer in front of one sink, with the writes that check for room:
// text of any length.
class TextOut {
public:
    // Room every Row gets: far more than any row or entry of the writers,
    // a bar of '|' excepted (which is a checked write).
    static constexpr std::size_t ROW_MAX = 1024;
    // A long log writes tens of megabytes: blocks this large keep the
    // system calls few.
    static constexpr std::size_t CAPACITY = 32 * 1024;

    // Text for `sink`; nullptr discards it.
    explicit TextOut(TextSink* sink = nullptr);
    ~TextOut() { flush(); }
    TextOut(const TextOut&) = delete;
    TextOut& operator=(const TextOut&) = delete;

    // Hands the buffered text to the sink.
    void flush();
    // Forgets the buffered text (its file is being thrown away).
    void drop() {
        assert(!row_open());
        cur_ = buf_.get();
    }

    void put(const char* s, std::size_t n);
    void str(const char* s) { put(s, std::strlen(s)); }
    void repeat(char c, std::size_t n);
    // "%.*f", any double.
    void put_fixed_double(double v, int places);
    // For the few double conversions ("%f", "%.4f"): the C library's own
    // rounding is the reference, so it formats them.
    void vprintf(const char* fmt, std::va_list ap);

    // For Row: ROW_MAX bytes of room (and SCRATCH_BYTES beyond) from the returned
    // position on; end_row gives the end of what was written there.
    char* begin_row() {
        assert(!row_open());
        if (static_cast<std::size_t>(end_ - cur_) < ROW_MAX) flush();
#ifndef NDEBUG
        row_open_ = true;
#endif
        return cur_;
    }
    void end_row(char* end) {
        assert(row_open() && end >= cur_ && end <= end_);
#ifndef NDEBUG
        row_open_ = false;
#endif
        cur_ = end;
    }

private:
    // vprintf's text of n bytes that did not fit behind the buffered text.
    [[gnu::noinline]] void put_formatted(std::size_t n, const char* fmt, std::va_list ap);

#ifndef NDEBUG
    bool row_open() const { return row_open_; }
    bool row_open_ = false;
#else
    static constexpr bool row_open() { return false; }
#endif

    TextSink* sink_;
    std::unique_ptr<char[]> buf_;  // CAPACITY + SCRATCH_BYTES
    char* cur_;                    // next byte to write
    char* end_;                    // end of the capacity
};

// One row or entry being written into a TextOut without room checks (see
// the rules above). The write position is a local value, which the compiler
// keeps in a register; a position held in the TextOut would be reloaded
// after every byte stored.
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
            copy_bytes<N - 1>(p_, s);
            p_ += N - 1;
            check();
        }
    }
    // The same, for a literal of 12 bytes or more, stored in whole words on
    // the camera (copy_literal). Used where measured to pay: in the CSV row
    // the alignment test cost more than it saved.
    template <std::size_t N>
    [[gnu::always_inline]] void lit_words(const char (&s)[N]) {
        static_assert(N - 1 <= 64);
        copy_literal(p_, s);
        p_ += N - 1;
        check();
    }
    template <class T>
    [[gnu::always_inline]] void dec(T v) {  // "%d" / "%lld"
        static_assert(std::is_integral_v<T> && std::is_signed_v<T>);
        if constexpr (sizeof(T) <= 4) {
            // Most readings have one or two digits: those without the call.
            const auto u = static_cast<std::uint32_t>(v);
            if (u < 100) {
                p_ = write_below_100(p_, u);
            } else {
                p_ = write_signed(p_, static_cast<std::int32_t>(v));
            }
        } else {
            p_ = write_signed(p_, static_cast<std::int64_t>(v));
        }
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
    [[gnu::always_inline]] void degrees(std::int16_t whole, std::uint32_t millionths) {
        dec(whole);
        put('.');
        udec_padded<6>(millionths);
    }
    // A GpsNavData coordinate in 1e-7 degree, "%f" of v / 10000000.0.
    void degrees_e7(std::int32_t v) {
        p_ = write_degrees_e7(p_, v);
        check();
    }
    template <int PLACES, class T>
    void fixed(T v) {  // signed fixed-point form, write_fixed
        // Every value of T must keep its sign and size in the form taken.
        static_assert(std::is_integral_v<T> && (std::is_signed_v<T> || sizeof(T) <= 4));
        if constexpr (std::is_signed_v<T> && sizeof(T) <= 4) p_ = write_fixed<PLACES>(p_, static_cast<std::int32_t>(v));
        else p_ = write_fixed<PLACES>(p_, static_cast<std::int64_t>(v));
        check();
    }

    // n times C for a short n (a bar of a sound reading): sixteen bytes per
    // copy, the last one's bytes past n being scratch.
    template <char C>
    void short_fill(std::size_t n) {
        static_assert(SCRATCH_BYTES >= 15);
        static constexpr char sixteen[16] = {C, C, C, C, C, C, C, C, C, C, C, C, C, C, C, C};
        for (std::size_t i = 0; i < n; i += 16) copy_bytes<16>(p_ + i, sixteen);
        p_ += n;
        check();
    }

    // "%.*f" with PLACES: the correctly rounded digits of the double's exact
    // binary value, as the C library's printf writes them (double_text.h).
    // From 2^50 on, and for inf and nan, std::to_chars in a checked write.
    template <int PLACES>
    void fixed_double(double v) {
        if (fixed_double_fits(v)) {
            p_ = write_fixed_double<PLACES>(p_, v);
            check();
        } else {
            t_.end_row(p_);
            t_.put_fixed_double(v, PLACES);
            start();
        }
    }

    // "%.*f" with PLACES of d / divisor for a distance d >= 0 in cm, where
    // divisor is UNIT cm times 10^PLACES: d rounded to whole UNITs, without
    // the camera's soft-float division. The quotient is within 2^-53 of
    // d / divisor relative, so times 10^PLACES it is within 2^-23 of
    // d / UNIT for every d < 2^30: the double's rounding can decide only
    // within UNIT 2^-23 cm (less than 2^-8 cm) of a half UNIT, and d < 2^30
    // is required; those still divide. Checked for every d below 2^30 by
    // bench/proofs/check_scaled_cm.cpp.
    template <int PLACES, std::uint32_t UNIT>
    void scaled_cm(double d, double divisor) {
        static_assert(PLACES >= 1 && PLACES <= 9 && UNIT >= 2 && UNIT % 2 == 0 && UNIT <= 32768);
        constexpr std::uint32_t MARGIN = 1u << 24;  // 2^-8 cm in the fraction's units
        std::uint64_t fixed = 0;
        if (fixed_32_32_below_2_30(d, fixed)) {
            const auto whole = static_cast<std::uint32_t>(fixed >> 32);
            const auto fraction = static_cast<std::uint32_t>(fixed);
            const std::uint32_t rest = whole % UNIT;
            const bool near_half =
                (rest == UNIT / 2 - 1 && fraction >= 0u - MARGIN) || (rest == UNIT / 2 && fraction <= MARGIN);
            if (!near_half) {
                constexpr std::uint32_t scale = digits_detail::pow10(PLACES);
                const std::uint32_t n = whole / UNIT + (rest >= UNIT / 2 ? 1 : 0);
                udec(n / scale);
                put('.');
                udec_padded<PLACES>(n % scale);
                return;
            }
        }
        fixed_double<PLACES>(d / divisor);
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

}  // namespace tarvex
