// Text helpers for datview. Calendar times are the converter's UTC text.
#include "text_format.h"

#include <array>
#include <cstdio>

#include "dat_format.h"
#include "printable_text.h"
#include "utc_text.h"

namespace tarvex::datview {

std::string utc_iso(std::int64_t unix_ms) {
    char text[UTC_TEXT_SIZE];
    format_utc_iso_ms(unix_ms, text);
    return text;
}

std::string utc_date_time(std::int64_t unix_s) {
    char text[UTC_TEXT_SIZE];
    format_utc_date_time(unix_s, text);
    return text;
}

std::string elapsed_text(std::int64_t ms) {
    const char* sign = ms < 0 ? "-" : "";
    const std::uint64_t m = ms < 0 ? 0 - static_cast<std::uint64_t>(ms) : static_cast<std::uint64_t>(ms);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%s%llu:%02llu:%02llu.%03llu", sign, static_cast<unsigned long long>(m / 3600000),
                  static_cast<unsigned long long>(m / 60000 % 60), static_cast<unsigned long long>(m / 1000 % 60),
                  static_cast<unsigned long long>(m % 1000));
    return buf;
}

std::string json_escape(std::string_view s) {
    std::string out;
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out;
}

std::string xml_escape(std::string_view s) {
    std::string out;
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
            case '&': out += "&amp;"; break;
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '"': out += "&quot;"; break;
            case '\'': out += "&apos;"; break;
            default: out += (c < 0x20 || c >= 0x7F) ? '?' : ch; break;
        }
    }
    return out;
}

std::string serial_text(const char* serial_field) {
    std::array<char, DAT_SERIAL_SIZE + 1> out{};
    return printable_copy(out.data(), serial_field, DAT_SERIAL_SIZE);
}

std::string serial_bytes(const char* serial_field) {
    std::string s;
    for (std::size_t i = 0; i < DAT_SERIAL_SIZE && serial_field[i] != '\0'; ++i) s += serial_field[i];
    return s;
}

}  // namespace tarvex::datview
