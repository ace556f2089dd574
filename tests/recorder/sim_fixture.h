// A simulated camera for in-process tests of the recorder's hardware layer:
// a SimWorld built from scenario text, installed as the platform, with its
// file system in a scratch folder.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "hw_map.h"
#include "scenario.h"
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
    explicit SimCamera(const std::string& scenario_text = "", sim::Firmware firmware = sim::Firmware::Rev3)
        : world_(scenario_from(scenario_text), root_.path(), firmware), installed_(world_) {}

    sim::SimWorld& world() { return world_; }
    const std::string& root() const { return root_.path(); }

    // hw_map with its messages captured; returns its result.
    int map(std::string* out = nullptr) {
        int r = -2;
        const std::string printed = capture_stdout([&] { r = hw_map(); });
        if (out != nullptr) *out = printed;
        return r;
    }

    // Virtual time passes with nothing happening on the camera.
    void wait_us(std::uint64_t us) { world_.advance_ns(us * 1000); }

private:
    TempDir root_;
    sim::SimWorld world_;
    sim::WorldInstallation installed_;
};

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
