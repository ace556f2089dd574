// The simulated camera of the recorder's in-process tests: a SimWorld
// installed as the platform, its file system in a scratch folder. The
// hardware layer's tests start from it unmapped; the drivers' tests from it
// as they find it at start-up, with the sensor pack on its bus.
#pragma once

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "accel_device.h"
#include "baro_device.h"
#include "eeprom.h"
#include "eeprom_device.h"
#include "hw_map.h"
#include "i2c_bus.h"
#include "platform_sim.h"
#include "scenario.h"
#include "sensor_pack.h"
#include "sim_world.h"
#include "test_support.h"

namespace tarvex::test {

inline sim::Scenario scenario_from(const std::string& text) {
    std::string error;
    auto s = sim::parse_scenario(text, error);
    if (!s) ADD_FAILURE() << "scenario: " << error;
    return s.value_or(sim::Scenario{});
}

class SimCamera {
public:
    enum class Bus { SensorPack, Empty };

    // Nothing mapped, nothing on the bus.
    explicit SimCamera(const std::string& scenario_text = "", sim::Firmware firmware = sim::Firmware::Rev3)
        : world_(scenario_from(scenario_text), root_.path(), firmware), installed_(world_) {}

    // As the drivers find it at start-up: the registers mapped, the unit's
    // identity reset, and the scenario's sensor pack on the bus (or nothing).
    explicit SimCamera(const sim::Scenario& scenario, Bus bus = Bus::SensorPack)
        : world_(scenario, root_.path(), sim::Firmware::Rev3), installed_(world_) {
        map();
        identity = Identity{};
        if (bus == Bus::Empty) return;
        for (auto& device : sim::make_sensor_pack(world_.scenario(), world_)) {
            if (auto* d = dynamic_cast<sim::BaroDevice*>(device.get())) baro = d;
            if (auto* d = dynamic_cast<sim::AccelDevice*>(device.get())) accel = d;
            if (auto* d = dynamic_cast<sim::EepromDevice*>(device.get()))
                (d->address() == I2C_EEPROM_MAIN ? main_eeprom : expander_eeprom) = d;
            world_.attach(std::move(device));
        }
    }

    sim::SimWorld& world() { return world_; }
    const std::string& root() const { return root_.path(); }
    double seconds() const { return static_cast<double>(world_.now_us()) / 1e6; }

    // hw_map with its messages captured; returns its result.
    int map(std::string* out = nullptr) {
        int r = -2;
        const std::string printed = capture_stdout([&] { r = hw_map(); });
        if (out != nullptr) *out = printed;
        return r;
    }

    // Virtual time passes with nothing happening on the camera.
    void wait_us(std::uint64_t us) { world_.advance_ns(us * 1000); }

    // Devices on the bus (nullptr when the scenario leaves one out).
    sim::BaroDevice* baro = nullptr;
    sim::AccelDevice* accel = nullptr;
    sim::EepromDevice* main_eeprom = nullptr;
    sim::EepromDevice* expander_eeprom = nullptr;

private:
    TempDir root_;
    sim::SimWorld world_;
    sim::WorldInstallation installed_;
};

// The first 16 bytes of a main EEPROM.
inline std::array<std::uint8_t, 16> eeprom_head(std::uint8_t mark, const std::string& serial, std::uint8_t cal_mark,
                                                std::array<std::int8_t, 3> offsets, std::uint8_t expander_id = 0xFF) {
    std::array<std::uint8_t, 16> head{};
    head.fill(0xFF);
    head[0] = head[1] = 0;
    head[2] = mark;
    for (std::size_t i = 0; i < serial.size() && i < 8; ++i) head[3 + i] = static_cast<std::uint8_t>(serial[i]);
    head[11] = cal_mark;
    for (std::size_t i = 0; i < 3; ++i) head[12 + i] = static_cast<std::uint8_t>(offsets[i]);
    head[15] = expander_id;
    return head;
}

// The master's bus activity as text: D delay, SDA0/SDA1 and SCL0/SCL1 the
// master pulling a line low or releasing it, s0/s1 a sample of SDA.
inline std::string render_trace(const std::vector<sim::BusEvent>& trace) {
    std::string out;
    for (sim::BusEvent e : trace) {
        if (!out.empty()) out += ' ';
        switch (e) {
            case sim::BusEvent::Delay: out += "D"; break;
            case sim::BusEvent::SdaLow: out += "SDA0"; break;
            case sim::BusEvent::SdaRelease: out += "SDA1"; break;
            case sim::BusEvent::SclLow: out += "SCL0"; break;
            case sim::BusEvent::SclRelease: out += "SCL1"; break;
            case sim::BusEvent::Sample0: out += "s0"; break;
            case sim::BusEvent::Sample1: out += "s1"; break;
        }
    }
    return out;
}

// A logic analyser on the master's drive: S for START, P for STOP, each full
// clock frame as "XX:n" (eight bits, then the ninth bit the master left on
// SDA), and bits short of a frame as "b" followed by the bits.
inline std::string decode_frames(const std::vector<sim::BusEvent>& trace) {
    bool sda = true, scl = true, bit_pending = false, pending_bit = true;
    std::vector<bool> bits;
    std::string out;
    auto emit = [&](const std::string& token) {
        if (!out.empty()) out += ' ';
        out += token;
    };
    auto flush = [&] {
        std::size_t i = 0;
        for (; i + 9 <= bits.size(); i += 9) {
            unsigned v = 0;
            for (std::size_t k = 0; k < 8; ++k) v = (v << 1) | (bits[i + k] ? 1u : 0u);
            char buf[8];
            std::snprintf(buf, sizeof buf, "%02X:%d", v, bits[i + 8] ? 1 : 0);
            emit(buf);
        }
        if (i < bits.size()) {
            std::string rest = "b";
            for (; i < bits.size(); ++i) rest += bits[i] ? '1' : '0';
            emit(rest);
        }
        bits.clear();
    };
    for (sim::BusEvent e : trace) {
        switch (e) {
            case sim::BusEvent::SdaLow:
            case sim::BusEvent::SdaRelease: {
                const bool now = e == sim::BusEvent::SdaRelease;
                if (scl && now != sda) {  // a change while SCL is high is a condition
                    bit_pending = false;
                    flush();
                    emit(now ? "P" : "S");
                }
                sda = now;
                break;
            }
            case sim::BusEvent::SclRelease:
                scl = true;
                bit_pending = true;
                pending_bit = sda;
                break;
            case sim::BusEvent::SclLow:
                scl = false;
                if (bit_pending) bits.push_back(pending_bit);
                bit_pending = false;
                break;
            default: break;
        }
    }
    flush();
    return out;
}

inline std::size_t count_delays(const std::vector<sim::BusEvent>& trace) {
    std::size_t n = 0;
    for (sim::BusEvent e : trace) n += e == sim::BusEvent::Delay ? 1 : 0;
    return n;
}

}  // namespace tarvex::test
