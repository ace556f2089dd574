// Preparation of GPS records as they are read: odometer rebasing (GpsFix),
// speed copy (GpsFix2), distance accumulated from ECEF positions (GpsNavData).
#pragma once

#include <cstdint>

#include "log_event.h"
#include "settings.h"

namespace tarvex {

struct GpsState {
    std::int32_t first_odometer = -1;  // all ones: unset
    std::int32_t interval_count = 0;
    double total_dist = 0.0;       // cm
    std::uint32_t prev_tow = 0;    // 1/100 s
    std::int32_t prev_ecef_x = 0;  // cm; 0 means no previous position
    std::int32_t prev_ecef_y = 0;
    std::int32_t prev_ecef_z = 0;
};

void gps_preprocess(GpsState& state, LogEvent& record, const Settings& settings);

// gps_preprocess writes no payload byte at or past this offset, whatever
// the record's size (a short record gets fields it did not bring).
inline constexpr std::size_t GPS_PREPARE_REACH = fix_off::gps_speed + 2;
static_assert(fix_off::dist + 4 <= GPS_PREPARE_REACH);

}  // namespace tarvex
