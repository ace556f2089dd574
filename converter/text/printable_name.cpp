#include "printable_name.h"

#include <cstdint>
#include <cstdio>

namespace tarvex {

namespace {

// Length of the valid UTF-8 sequence at the start of `s` (2 to 4 bytes), or 0.
std::size_t utf8_sequence(std::string_view s) {
    const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(s[i]); };
    const std::uint8_t lead = byte(0);
    std::size_t len = 0;
    std::uint32_t min = 0, code = 0;
    if (lead >= 0xC2 && lead <= 0xDF) len = 2, min = 0x80, code = lead & 0x1Fu;
    else if (lead >= 0xE0 && lead <= 0xEF) len = 3, min = 0x800, code = lead & 0x0Fu;
    else if (lead >= 0xF0 && lead <= 0xF4) len = 4, min = 0x10000, code = lead & 0x07u;
    else return 0;
    if (s.size() < len) return 0;
    for (std::size_t i = 1; i < len; ++i) {
        if ((byte(i) & 0xC0u) != 0x80u) return 0;
        code = (code << 6) | (byte(i) & 0x3Fu);
    }
    // Overlong forms, UTF-16 surrogates and code points past U+10FFFF are not text.
    if (code < min || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return 0;
    return len;
}

}  // namespace

std::string printable_name(std::string_view raw) {
    std::string out;
    out.reserve(raw.size());
    for (std::size_t i = 0; i < raw.size();) {
        const auto c = static_cast<std::uint8_t>(raw[i]);
        if (c == '\\') {
            out += "\\\\";
            ++i;
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
            ++i;
        } else if (const std::size_t len = c >= 0x80 ? utf8_sequence(raw.substr(i)) : 0; len > 0) {
            out.append(raw.substr(i, len));
            i += len;
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
            ++i;
        }
    }
    return out;
}

}  // namespace tarvex
