// UTC times as text, for every program that shows one (the GPX track times,
// datview's reports). Proleptic Gregorian calendar in 64-bit integer
// arithmetic, without the C library: a 32-bit time_t on the camera would stop
// in 2038, and the camera has no floating point. Which times are worth
// showing is the caller's choice; any 64-bit time gets its text here.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvex {

// Room for the longest text and its NUL: a sign and a nine-digit year.
inline constexpr std::size_t UTC_TEXT_SIZE = 32;

// "2023-11-14T22:13:20.123Z" for Unix milliseconds. The year has at least
// four digits (and a '-' before years before 1, as printf's "%04lld").
void format_utc_iso_ms(std::int64_t unix_ms, char (&out)[UTC_TEXT_SIZE]);
// "2023-11-14 22:13:20 UTC" for Unix seconds, the year as above.
void format_utc_date_time(std::int64_t unix_s, char (&out)[UTC_TEXT_SIZE]);

}  // namespace tarvex
