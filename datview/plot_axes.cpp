// Round ticks. Tick values are computed as integer multiples of the step, so
// no rounding error accumulates along the axis.
#include "plot_axes.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>

namespace tarvex::datview {

ValueAxis round_value_axis(double lo, double hi, int target) {
    if (target < 1) target = 1;
    if (!(hi > lo)) {  // one value (or none): a unit-wide window around it
        lo -= 1.0;
        hi += 1.0;
    }
    const double raw = (hi - lo) / target;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    double step = 10.0 * mag;
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * mag >= raw * (1.0 - 1e-9)) {
            step = m * mag;
            break;
        }
    }
    ValueAxis a;
    a.step = step;
    const double first = std::floor(lo / step + 1e-9), last = std::ceil(hi / step - 1e-9);
    a.lo = first * step;
    a.hi = last * step;
    // Counted in integers: far from zero, k += 1.0 could stop changing k.
    const auto intervals = static_cast<int>(std::min(last - first, 100.0));
    for (int i = 0; i <= intervals; ++i) a.ticks.push_back((first + i) * step);
    return a;
}

std::string value_label(double v, double step) {
    int places = 0;
    while (places < 9 && std::fabs(step * std::pow(10.0, places) - std::round(step * std::pow(10.0, places))) > 1e-6)
        ++places;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", places, v);
    std::string s = buf;
    if (s[0] == '-' && s.find_first_not_of("0.", 1) == std::string::npos) s.erase(0, 1);
    return s;
}

std::int64_t round_time_step(std::int64_t span_ms, int max_ticks) {
    static constexpr std::array<std::int64_t, 18> steps{1000,    2000,    5000,     10000,    15000,    30000,
                                                        60000,   120000,  300000,   600000,   900000,   1800000,
                                                        3600000, 7200000, 10800000, 21600000, 43200000, 86400000};
    for (const std::int64_t s : steps)
        if (span_ms <= s * max_ticks) return s;
    std::int64_t s = steps.back();
    while (span_ms > s * max_ticks) s *= 2;
    return s;
}

std::vector<std::int64_t> time_ticks(std::int64_t lo_ms, std::int64_t hi_ms, std::int64_t step) {
    std::vector<std::int64_t> t;
    std::int64_t v = lo_ms >= 0 ? (lo_ms + step - 1) / step * step : lo_ms / step * step;
    for (; v <= hi_ms; v += step) t.push_back(v);
    return t;
}

// Under an hour: "m:ss"; longer: "h:mm", or "h:mm:ss" when the step needs seconds.
std::string time_label(std::int64_t ms, std::int64_t step, std::int64_t span_ms) {
    const char* sign = ms < 0 ? "-" : "";
    const std::int64_t m = ms < 0 ? -ms : ms;
    const long long h = m / 3600000, min = m / 60000 % 60, s = m / 1000 % 60;
    char buf[48];
    if (span_ms < 3600000) std::snprintf(buf, sizeof buf, "%s%lld:%02lld", sign, static_cast<long long>(m / 60000), s);
    else if (step % 60000 == 0) std::snprintf(buf, sizeof buf, "%s%lld:%02lld", sign, h, min);
    else std::snprintf(buf, sizeof buf, "%s%lld:%02lld:%02lld", sign, h, min, s);
    return buf;
}

std::string time_label_format(std::int64_t step, std::int64_t span_ms) {
    if (span_ms < 3600000) return "m:ss";
    return step % 60000 == 0 ? "h:mm" : "h:mm:ss";
}

}  // namespace tarvex::datview
