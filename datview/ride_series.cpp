// Gathering a ride: the pipeline gives each sample with its smoothed
// altitude and acceleration and the GPS record in effect; the climb rate is
// the smoothed altitude's change over `climb_window` samples, in floating
// point (the pipeline's own vertical speed is whole feet per second).
#include "ride_series.h"

#include <array>
#include <cmath>
#include <memory>

#include "byte_order.h"
#include "log_settings.h"
#include "log_walk.h"
#include "pipeline.h"

namespace tarvex::datview {

namespace {

std::size_t column_of(std::int64_t t, const RideData& r, std::size_t columns) {
    const std::int64_t span = r.t1_ms - r.t0_ms + 1;
    return static_cast<std::size_t>((t - r.t0_ms) * static_cast<std::int64_t>(columns) / span);
}

// Speed of a GPS record in km/h, or false for kinds without one.
bool gps_speed_kmh(const LogEvent& g, double& kmh) {
    switch (static_cast<EntryKind>(g.type)) {
        case EntryKind::GpsFix:
        case EntryKind::GpsFix2:  // its speed was moved to the GpsFix place when read
            kmh = load_le_i16(g.payload.data() + fix_off::gps_speed);
            return true;
        case EntryKind::GpsNavData: kmh = load_le_i32(g.payload.data() + nav_off::h_speed); return true;
        default: return false;
    }
}

bool scan_span(const char* path, RideData& r) {
    LogWalk walk(path);
    if (walk.status() != HeaderStatus::Ok) return false;
    r.header = walk.header();
    WalkedEntry e;
    while (walk.next(e)) {
        if (e.problem == EntryProblem::ZeroSize || e.problem == EntryProblem::CutOff ||
            e.problem == EntryProblem::UnknownKind)
            continue;
        if (e.type != static_cast<std::uint16_t>(EntryKind::SensorSample)) {
            r.has_gps = true;
            continue;
        }
        const std::int64_t t = e.vid_timestamp;
        if (r.samples == 0 || t < r.t0_ms) r.t0_ms = t;
        if (r.samples == 0 || t > r.t1_ms) r.t1_ms = t;
        ++r.samples;
    }
    return true;
}

}  // namespace

PlotUnits plot_units(const Settings& s) {
    PlotUnits u;
    if (s.altitude == altitude_unit::METRES) {
        u.altitude = "m";
        u.per_foot = METRES_PER_FOOT;
        u.climb = "m/s";
    }
    if (s.gps_speed == speed_unit::KMH) {
        u.speed = "km/h";
        u.per_kmh = 1.0;
    }
    return u;
}

bool collect_ride(const char* log_path, RideData& r, bool high_g) {
    if (!scan_span(log_path, r)) return false;
    settings_for_log(r.settings, r.header, nullptr);
    r.units = plot_units(r.settings);
    r.climb_window = r.settings.speed_window > 0 ? r.settings.speed_window : DEFAULT_CLIMB_WINDOW;

    std::FILE* f = std::fopen(log_path, "rb");
    if (f == nullptr) return false;
    std::array<char, 64 * 1024> buffer;
    std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
    if (std::fseek(f, static_cast<long>(DAT_HEADER_SIZE), SEEK_SET) != 0) {
        std::fclose(f);
        return false;
    }
    const double per_g = counts_per_g(high_g);
    const std::size_t columns = r.series.climb.columns();
    // Smoothed altitudes (ft) of the last climb_window + 1 samples.
    struct Past {
        std::int64_t t_ms;
        std::int32_t alt;
    };
    std::vector<Past> past(static_cast<std::size_t>(r.climb_window) + 1);
    std::uint64_t n = 0;
    auto pipeline = std::make_unique<Pipeline>();  // three rings of 256 records
    const RunOptions run;
    while (const LogEvent* ev = next_event(*pipeline, f, r.settings, run)) {
        const std::int64_t t = ev->vid_timestamp;
        const std::size_t col = column_of(t, r, columns);
        const SensorSample s = decode_sensor_sample(ev->payload.data());
        if (s.altitude != NO_VALUE) r.series.alt_raw.add(col, t, s.altitude * r.units.per_foot);
        if (ev->filt_altitude != NO_VALUE) r.series.alt_smooth.add(col, t, ev->filt_altitude * r.units.per_foot);
        if (!(s.accel_x == -1 && s.accel_y == -1 && s.accel_z == -1)) {  // all -1: no reading
            const double x = s.accel_x, y = s.accel_y, z = s.accel_z;
            r.series.accel_raw.add(col, t, std::sqrt(x * x + y * y + z * z) / per_g);
        }
        if (ev->filt_accel_x != NO_ACCEL && ev->filt_accel_y != NO_ACCEL && ev->filt_accel_z != NO_ACCEL) {
            const double x = ev->filt_accel_x, y = ev->filt_accel_y, z = ev->filt_accel_z;
            r.series.accel_smooth.add(col, t, std::sqrt(x * x + y * y + z * z) / per_g);
        }
        const std::size_t slot = n % past.size();
        if (n >= past.size() - 1) {
            const Past& old = past[(n + 1) % past.size()];  // climb_window samples back
            if (ev->filt_altitude != NO_VALUE && old.alt != NO_VALUE && t > old.t_ms) {
                const double feet = static_cast<double>(ev->filt_altitude) - old.alt;
                r.series.climb.add(col, t, feet * r.units.per_foot * 1000.0 / static_cast<double>(t - old.t_ms));
            }
        }
        past[slot] = {t, ev->filt_altitude};
        ++n;
        double kmh = 0.0;
        if (ev->gps != nullptr && ev->gps_new == 1 && gps_speed_kmh(*ev->gps, kmh))
            r.series.gps_speed.add(col, t, kmh * r.units.per_kmh);
    }
    std::fclose(f);
    return true;
}

}  // namespace tarvex::datview
