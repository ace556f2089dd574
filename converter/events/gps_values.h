// Preparation of GPS records as they are read: odometer rebasing (GpsFix),
// speed copy (GpsFix2), distance accumulated from ECEF positions (GpsNavData).
#pragma once

#include <cstdint>

#include "byte_order.h"
#include "log_event.h"
#include "settings.h"
#include "wrap_arith.h"

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

namespace gps_detail {

inline constexpr std::int32_t ODOMETER_UNSET = -1;  // all ones

// A LogEvent's payload starts at a multiple of 4 bytes: whole-field access.
inline void rebase_odometer(GpsState& state, LogEvent& record) {
    std::uint8_t* pl = record.payload.data();
    const auto dist = static_cast<std::int32_t>(load_le_field<std::uint32_t, fix_off::dist, true>(pl));  // 10 m
    if (state.first_odometer == ODOMETER_UNSET) {
        state.first_odometer = dist;
    }
    store_le_field<std::uint32_t, fix_off::dist, true>(
        pl, static_cast<std::uint32_t>(wrap_sub(dist, state.first_odometer)));
}

inline void copy_fix2_speed(LogEvent& record) {
    const std::uint16_t speed = load_le16(record.payload.data() + fix2_off::speed);
    store_le16(record.payload.data() + fix_off::gps_speed, speed);
}

void accumulate_distance(GpsState& state, LogEvent& record, const Settings& settings);

}  // namespace gps_detail

// Inline, with the short preparations: the pipeline runs it for every GPS
// record, and on the camera the call cost as much as a GpsFix's rebasing.
inline void gps_preprocess(GpsState& state, LogEvent& record, const Settings& settings) {
    switch (static_cast<EntryKind>(record.type)) {
        case EntryKind::GpsFix: gps_detail::rebase_odometer(state, record); break;
        case EntryKind::GpsFix2: gps_detail::copy_fix2_speed(record); break;
        case EntryKind::GpsNavData: gps_detail::accumulate_distance(state, record, settings); break;
        default: break;  // other kinds travel unchanged
    }
}

// gps_preprocess writes no payload byte at or past this offset, whatever
// the record's size (a short record gets fields it did not bring).
inline constexpr std::size_t GPS_PREPARE_REACH = fix_off::gps_speed + 2;
static_assert(fix_off::dist + 4 <= GPS_PREPARE_REACH);

}  // namespace tarvex
