// The event pipeline: reads log entries, holds 256 samples back as a
// look-ahead, attaches GPS records (lag-corrected), smooths altitude and
// acceleration with centred moving averages and derives the vertical speed.
#pragma once

#include <cstdint>
#include <cstdio>

#include "event_queue.h"
#include "gps_values.h"
#include "log_event.h"
#include "run_options.h"
#include "settings.h"

namespace tarvex {

struct FilterState {
    std::int32_t alt_seen = 0;
    std::int32_t alt_past_sum = 0;
    std::int32_t alt_past_count = 0;
    std::int32_t alt_future_count = 0;
    std::int32_t alt_future_sum = 0;
    std::int32_t alt_future_fill = 0;
    std::int32_t acc_seen = 0;
    std::int32_t acc_past_sum_x = 0;
    std::int32_t acc_past_sum_y = 0;
    std::int32_t acc_past_sum_z = 0;
    std::int32_t acc_past_count = 0;
    std::int32_t acc_future_sum_x = 0;
    std::int32_t acc_future_sum_y = 0;
    std::int32_t acc_future_sum_z = 0;
    std::int32_t acc_future_count = 0;
    std::int32_t acc_future_fill = 0;
};

// Everything the pipeline keeps for one run. The converter holds exactly one
// (static storage: three rings of 256 records, nothing allocated per entry).
struct Pipeline {
    EventQueue sample_queue;   // look-ahead: samples read, not yet emitted
    EventQueue gps_queue;      // GPS records read, not yet attached
    EventQueue history_queue;  // look-behind: copies of the last emitted samples
    FilterState filter;
    LogEvent cur_gps;          // own copy of the GPS record in effect
    bool have_cur_gps = false;
    GpsState gps;
    LogEvent current;          // the record last returned by next_event
};

// Next sample event of the file, or nullptr when file and look-ahead are
// exhausted. The returned record may be modified by the caller and stays
// valid until the next call.
LogEvent* next_event(Pipeline& p, std::FILE* dat, const Settings& settings, const RunOptions& run);

}  // namespace tarvex
