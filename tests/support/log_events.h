// Pipeline events and GPS records as the writers receive them, for the
// writer tests and benchmarks (targets that link the converter), and a
// memory sink whose bytes the test can read back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "byte_order.h"
#include "dat_log.h"
#include "log_event.h"
#include "text_out.h"

namespace tarvex::test {

// Every byte a TextOut hands over, in memory.
struct MemorySink final : TextSink {
    std::string bytes;
    void write(const char* b, std::size_t n) override { bytes.append(b, n); }
};

// Runs `write` on a TextOut over memory and returns every byte it wrote.
inline std::string written_by(const std::function<void(TextOut&)>& write) {
    MemorySink sink;
    {
        TextOut t(&sink);
        write(t);
    }
    return sink.bytes;
}

// An event holding `e`, nothing derived yet.
inline LogEvent event_of(const LogEntry& e) {
    LogEvent ev;
    static_cast<LogEntry&>(ev) = e;
    return ev;
}

// A sensor event as the pipeline emits it: no smoothing, no climb rate.
inline LogEvent sensor_event(std::uint32_t ts, const SensorSample& s = reading(500)) {
    LogEvent ev = event_of(sample_entry(ts, s));
    ev.filt_altitude = s.altitude;
    if (s.accel_x == -1 || s.accel_y == -1 || s.accel_z == -1) {
        ev.filt_accel_x = ev.filt_accel_y = ev.filt_accel_z = NO_ACCEL;
    } else {
        ev.filt_accel_x = s.accel_x;
        ev.filt_accel_y = s.accel_y;
        ev.filt_accel_z = s.accel_z;
    }
    ev.baro_vspeed = NO_VSPEED;
    ev.dist = NO_DIST;
    return ev;
}

inline LogEvent fix_record(const GpsFix& f) { return event_of(fix_entry(0, f)); }

inline LogEvent nav_record(const GpsNavData& n, double dist_cm = 0.0) {
    LogEvent r = event_of(nav_entry(0, n));
    r.dist = dist_cm;
    return r;
}

// As the pipeline hands it on: the speed also copied where a GpsFix has it.
inline LogEvent fix2_record(std::uint16_t speed = 40) {
    LogEvent r = event_of(fix2_entry(0, speed));
    store_le16(r.payload.data() + fix_off::gps_speed, speed);
    return r;
}

// Attaches `rec` to `ev` as the pipeline does; `fresh` is gps_new.
inline LogEvent& attach(LogEvent& ev, const LogEvent& rec, bool fresh = true) {
    ev.gps = &rec;
    ev.gps_new = fresh ? 1 : 0;
    ev.dist = rec.dist;
    return ev;
}

}  // namespace tarvex::test
