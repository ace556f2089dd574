// The record the event pipeline hands to the driver and the writers, and the
// in-band markers of what it could not derive.
#pragma once

#include <cstdint>

#include "dat_format.h"

namespace tarvex {

inline constexpr std::int32_t NO_ACCEL = INT32_MIN;     // 0x80000000: no smoothed axis
inline constexpr std::int32_t NO_VSPEED = -1000000000;  // no vertical speed
inline constexpr double NO_DIST = -1.0;                 // no GPS record attached

struct LogEvent;

// What the pipeline derives for an entry.
struct Derivations {
    const LogEvent* gps = nullptr;  // attached GPS record, or none
    std::int32_t gps_new = 0;       // 1 when a GPS record was taken up at this event
    std::int32_t filt_altitude = NO_VALUE;
    std::int32_t filt_accel_x = NO_ACCEL;
    std::int32_t filt_accel_y = NO_ACCEL;
    std::int32_t filt_accel_z = NO_ACCEL;
    std::int32_t baro_vspeed = NO_VSPEED;
    double dist = 0.0;  // cm
};

// A log entry plus what the pipeline derives for it. GPS records use the
// same shape; their `dist` is the running total of GpsNavData distances.
struct LogEvent : LogEntry, Derivations {};

}  // namespace tarvex
