// The readings a ride plot shows, gathered from one run of the converter's
// event pipeline (the same smoothing, GPS matching and settings as a
// conversion) and reduced to the plot's pixel columns as they arrive.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "column_buckets.h"
#include "dat_format.h"
#include "ride_stats.h"
#include "settings.h"
#include "units.h"

namespace tarvex::datview {

// Display units, from the settings' unit choices ("hidden" takes the default).
struct PlotUnits {
    const char* altitude = "ft";
    double per_foot = 1.0;  // altitude units per foot
    const char* climb = "ft/s";
    const char* speed = "mph";
    double per_kmh = 1.0 / KM_PER_MILE;  // speed units per km/h
};
PlotUnits plot_units(const Settings& settings);

struct RideSeries {
    explicit RideSeries(std::size_t columns)
        : alt_raw(columns), alt_smooth(columns), climb(columns), accel_raw(columns), accel_smooth(columns),
          gps_speed(columns) {}
    ColumnSeries alt_raw, alt_smooth;      // altitude units
    ColumnSeries climb;                    // altitude units per second
    ColumnSeries accel_raw, accel_smooth;  // G, magnitude
    ColumnSeries gps_speed;                // speed units, at fresh fixes only
};

// Samples over which the climb rate is taken when the settings' speed_window
// is 0 (about one second at the recorder's ten samples per second).
inline constexpr std::int32_t DEFAULT_CLIMB_WINDOW = 10;

struct RideData {
    explicit RideData(std::size_t columns) : series(columns) {}
    DatHeader header;
    std::uint64_t samples = 0;
    std::int64_t t0_ms = 0, t1_ms = 0;  // first and last sample time
    bool has_gps = false;               // the log holds GPS entries
    Settings settings;                  // as loaded, filter levels resolved
    std::int32_t climb_window = DEFAULT_CLIMB_WINDOW;
    PlotUnits units;
    std::vector<RideChapter> chapters;
    bool video_given = false;  // chapters were asked for (-v), whether found or not
    RideSeries series;
    RideReport report;  // statistics, highlights (placed in the chapters) and the GPS track
};

// Reads the log twice: its time span first, then the pipeline's events.
// `ride.settings` holds the loaded settings; their filter levels are resolved
// here for the log's hardware, as a conversion does. False when the log
// cannot be read.
bool collect_ride(const char* log_path, RideData& ride, bool high_g);

}  // namespace tarvex::datview
