// UTC times for GPX track points: GPS week time to Unix milliseconds, and
// the ISO 8601 text that GPX and its readers expect for the times worth
// showing.
// Integer arithmetic only: the camera's processor has no floating point.
#pragma once

#include <cstdint>
#include <optional>

#include "utc_text.h"

namespace tarvex {

// GPS `week` and time of week in 1/100 s to Unix milliseconds (UTC).
std::int64_t gps_week_to_unix_ms(std::uint16_t week, std::uint32_t time_of_week);

// A time a track point may carry: from 2000-01-01 up to, not including,
// 2100-01-01. Zero and anything outside are a receiver without a fix yet,
// or a damaged record.
bool is_usable_utc_ms(std::int64_t unix_ms);

// The track point text of a usable time ("YYYY-MM-DDTHH:MM:SS.mmmZ" and a
// NUL); false, and nothing written, for any other time.
constexpr std::size_t ISO_TIME_SIZE = UTC_TEXT_SIZE;
bool format_iso_utc_ms(std::int64_t unix_ms, char (&out)[ISO_TIME_SIZE]);

}  // namespace tarvex
