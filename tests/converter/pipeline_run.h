// Runs the event pipeline over a stream of log entries (built with DatLog,
// without a header: the driver has read it before the pipeline starts) and
// keeps what it emitted.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "byte_order.h"
#include "dat_format.h"
#include "pipeline.h"

namespace tarvex::test {

// Settings with every smoothing off and no GPS lag; tests turn on what they test.
inline Settings plain_settings() {
    Settings s;
    s.alt_filter = 0;
    s.accel_filter = 0;
    s.speed_window = 0;
    s.gps_lag = 0;
    return s;
}

// One emitted event as the caller saw it, with a copy of the attached GPS
// record taken before the next call.
struct Emitted {
    LogEvent ev;
    std::optional<LogEvent> gps;
};

inline std::int32_t altitude_of(const LogEvent& ev) { return load_le_i32(ev.payload.data() + sample_off::altitude); }

// Runs next_event until it returns none. Like the driver, it rebases each
// event's timestamp after the pipeline has finished with it, so a pipeline
// that kept using the returned record would be caught.
inline std::vector<Emitted> run_pipeline(Pipeline& p, std::FILE* dat, const Settings& settings,
                                         const RunOptions& run = {}, std::uint32_t rebase_by = 0) {
    std::vector<Emitted> out;
    for (std::size_t guard = 0; guard < 1000000; ++guard) {
        LogEvent* ev = next_event(p, dat, settings, run);
        if (ev == nullptr) {
            break;
        }
        Emitted e{*ev, std::nullopt};
        if (ev->gps != nullptr) {
            e.gps = *ev->gps;
        }
        out.push_back(e);
        ev->vid_timestamp -= rebase_by;
    }
    return out;
}

inline std::unique_ptr<Pipeline> fresh_pipeline() { return std::make_unique<Pipeline>(); }

}  // namespace tarvex::test
