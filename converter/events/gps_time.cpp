// GPS week time runs ahead of UTC by the leap seconds added since the GPS
// epoch; the table below turns one into the other.
#include "gps_time.h"

#include <array>

namespace tarvex {

namespace {

constexpr std::int64_t MS_PER_S = 1000;
constexpr std::int64_t S_PER_DAY = 86400;
constexpr std::int64_t S_PER_WEEK = 7 * S_PER_DAY;
constexpr std::int64_t GPS_EPOCH_UNIX_S = 315964800;             // 1980-01-06T00:00:00Z
constexpr std::int64_t USABLE_FROM_MS = 946684800 * MS_PER_S;    // 2000-01-01T00:00:00Z
constexpr std::int64_t USABLE_UNTIL_MS = 4102444800 * MS_PER_S;  // 2100-01-01T00:00:00Z

// GPS minus UTC, in seconds, from the UTC instant each value took effect.
// Older steps are left out: times before 2000 are not usable anyway.
// Current as of 2026-12: no leap second has been added since 2017-01-01;
// a new one goes at the end.
struct LeapStep {
    std::int64_t utc_s;  // Unix seconds of the first UTC second with this offset
    std::int32_t gps_minus_utc;
};
constexpr std::array<LeapStep, 6> LEAP_STEPS = {{
    {915148800, 13},   // 1999-01-01
    {1136073600, 14},  // 2006-01-01
    {1230768000, 15},  // 2009-01-01
    {1341100800, 16},  // 2012-07-01
    {1435708800, 17},  // 2015-07-01
    {1483228800, 18},  // 2017-01-01
}};

}  // namespace

std::int64_t gps_week_to_unix_ms(std::uint16_t week, std::uint32_t time_of_week) {
    const std::int64_t gps_ms =
        (GPS_EPOCH_UNIX_S + week * S_PER_WEEK) * MS_PER_S + static_cast<std::int64_t>(time_of_week) * 10;
    std::int32_t offset = LEAP_STEPS.front().gps_minus_utc - 1;
    for (const LeapStep& step : LEAP_STEPS) {
        // In GPS time a step starts at its UTC instant plus the new offset;
        // the second before it is the inserted leap second, 23:59:60 UTC.
        const std::int64_t step_gps_ms = (step.utc_s + step.gps_minus_utc) * MS_PER_S;
        if (gps_ms >= step_gps_ms) {
            offset = step.gps_minus_utc;
        } else if (gps_ms >= step_gps_ms - MS_PER_S) {
            // Unix time cannot name the leap second: hold at the last
            // millisecond before midnight, so times never run backwards.
            return step.utc_s * MS_PER_S - 1;
        }
    }
    return gps_ms - offset * MS_PER_S;
}

bool is_usable_utc_ms(std::int64_t unix_ms) { return unix_ms >= USABLE_FROM_MS && unix_ms < USABLE_UNTIL_MS; }

bool format_iso_utc_ms(std::int64_t unix_ms, char (&out)[ISO_TIME_SIZE]) {
    if (!is_usable_utc_ms(unix_ms)) return false;
    format_utc_iso_ms(unix_ms, out);
    return true;
}

}  // namespace tarvex
