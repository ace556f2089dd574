// Fuzz target: the simulator's scenario parser, the input as the file's text,
// and the truth curves of every scenario it accepts. Every time it accepts
// must fit the simulator's clock (unsigned nanoseconds since power-on): the
// conversion below is checked by the float-to-integer overflow sanitizer.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto scenario = tarvex::sim::parse_scenario(std::string(reinterpret_cast<const char*>(data), size), error);
    if (!scenario) return 0;
    std::vector<double> times(scenario->glitch);
    if (scenario->end) times.push_back(*scenario->end);
    for (const auto* spans : {&scenario->record, &scenario->busy, &scenario->button, &scenario->disturb}) {
        for (const auto& span : *spans) times.insert(times.end(), {span.from, span.to});
    }
    for (const auto& p : scenario->accel_g) times.push_back(p.t);
    for (const double t : times) {
        volatile const auto ns = static_cast<std::uint64_t>(t * 1e9);
        (void)ns;
    }
    // Between, at and outside the given points, as the simulated sensors ask.
    for (const auto* curve : {&scenario->altitude_ft, &scenario->temperature_c}) {
        for (const auto& p : *curve) {
            tarvex::sim::truth_at(*curve, p.t, 0.0);
            tarvex::sim::truth_at(*curve, p.t + 0.5, 0.0);
        }
    }
    return 0;
}
