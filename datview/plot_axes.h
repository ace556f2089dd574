// Axis scales with round tick values: 1, 2 or 5 times a power of ten for
// readings, whole seconds, minutes or hours for time.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace tarvex::datview {

struct ValueAxis {
    double lo = 0.0, hi = 1.0;  // the axis ends, both on ticks
    double step = 1.0;
    std::vector<double> ticks;
};

// An axis around [lo, hi] with about `target` intervals (at least one).
ValueAxis round_value_axis(double lo, double hi, int target = 5);
// Tick text with as many decimals as the step needs; never "-0".
std::string value_label(double v, double step);

// Tick step for a time span (ms): the smallest round step giving at most
// `max_ticks` intervals.
std::int64_t round_time_step(std::int64_t span_ms, int max_ticks = 10);
// The multiples of `step` inside [lo, hi].
std::vector<std::int64_t> time_ticks(std::int64_t lo_ms, std::int64_t hi_ms, std::int64_t step);
// Labels: "m:ss" under an hour, else "h:mm" (or "h:mm:ss" when the step needs seconds).
std::string time_label(std::int64_t ms, std::int64_t step, std::int64_t span_ms);
// What the labels mean, e.g. "h:mm".
std::string time_label_format(std::int64_t step, std::int64_t span_ms);

}  // namespace tarvex::datview
