// Small text helpers shared by datview's reports: UTC calendar times, times
// since recording start, and escaping for JSON strings and XML text.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tarvex::datview {

// "2023-11-14T22:13:20.123Z", for any time.
std::string utc_iso(std::int64_t unix_ms);
// "2023-11-14 22:13:20 UTC", for any time.
std::string utc_date_time(std::int64_t unix_s);
// Time since recording start: "h:mm:ss.mmm".
std::string elapsed_text(std::int64_t ms);

// Text inside a JSON string. Bytes outside printable ASCII become \u00XX
// escapes (read as Latin-1), so any bytes give valid JSON.
std::string json_escape(std::string_view s);
// Text for XML character data and attribute values. Control bytes and bytes
// outside ASCII become '?': no header field can make the document invalid.
std::string xml_escape(std::string_view s);

// The 32-byte serial-number field up to its first NUL: as printable text
// (other bytes show as '?', as in the converter's outputs), or as the bytes.
std::string serial_text(const char* serial_field);
std::string serial_bytes(const char* serial_field);

}  // namespace tarvex::datview
