// recorder-sim-revN SCENARIO ROOT: runs the recorder on a simulated camera
// and sensor pack. ROOT stands for the camera's file system; the scenario
// says what the camera, its user and the sensors do.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "camera_memory_map.h"
#include "platform_sim.h"
#include "recorder_main.h"
#include "scenario.h"
#include "sensor_pack.h"
#include "version.h"

#ifndef TARVEX_SIM_FIRMWARE
#error "build with -DTARVEX_SIM_FIRMWARE=<3|4|1>"
#endif

namespace {

using namespace tarvex;

// Simulated seconds the recorder is given to notice that the accessory was
// unplugged (it only looks between recordings).
constexpr double END_MARGIN_S = 60.0;

// What the simulated camera runs.
int run_recorder() { return recorder_main(); }

// The last time the scenario says anything happens, seconds.
double scenario_end(const sim::Scenario& s) {
    if (s.end) return *s.end;
    if (s.accessory_absent) return 0.0;
    double last = 0.0;
    for (const auto* spans : {&s.record, &s.busy, &s.button, &s.disturb}) {
        for (const sim::Interval& i : *spans) last = std::max(last, i.to);
    }
    for (const auto* points : {&s.altitude_ft, &s.temperature_c}) {
        for (const sim::TruthPoint& p : *points) last = std::max(last, p.t);
    }
    for (const sim::AccelPoint& p : s.accel_g) last = std::max(last, p.t);
    for (double g : s.glitch) last = std::max(last, g);
    return last;
}

}  // namespace

int main(int argc, char** argv) {
    const char* program = argc > 0 ? argv[0] : "recorder-sim";
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::printf("recorder-sim-rev%d %s\n", TARVEX_SIM_FIRMWARE, PROGRAM_VERSION);
        return 0;
    }
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s SCENARIO ROOT\n", program);
        return 2;
    }
    std::string error;
    const auto scenario = sim::load_scenario(argv[1], error);
    if (!scenario) {
        std::fprintf(stderr, "%s: %s\n", program, error.c_str());
        return 2;
    }
    struct stat st {};
    if (stat(argv[2], &st) != 0 || !S_ISDIR(st.st_mode)) {
        std::fprintf(stderr, "%s: %s is not a folder\n", program, argv[2]);
        return 2;
    }

    // The hook runs with ROOT as its working folder, so paths into ROOT must
    // not be relative to where the program was started.
    const std::string root = std::filesystem::absolute(argv[2]).lexically_normal().string();
    sim::SimWorld world(*scenario, root, sim::firmware_from_revision(TARVEX_SIM_FIRMWARE));
    for (auto& device : sim::make_sensor_pack(world.scenario(), world)) world.attach(std::move(device));
    world.set_status_echo(stderr);
    const double end = scenario_end(*scenario);
    world.set_deadline(static_cast<std::uint64_t>((end + END_MARGIN_S) * 1e6), [program, end] {
        std::fflush(stdout);
        std::fprintf(stderr,
                     "%s: the recorder was still running %.0f simulated seconds after the scenario's end at %.6f s\n",
                     program, END_MARGIN_S, end);
        std::exit(3);
    });
    sim::WorldInstallation installed(world);
    const int status = run_recorder();
    // The recorder's only way out once it runs is the unplugged accessory:
    // say that this is how the scenario ends, not a fault.
    if (scenario->end && world.now_us() >= static_cast<std::uint64_t>(*scenario->end * 1e6)) {
        std::fflush(stdout);
        std::fprintf(stderr,
                     "sim: %llu.%06llu scenario ended: the accessory was unplugged at %.6f s, so the recorder's "
                     "\"Unexpected accessory detected. Exiting.\" and exit status 255 are expected\n",
                     static_cast<unsigned long long>(world.now_us() / 1000000),
                     static_cast<unsigned long long>(world.now_us() % 1000000), *scenario->end);
    }
    return status;
}
