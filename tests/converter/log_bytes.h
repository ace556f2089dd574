// Builds the entry part of a DAT log in memory and runs the event pipeline
// over it. The pipeline reads entries only (the driver has read the header
// before), so the streams here start with the first entry.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <vector>

#include "byte_order.h"
#include "dat_format.h"
#include "pipeline.h"

namespace tarvex::test {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<std::FILE, FileCloser>;

inline constexpr std::array<std::int16_t, 3> NO_AXES{-1, -1, -1};

class LogBytes {
public:
    LogBytes& entry(std::uint16_t type, std::uint16_t size, std::uint32_t ts,
                    const std::uint8_t* payload) {
        // `payload` holds at least `size` bytes.
        std::vector<std::uint8_t> buf(ENTRY_HEADER_SIZE + size);
        const std::size_t n = encode_log_entry(buf.data(), type, size, ts, payload);
        bytes_.insert(bytes_.end(), buf.begin(), buf.begin() + static_cast<std::ptrdiff_t>(n));
        return *this;
    }

    LogBytes& sample(std::uint32_t ts, std::int32_t altitude,
                     std::array<std::int16_t, 3> accel = NO_AXES) {
        SensorSample s;
        s.abs_press = 101325;
        s.temp = 215;
        s.altitude = altitude;
        s.press_copy = 101325;
        s.accel_x = accel[0];
        s.accel_y = accel[1];
        s.accel_z = accel[2];
        std::array<std::uint8_t, MAX_PAYLOAD> pl{};
        encode_sensor_sample(pl.data(), s);
        return entry(static_cast<std::uint16_t>(EntryKind::SensorSample),
                     static_cast<std::uint16_t>(SENSOR_SAMPLE_PAYLOAD), ts, pl.data());
    }

    LogBytes& fix(std::uint32_t ts, const GpsFix& f) {
        std::array<std::uint8_t, MAX_PAYLOAD> pl{};
        encode_gps_fix(pl.data(), f);
        return entry(static_cast<std::uint16_t>(EntryKind::GpsFix),
                     static_cast<std::uint16_t>(fix_off::min_size), ts, pl.data());
    }

    // A GpsFix told apart by its odometer reading (10 m units).
    LogBytes& fix_with_dist(std::uint32_t ts, std::int32_t dist) {
        GpsFix f;
        f.dist = dist;
        return fix(ts, f);
    }

    LogBytes& nav(std::uint32_t ts, const GpsNavData& n) {
        std::array<std::uint8_t, MAX_PAYLOAD> pl{};
        encode_gps_nav_data(pl.data(), n);
        return entry(static_cast<std::uint16_t>(EntryKind::GpsNavData),
                     static_cast<std::uint16_t>(nav_off::min_size), ts, pl.data());
    }

    // An entry header claiming no payload: an invalid entry.
    LogBytes& zero_size(std::uint32_t ts = 0) { return entry(240, 0, ts, nullptr); }

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

    FilePtr open() const {
        FilePtr f(std::tmpfile());
        if (f && !bytes_.empty()) {
            std::fwrite(bytes_.data(), 1, bytes_.size(), f.get());
        }
        if (f) {
            std::rewind(f.get());
        }
        return f;
    }

private:
    std::vector<std::uint8_t> bytes_;
};

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

inline std::int32_t altitude_of(const LogEvent& ev) {
    return load_le_i32(ev.payload.data() + sample_off::altitude);
}

// Runs next_event until it returns none. Like the driver, it rebases each
// event's timestamp after the pipeline has finished with it, so a pipeline
// that kept using the returned record would be caught.
inline std::vector<Emitted> run_pipeline(Pipeline& p, std::FILE* dat, const Settings& settings,
                                         const RunOptions& run = {},
                                         std::uint32_t rebase_by = 0) {
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
