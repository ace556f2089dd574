// A scenario: what the simulated camera, its user and the sensor pack do,
// one directive per line, times in seconds of simulated time since power-on.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tarvex::sim {

enum class Firmware { Rev3, Rev4, Rev1 };

struct Interval {
    double from = 0.0;
    double to = 0.0;
};

struct TruthPoint {  // piecewise-linear truth, held constant outside the points
    double t = 0.0;
    double value = 0.0;
};

struct AccelPoint {
    double t = 0.0;
    double x = 0.0, y = 0.0, z = 0.0;  // g along the logged x, y, z axes
};

// Simulated time a shell command of the recorder takes ("sync" aside, which
// the simulated card does not need: in effect the post-processing hook).
struct HookTime {
    bool real = false;     // its measured wall-clock duration
    double seconds = 0.0;  // else this many seconds (0: none, so runs repeat exactly)
};

struct Scenario {
    // camera and user
    std::optional<double> end;  // accessory unplugged at this time
    bool accessory_absent = false;
    std::optional<Firmware> firmware;  // default: the one the build serves
    std::vector<Interval> record;      // camera records video
    std::vector<Interval> busy;        // state byte neither idle nor recording
    std::uint8_t busy_state = 0x11;    // state byte during busy spans (0x11: idle in no firmware)
    std::vector<Interval> button;      // calibration input (pin 140) reads 0
    std::vector<Interval> disturb;     // camera takes pin 17 back
    std::vector<TruthPoint> altitude_ft;
    std::vector<TruthPoint> temperature_c;
    std::vector<AccelPoint> accel_g;
    std::uint32_t ticks0 = 1700000000;  // counter value at power-on
    double tick_phase = 0.0;            // seconds after power-on of the first counter step (0..1)
    std::vector<double> glitch;         // counter reads one lower once at these times
    HookTime hook_time;

    // sensor pack
    std::array<std::int32_t, 11> baro_calibration{7500, -1100, -14500, 33000,  25200, 18900,
                                                  5500, 46,    -32768, -11075, 2432};
    bool accelerometer_absent = false;
    std::array<double, 3> accel_bias{0.0, 0.0, 0.0};  // g, on the device axes
    // First 16 bytes of the main EEPROM; nullopt means no EEPROM at all.
    // Default: v3.0 board, mark '1', serial SIM00001, stored offsets 0 0 0, no expander.
    std::optional<std::array<std::uint8_t, 16>> eeprom_main = std::array<std::uint8_t, 16>{
        0x00, 0x00, '1', 'S', 'I', 'M', '0', '0', '0', '0', '1', 0xC0, 0x00, 0x00, 0x00, 0xFF};
    int eeprom_main_addressing = 16;                             // 8 or 16 address bits
    bool eeprom_write_fail = false;                              // writes do not stick
    std::optional<std::array<std::uint8_t, 6>> eeprom_expander;  // nullopt: no expander EEPROM

    // physical memory
    bool phys_mem_unavailable = false;    // the physical-memory device cannot be opened
    std::vector<std::uint32_t> map_fail;  // physical pages that cannot be mapped
};

// Parses scenario text. On a bad line returns nullopt and sets `error` to a
// message naming the line number.
std::optional<Scenario> parse_scenario(const std::string& text, std::string& error);
std::optional<Scenario> load_scenario(const std::string& path, std::string& error);

// Value of a piecewise-linear truth at time t (seconds); `fallback` when empty.
double truth_at(const std::vector<TruthPoint>& points, double t, double fallback);

}  // namespace tarvex::sim
