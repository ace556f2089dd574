#include "text_out.h"

namespace tarvex {

TextOut::TextOut(std::FILE* out)
    : out_(out), buf_(std::make_unique<char[]>(CAPACITY)), cur_(buf_.get()), end_(cur_ + CAPACITY) {}

void TextOut::attach(std::FILE* out) {
    flush();
    out_ = out;
}

void TextOut::flush() {
    const char* begin = buf_.get();
    if (cur_ > begin && out_ != nullptr) fwrite_unlocked(begin, 1, static_cast<std::size_t>(cur_ - begin), out_);
    cur_ = buf_.get();
}

void TextOut::put(const char* s, std::size_t n) {
    if (n > static_cast<std::size_t>(end_ - cur_)) {
        flush();
        if (n > CAPACITY) {
            if (out_ != nullptr) fwrite_unlocked(s, 1, n, out_);
            return;
        }
    }
    std::memcpy(cur_, s, n);
    cur_ += n;
}

void TextOut::repeat(char c, std::size_t n) {
    while (n > 0) {
        if (cur_ == end_) flush();
        std::size_t chunk = static_cast<std::size_t>(end_ - cur_);
        if (chunk > n) chunk = n;
        std::memset(cur_, c, chunk);
        cur_ += chunk;
        n -= chunk;
    }
}

void TextOut::vprintf(const char* fmt, std::va_list ap) {
    std::va_list again;
    va_copy(again, ap);
    const int n = std::vsnprintf(cur_, static_cast<std::size_t>(end_ - cur_), fmt, ap);
    if (n >= 0 && n < end_ - cur_) {
        cur_ += n;
    } else if (n >= 0) {
        // Did not fit behind what is buffered: the buffered bytes go first.
        flush();
        if (out_ != nullptr) std::vfprintf(out_, fmt, again);
    }
    va_end(again);
}

}  // namespace tarvex
