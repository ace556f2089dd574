// The event pipeline: reads log entries, holds 256 samples back as a
// look-ahead, attaches GPS records (lag-corrected), smooths altitude and
// acceleration with centred moving averages and derives the vertical speed.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>

#include "event_queue.h"
#include "gps_values.h"
#include "log_event.h"
#include "repeated_divisor.h"
#include "run_options.h"
#include "settings.h"

namespace tarvex {

// Running sums of one centred moving average over K values: the altitude,
// or the three acceleration axes, which share their counts. The past and
// the future window only ever appear added together, so they share one
// sum per value and one count.
template <std::size_t K>
struct WindowSums {
    bool started = false;               // a real value has been seen
    std::array<std::int32_t, K> sum{};  // of the real values in both windows, wrapping
    std::int32_t count = 0;             // real values in both windows
    std::int32_t future_fill = 0;       // places of the future window filled so far
    // The half-width (samples) for which the next sample finds the future
    // window filled and the history deep enough for the windows to move by
    // one sample, or -1; set by the general path. Once set it stays true,
    // and only the look-ahead's depth remains to be checked.
    std::int32_t moving_n = -1;
    RepeatedDivisor<> by_count;  // the averages' divisor, `count`
};

struct FilterState {
    WindowSums<1> altitude;
    WindowSums<3> accel;
};

// What the filters still need of an emitted sample: a few values instead of
// the whole record, and untouched by what the caller does to the record.
struct PastSample {
    std::uint32_t vid_timestamp = 0;        // ms, as read
    std::int32_t altitude = NO_VALUE;       // ft, adjusted
    std::int32_t filt_altitude = NO_VALUE;  // ft
    std::array<std::int16_t, 3> accel{};    // counts; -1 marks a missing axis
};

// The last 256 emitted samples, newest first.
struct PastSamples {
    std::array<PastSample, QUEUE_SLOTS> slots{};
    std::uint32_t newest = 0;  // slot of the newest sample
    std::uint32_t count = 0;
};

// Everything the pipeline keeps for one run. The converter holds exactly one
// (static storage: two rings of 256 records and one of 256 past samples,
// nothing allocated per entry).
struct Pipeline {
    EventQueue sample_queue;  // look-ahead: samples read, not yet emitted
    EventQueue gps_queue;     // GPS records read, not yet attached
    PastSamples history;      // look-behind: the last emitted samples
    FilterState filter;
    // The GPS record in effect, or none: in its slot of gps_queue, which
    // only a later record can claim, or in kept_gps once one has.
    const LogEvent* cur_gps = nullptr;
    LogEvent kept_gps;
    GpsState gps;
    LogReader reader;    // the log, read in blocks
    bool quiet = false;  // a first pass over a log: its messages are the real pass's to print
};

// Next sample event of the file, or nullptr when file and look-ahead are
// exhausted. The returned record may be modified by the caller and stays
// valid until the next call. The pipeline reads `dat` from its position at
// the first call on, in blocks: nothing else may read it meanwhile.
LogEvent* next_event(Pipeline& p, std::FILE* dat, const Settings& settings, const RunOptions& run);

}  // namespace tarvex
