// Text helpers for datview. Calendar conversion goes through gmtime_r, the
// C library's own, so dates match what `date -u` shows.
#include "text_format.h"

#include <array>
#include <cstdio>
#include <ctime>
#include <limits>

#include "dat_format.h"
#include "printable_text.h"

namespace tarvex::datview {

namespace {

bool utc_parts(std::int64_t unix_s, std::tm& tm) {
    if (unix_s < std::numeric_limits<std::time_t>::min() || unix_s > std::numeric_limits<std::time_t>::max())
        return false;
    const auto t = static_cast<std::time_t>(unix_s);
    return gmtime_r(&t, &tm) != nullptr;
}

// Floor division, so that times before 1970 keep a positive millisecond part.
std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

}  // namespace

bool utc_iso(std::string& out, std::int64_t unix_ms) {
    const std::int64_t s = floor_div(unix_ms, 1000);
    std::tm tm{};
    if (!utc_parts(s, tm)) return false;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900LL, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(unix_ms - s * 1000));
    out = buf;
    return true;
}

bool utc_date_time(std::string& out, std::int64_t unix_s) {
    std::tm tm{};
    if (!utc_parts(unix_s, tm)) return false;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02d-%02d %02d:%02d:%02d UTC", tm.tm_year + 1900LL, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec);
    out = buf;
    return true;
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
