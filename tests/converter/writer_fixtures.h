// Events and GPS records for the writer tests, and a stream whose bytes the
// test can read back.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>

#include "dat_format.h"
#include "log_event.h"

namespace tarvex::test {

// Runs `write` on a memory stream and returns every byte it wrote.
inline std::string written_by(const std::function<void(std::FILE*)>& write) {
    char* data = nullptr;
    std::size_t size = 0;
    std::FILE* f = open_memstream(&data, &size);
    write(f);
    std::fclose(f);
    std::string bytes(data, size);
    std::free(data);
    return bytes;
}

// A sample with every reading present unless the test says otherwise.
inline SensorSample reading(std::int32_t altitude = 500, std::int32_t temp = 215) {
    SensorSample s;
    s.abs_press = 101325;
    s.temp = temp;
    s.altitude = altitude;
    s.press_copy = 101325;
    s.accel_x = 0;
    s.accel_y = 0;
    s.accel_z = 2048;
    s.flags = 0;
    return s;
}

// A sensor event as the pipeline emits it: no smoothing, no climb rate.
inline LogEvent sensor_event(std::uint32_t ts, const SensorSample& s = reading()) {
    LogEvent ev;
    ev.type = static_cast<std::uint16_t>(EntryKind::SensorSample);
    ev.size = SENSOR_SAMPLE_PAYLOAD;
    ev.vid_timestamp = ts;
    encode_sensor_sample(ev.payload.data(), s);
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

inline LogEvent fix_record(const GpsFix& f) {
    LogEvent r;
    r.type = static_cast<std::uint16_t>(EntryKind::GpsFix);
    r.size = fix_off::min_size;
    encode_gps_fix(r.payload.data(), f);
    return r;
}

inline LogEvent nav_record(const GpsNavData& n, double dist_cm = 0.0) {
    LogEvent r;
    r.type = static_cast<std::uint16_t>(EntryKind::GpsNavData);
    r.size = nav_off::min_size;
    encode_gps_nav_data(r.payload.data(), n);
    r.dist = dist_cm;
    return r;
}

inline LogEvent fix2_record(std::uint16_t speed = 40) {
    LogEvent r;
    r.type = static_cast<std::uint16_t>(EntryKind::GpsFix2);
    r.size = fix2_off::min_size;
    r.payload[fix2_off::speed] = static_cast<std::uint8_t>(speed);
    r.payload[fix_off::gps_speed] = static_cast<std::uint8_t>(speed);
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
