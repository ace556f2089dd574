// The record the event pipeline hands to the driver and the writers, and the
// 256-slot ring that holds such records.
#pragma once

#include <array>
#include <cstdint>

#include "dat_format.h"

namespace tarvex {

inline constexpr std::int32_t NO_ACCEL = INT32_MIN;          // 0x80000000: no smoothed axis
inline constexpr std::int32_t NO_VSPEED = -1000000000;       // no vertical speed
inline constexpr double NO_DIST = -1.0;                       // no GPS record attached

// A log entry plus what the pipeline derives for it. GPS records use the
// same shape; their `dist` is the running total of GpsNavData distances.
struct LogEvent : LogEntry {
    const LogEvent* gps = nullptr;   // attached GPS record, or none
    std::int32_t gps_new = 0;        // 1 when a GPS record was taken up at this event
    std::int32_t filt_altitude = NO_VALUE;
    std::int32_t filt_accel_x = NO_ACCEL;
    std::int32_t filt_accel_y = NO_ACCEL;
    std::int32_t filt_accel_z = NO_ACCEL;
    std::int32_t baro_vspeed = NO_VSPEED;
    double dist = 0.0;               // cm
};

inline constexpr std::uint32_t QUEUE_SLOTS = 256;

struct EventQueue {
    std::array<LogEvent, QUEUE_SLOTS> slots{};
    std::uint32_t head = 0;   // slot of the oldest record
    std::uint32_t tail = 0;   // slot the next record goes into
    std::uint32_t count = 0;
};

// Each prints its error message and fails when the queue cannot comply.
int queue_push(EventQueue& q, const LogEvent& ev);                     // 0 or -1
LogEvent* queue_pop(EventQueue& q);                                    // or nullptr
LogEvent* queue_peek_front(EventQueue& q, std::uint32_t i);            // i-th oldest, or nullptr
LogEvent* queue_peek_back(EventQueue& q, std::uint32_t i);             // i-th newest, or nullptr

}  // namespace tarvex
