// GPS records are prepared once, as they are read and before the GPS lag is
// applied: odometer rebased to the file's first fix, GpsFix2 speed moved to
// where GpsFix keeps it, and distance accumulated from ECEF positions.
#include "gps_values.h"

#include <cmath>

#include "byte_order.h"
#include "wrap_arith.h"

namespace tarvex {

namespace gps_detail {

// One straight-line distance step every `gps_dist_interval` fixes; the fixes
// in between carry the running total unchanged.
void accumulate_distance(GpsState& state, LogEvent& record, const Settings& settings) {
    ++state.interval_count;
    if (state.interval_count < settings.gps_dist_interval) {
        record.dist = state.total_dist;
        return;
    }
    state.interval_count = 0;

    const std::uint8_t* pl = record.payload.data();
    const std::uint32_t tow = load_le_field<std::uint32_t, nav_off::time_of_week, true>(pl);            // 1/100 s
    const auto x = static_cast<std::int32_t>(load_le_field<std::uint32_t, nav_off::ecef_x, true>(pl));  // cm
    const auto y = static_cast<std::int32_t>(load_le_field<std::uint32_t, nav_off::ecef_y, true>(pl));
    const auto z = static_cast<std::int32_t>(load_le_field<std::uint32_t, nav_off::ecef_z, true>(pl));

    // Negative after a week rollover; the speed gate then does not apply.
    const auto dt = static_cast<std::int32_t>(tow - state.prev_tow);
    const double dx = wrap_sub(state.prev_ecef_x, x);
    const double dy = wrap_sub(state.prev_ecef_y, y);
    const double dz = wrap_sub(state.prev_ecef_z, z);
    double step = std::sqrt(dx * dx + dy * dy + dz * dz);  // cm

    // cm per 1/100 s is m/s; times 3.6 gives km/h.
    if (settings.gps_speed_limit != 0 && dt > 3) {
        // At or below limit * dt (exact while under 2^53) the quotient cannot
        // pass the limit: the camera's soft-float division (over a thousand
        // instructions) is left for steps that may.
        const double scaled = step * 3.6;
        const std::int64_t bound = std::int64_t{settings.gps_speed_limit} * dt;
        const bool below = bound < (std::int64_t{1} << 53) && bound > -(std::int64_t{1} << 53) &&
                           !(scaled > static_cast<double>(bound));
        if (!below && scaled / dt > settings.gps_speed_limit) {
            step = 0.0;
        }
    }
    // X exactly 0 stands for "no previous position" (first step of the run).
    if (state.prev_ecef_x != 0) {
        state.total_dist += step;
    }
    state.prev_ecef_x = x;
    state.prev_ecef_y = y;
    state.prev_ecef_z = z;
    state.prev_tow = tow;
    record.dist = state.total_dist;
}

}  // namespace gps_detail

}  // namespace tarvex
