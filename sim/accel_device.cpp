#include "accel_device.h"

#include <algorithm>
#include <cmath>

namespace tarvex::sim {

namespace {

constexpr std::uint8_t REG_DEVID = 0x00;
constexpr std::uint8_t REG_OFSX = 0x1E;  // device axes 0, 1, 2
constexpr std::uint8_t REG_POWER_CTL = 0x2D;
constexpr std::uint8_t REG_DATA_FORMAT = 0x31;
constexpr std::uint8_t REG_DATAX0 = 0x32;  // .. 0x37
constexpr std::uint8_t REG_DATAZ1 = 0x37;

constexpr std::uint8_t DEVID = 0xE5;
constexpr std::uint8_t POWER_MEASURE = 0x08;
constexpr std::uint8_t FORMAT_RANGE = 0x03;
constexpr std::int32_t BASE_COUNTS_PER_G = 256;
constexpr double OFFSET_G = 1.0 / 64.0;  // 15.6 mg per offset unit

// Logged-axis truth at time t, linear between points, held outside them;
// a unit lying flat (1 g on z) when the scenario says nothing.
std::array<double, 3> logged_g(const std::vector<AccelPoint>& points, double t) {
    if (points.empty()) return {0.0, 0.0, 1.0};
    if (t <= points.front().t) return {points.front().x, points.front().y, points.front().z};
    if (t >= points.back().t) return {points.back().x, points.back().y, points.back().z};
    const auto next = std::find_if(points.begin(), points.end(), [&](const AccelPoint& p) { return p.t > t; });
    const AccelPoint& b = *next;
    const AccelPoint& a = *(next - 1);
    const double f = b.t > a.t ? (t - a.t) / (b.t - a.t) : 1.0;
    return {a.x + f * (b.x - a.x), a.y + f * (b.y - a.y), a.z + f * (b.z - a.z)};
}

}  // namespace

AccelDevice::AccelDevice(const Scenario& scenario, const SimTime& time, AccelLayout layout)
    : scenario_(scenario), time_(time), layout_(layout) {
    registers_[REG_DEVID] = DEVID;
}

std::array<double, 3> AccelDevice::device_g(double t) const {
    const auto [x, y, z] = logged_g(scenario_.accel_g, t);
    std::array<double, 3> dev{};
    if (layout_ == AccelLayout::V3) dev = {x, z, -y};
    else dev = {y, z, x};
    for (std::size_t i = 0; i < dev.size(); ++i) dev[i] += scenario_.accel_bias[i];
    return dev;
}

std::int32_t AccelDevice::counts_per_g() const {
    return BASE_COUNTS_PER_G << (registers_[REG_DATA_FORMAT] & FORMAT_RANGE);
}

void AccelDevice::latch_sample() {
    // Data freezes in standby, as on the real part.
    if (!(registers_[REG_POWER_CTL] & POWER_MEASURE)) return;
    const auto g = device_g(static_cast<double>(time_.now_us()) / 1e6);
    const double cpg = counts_per_g();
    for (std::size_t axis = 0; axis < g.size(); ++axis) {
        const auto offset = static_cast<std::int8_t>(registers_[REG_OFSX + axis]);
        const double counts = std::round((g[axis] + offset * OFFSET_G) * cpg);
        const auto v = static_cast<std::int16_t>(std::clamp(counts, -32768.0, 32767.0));
        const auto u = static_cast<std::uint16_t>(v);
        registers_[REG_DATAX0 + 2 * axis] = static_cast<std::uint8_t>(u);
        registers_[REG_DATAX0 + 2 * axis + 1] = static_cast<std::uint8_t>(u >> 8);
    }
}

void AccelDevice::begin(bool read) {
    if (!read) {
        pointer_set_ = false;
        return;
    }
    // A burst read of the data registers sees one consistent sample.
    if (pointer_ >= REG_DATAX0 && pointer_ <= REG_DATAZ1) latch_sample();
}

bool AccelDevice::write(std::uint8_t byte) {
    if (!pointer_set_) {
        pointer_ = byte;
        pointer_set_ = true;
        return true;
    }
    const bool read_only = pointer_ == REG_DEVID || (pointer_ >= REG_DATAX0 && pointer_ <= REG_DATAZ1);
    if (!read_only) registers_[pointer_] = byte;
    ++pointer_;
    return true;
}

std::uint8_t AccelDevice::read() { return registers_[pointer_++]; }

}  // namespace tarvex::sim
