#include "json_text.h"

#include <cstdio>

namespace tarvex {

std::string json_escape(std::string_view s, JsonPlace place) {
    std::string out;
    out.reserve(s.size());
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        const bool html = place == JsonPlace::HtmlScript && (c == '<' || c == '>' || c == '&');
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7F || html) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out;
}

}  // namespace tarvex
