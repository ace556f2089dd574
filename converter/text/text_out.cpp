#include "text_out.h"

#include <charconv>
#include <cstdio>

namespace tarvex {

TextOut::TextOut(TextSink* sink)
    : sink_(sink), buf_(std::make_unique<char[]>(CAPACITY + SCRATCH_BYTES)), cur_(buf_.get()), end_(cur_ + CAPACITY) {}

void TextOut::flush() {
    assert(!row_open());
    const char* begin = buf_.get();
    if (cur_ > begin && sink_ != nullptr) sink_->write(begin, static_cast<std::size_t>(cur_ - begin));
    cur_ = buf_.get();
}

void TextOut::put(const char* s, std::size_t n) {
    assert(!row_open());
    if (n > static_cast<std::size_t>(end_ - cur_)) {
        flush();
        if (n > CAPACITY) {
            if (sink_ != nullptr) sink_->write(s, n);
            return;
        }
    }
    std::memcpy(cur_, s, n);
    cur_ += n;
}

void TextOut::repeat(char c, std::size_t n) {
    assert(!row_open());
    while (n > 0) {
        if (cur_ == end_) flush();
        std::size_t chunk = static_cast<std::size_t>(end_ - cur_);
        if (chunk > n) chunk = n;
        std::memset(cur_, c, chunk);
        cur_ += chunk;
        n -= chunk;
    }
}

void TextOut::put_fixed_double(double v, int places) {
    // The longest: a sign, 309 digits of the largest double, '.', 9 places.
    char text[330];
    const auto r = std::to_chars(text, text + sizeof text, v, std::chars_format::fixed, places);
    put(text, static_cast<std::size_t>(r.ptr - text));
}

void TextOut::vprintf(const char* fmt, std::va_list ap) {
    assert(!row_open());
    std::va_list again;
    va_copy(again, ap);
    const auto room = static_cast<std::size_t>(end_ - cur_);
    const int n = std::vsnprintf(cur_, room, fmt, ap);
    if (n >= 0 && static_cast<std::size_t>(n) < room) cur_ += n;
    else if (n >= 0) put_formatted(static_cast<std::size_t>(n), fmt, again);
    va_end(again);
}

void TextOut::put_formatted(std::size_t n, const char* fmt, std::va_list ap) {
    // The buffered bytes go first, then the text, formatted once more where
    // it fits.
    flush();
    if (n < CAPACITY) {
        std::vsnprintf(cur_, n + 1, fmt, ap);
        cur_ += n;
    } else {
        const auto text = std::make_unique<char[]>(n + 1);
        std::vsnprintf(text.get(), n + 1, fmt, ap);
        if (sink_ != nullptr) sink_->write(text.get(), n);
    }
}

}  // namespace tarvex
