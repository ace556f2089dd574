#include "baro_device.h"

#include <algorithm>
#include <cmath>

namespace tarvex::sim {

namespace {

constexpr std::uint8_t REG_CALIBRATION = 0xAA;
constexpr std::uint8_t REG_CALIBRATION_END = 0xBF;
constexpr std::uint8_t REG_CHIP_ID = 0xD0;
constexpr std::uint8_t REG_CONTROL = 0xF4;
constexpr std::uint8_t REG_RESULT = 0xF6;
constexpr std::uint8_t REG_RESULT_END = 0xF8;

constexpr std::uint8_t CHIP_ID = 0x55;
constexpr std::uint8_t CMD_TEMPERATURE = 0x2E;
constexpr std::uint8_t CMD_PRESSURE = 0x34;        // | oversampling << 6
constexpr std::uint8_t CONTROL_CONVERTING = 0x20;  // start-of-conversion bit, reads 1 while busy

// Maximum conversion times in us.
constexpr std::uint64_t TEMPERATURE_US = 4500;
constexpr std::array<std::uint64_t, 4> PRESSURE_US = {4500, 7500, 13500, 25500};
constexpr std::uint64_t SLOW_PRESSURE_US = 30000;
constexpr std::int32_t TEMPERATURE_SPIKE = 300;

bool is_temperature_fault(BaroFault f) { return f == BaroFault::ZeroTemperature || f == BaroFault::TemperatureSpike; }

constexpr std::int32_t RAW_PRESSURE_MAX = (1 << 18) - 1;  // 18 bits at oversampling 2

// The sensor maker's compensation, in 64-bit arithmetic (no wrap can occur
// for readings a real part produces). Kept apart from the recorder's code on
// purpose: the simulator plays the chip, not the driver.
struct Cal {
    std::int64_t ac1, ac2, ac3, ac4, ac5, ac6, b1, b2, mb, mc, md;
};

Cal unpack(const std::array<std::uint16_t, 11>& c) {
    auto s = [&](int k) { return static_cast<std::int64_t>(static_cast<std::int16_t>(c[k])); };
    auto u = [&](int k) { return static_cast<std::int64_t>(c[k]); };
    return {s(0), s(1), s(2), u(3), u(4), u(5), s(6), s(7), s(8), s(9), s(10)};
}

std::int64_t floor_shift(std::int64_t v, int n) { return v >> n; }

// Temperature term B5 (1/160 degC) of a raw temperature; nullopt-free: a
// reading at the formula's pole gives a huge value.
std::int64_t temperature_term(const Cal& k, std::int64_t ut) {
    const std::int64_t x1 = floor_shift((ut - k.ac6) * k.ac5, 15);
    const std::int64_t den = x1 + k.md;
    if (den == 0) return INT32_MAX;
    const std::int64_t x2 = (k.mc * 2048) / den;
    return x1 + x2;
}

// Pa of a raw pressure (oversampling 2) at temperature term B5.
std::int64_t compensated_pressure(const Cal& k, std::int64_t up, std::int64_t b5) {
    const std::int64_t b6 = b5 - 4000;
    const std::int64_t q = floor_shift(b6 * b6, 12);
    const std::int64_t b3 = 4 * k.ac1 + floor_shift(k.ac2 * b6, 11) + floor_shift(k.b2 * q, 11);
    const std::int64_t y = floor_shift(floor_shift(k.ac3 * b6, 13) + 2 + floor_shift(k.b1 * q, 16), 2) + 32768;
    const std::int64_t b4 = (k.ac4 * y) >> 15;
    if (b4 <= 0) return 0;
    const std::int64_t b7 = (up - b3) * 12500;
    const std::int64_t p = b7 >= 0 ? (b7 * 2) / b4 : (b7 / b4) * 2;
    const std::int64_t x1 = floor_shift((floor_shift(p, 8) * floor_shift(p, 8)) * 3038, 16);
    const std::int64_t x2 = floor_shift(-7357 * p, 16);
    return p + floor_shift(x1 + x2 + 3791, 4);
}

}  // namespace

BaroDevice::BaroDevice(const Scenario& scenario, const SimTime& time) : scenario_(scenario), time_(time) {
    for (std::size_t k = 0; k < calibration_.size(); ++k)
        calibration_[k] = static_cast<std::uint16_t>(scenario.baro_calibration[k]);
}

double BaroDevice::pressure_at_altitude(double feet) {
    const double base = 1.0 - feet * 0.3048 / 44330.0;
    return base <= 0.0 ? 0.0 : 101325.0 * std::pow(base, 5.255);
}

std::int32_t BaroDevice::raw_temperature_for(double celsius) const {
    const Cal k = unpack(calibration_);
    const double target = celsius * 160.0;  // B5 units
    // B5 rises with the raw value above the formula's pole (X1 + MD = 0);
    // search that branch for the raw value whose B5 is nearest the target.
    std::int64_t lo = 0, hi = 0xFFFE;
    while (lo < hi) {  // first raw value right of the pole
        const std::int64_t mid = (lo + hi) / 2;
        if (floor_shift((mid - k.ac6) * k.ac5, 15) + k.md > 0) hi = mid;
        else lo = mid + 1;
    }
    hi = 0xFFFE;
    while (lo < hi) {  // first raw value with B5 >= target
        const std::int64_t mid = (lo + hi) / 2;
        if (static_cast<double>(temperature_term(k, mid)) >= target) hi = mid;
        else lo = mid + 1;
    }
    if (lo > 1 && std::fabs(static_cast<double>(temperature_term(k, lo - 1)) - target) <
                      std::fabs(static_cast<double>(temperature_term(k, lo)) - target))
        --lo;
    return static_cast<std::int32_t>(lo < 1 ? 1 : lo);
}

std::int32_t BaroDevice::raw_pressure_for(double pascal, std::int32_t raw_temperature) const {
    const Cal k = unpack(calibration_);
    const std::int64_t b5 = temperature_term(k, raw_temperature);
    std::int64_t lo = 1, hi = RAW_PRESSURE_MAX;
    while (lo < hi) {  // first raw value with pressure >= target
        const std::int64_t mid = (lo + hi) / 2;
        if (static_cast<double>(compensated_pressure(k, mid, b5)) >= pascal) hi = mid;
        else lo = mid + 1;
    }
    if (lo > 1 && std::fabs(static_cast<double>(compensated_pressure(k, lo - 1, b5)) - pascal) <
                      std::fabs(static_cast<double>(compensated_pressure(k, lo, b5)) - pascal))
        --lo;
    return static_cast<std::int32_t>(lo);
}

void BaroDevice::inject(BaroFault fault, int count) {
    fault_ = fault;
    fault_count_ = count;
}

void BaroDevice::begin(bool read) {
    finish_conversion_if_due();
    if (!read) pointer_set_ = false;
}

bool BaroDevice::write(std::uint8_t byte) {
    if (!pointer_set_) {
        pointer_ = byte;
        pointer_set_ = true;
        return true;
    }
    if (pointer_ == REG_CONTROL) start_conversion(byte);
    ++pointer_;
    return true;
}

std::uint8_t BaroDevice::read() {
    finish_conversion_if_due();
    const std::uint8_t value = register_value(pointer_);
    ++pointer_;
    return value;
}

void BaroDevice::start_conversion(std::uint8_t command) {
    const std::uint64_t now = time_.now_us();
    Conversion c;
    c.start_us = now;
    if (command == CMD_TEMPERATURE) {
        c.pending = true;
        c.done_us = now + TEMPERATURE_US;
    } else if ((command & 0x3F) == CMD_PRESSURE) {
        c.pending = true;
        c.pressure = true;
        c.oversampling = static_cast<std::uint8_t>(command >> 6);
        c.done_us = now + PRESSURE_US[c.oversampling];
    } else {
        return;  // not a conversion command: the part ignores it
    }
    if (fault_count_ > 0 && is_temperature_fault(fault_) != c.pressure) {
        --fault_count_;
        c.faulty = true;
        c.fault = fault_;
        if (fault_ == BaroFault::SlowPressure) c.done_us = now + SLOW_PRESSURE_US;
    }
    control_ = command;
    unsettled_ = false;
    conversion_ = c;  // a new command abandons a conversion still running
}

void BaroDevice::finish_conversion_if_due() {
    if (!conversion_.pending || time_.now_us() < conversion_.done_us) return;
    const Conversion c = conversion_;
    conversion_.pending = false;
    const double t = static_cast<double>(c.start_us) / 1e6;
    const double celsius = truth_at(scenario_.temperature_c, t, BARO_DEFAULT_TEMPERATURE_C);
    const std::int32_t ut = raw_temperature_for(celsius);
    if (!c.pressure) {
        std::int32_t reported = ut;
        if (c.faulty && c.fault == BaroFault::ZeroTemperature) reported = 0;
        if (c.faulty && c.fault == BaroFault::TemperatureSpike) reported = std::min(ut + TEMPERATURE_SPIKE, 0xFFFE);
        result_[0] = static_cast<std::uint8_t>(reported >> 8);
        result_[1] = static_cast<std::uint8_t>(reported);
        return;
    }
    std::int32_t up = 0;
    if (!(c.faulty && c.fault == BaroFault::ZeroPressure)) {
        const double feet = truth_at(scenario_.altitude_ft, t, BARO_DEFAULT_ALTITUDE_FT);
        up = raw_pressure_for(pressure_at_altitude(feet), ut);
    }
    // Left-aligned in 24 bits: the raw value is the word >> (8 - oversampling).
    const std::uint32_t word = static_cast<std::uint32_t>(up) << (8 - c.oversampling);
    result_ = {static_cast<std::uint8_t>(word >> 16), static_cast<std::uint8_t>(word >> 8),
               static_cast<std::uint8_t>(word)};
    unsettled_ = c.faulty && c.fault == BaroFault::UnsettledPressure;
}

std::uint8_t BaroDevice::register_value(std::uint8_t reg) {
    if (reg >= REG_CALIBRATION && reg <= REG_CALIBRATION_END) {
        const std::uint16_t word = calibration_[(reg - REG_CALIBRATION) / 2];
        return static_cast<std::uint8_t>((reg - REG_CALIBRATION) % 2 == 0 ? word >> 8 : word);
    }
    if (reg == REG_CHIP_ID) return CHIP_ID;
    if (reg == REG_CONTROL)
        return static_cast<std::uint8_t>(conversion_.pending ? control_ | CONTROL_CONVERTING
                                                             : control_ & ~CONTROL_CONVERTING);
    if (reg >= REG_RESULT && reg <= REG_RESULT_END) {
        // A flaky result: the most significant byte moves on every read of it.
        if (unsettled_ && reg == REG_RESULT) return static_cast<std::uint8_t>(result_[0] + ++unsettled_counter_);
        return result_[reg - REG_RESULT];
    }
    return 0;
}

}  // namespace tarvex::sim
