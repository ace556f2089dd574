// Fuzz target: the simulator's scenario parser, the input as the file's text,
// and the truth curves of every scenario it accepts.

#include <cstddef>
#include <cstdint>
#include <string>

#include "scenario.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string error;
    const auto scenario =
        tarvex::sim::parse_scenario(std::string(reinterpret_cast<const char*>(data), size), error);
    if (!scenario) return 0;
    // Between, at and outside the given points, as the simulated sensors ask.
    for (const auto* curve : {&scenario->altitude_ft, &scenario->temperature_c}) {
        for (const auto& p : *curve) {
            tarvex::sim::truth_at(*curve, p.t, 0.0);
            tarvex::sim::truth_at(*curve, p.t + 0.5, 0.0);
        }
    }
    return 0;
}
