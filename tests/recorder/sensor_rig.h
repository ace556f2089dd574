// A simulated camera with the sensor pack on its bus, installed for the
// recorder's drivers to talk to through the real bit-banged bus.
#pragma once

#include <memory>
#include <string>

#include "accel_device.h"
#include "baro_device.h"
#include "eeprom.h"
#include "eeprom_device.h"
#include "hw_map.h"
#include "i2c_bus.h"
#include "scenario.h"
#include "sensor_pack.h"
#include "sim_world.h"
#include "test_support.h"

namespace tarvex::test {

class SensorRig {
public:
    explicit SensorRig(const sim::Scenario& scenario = {}, bool with_pack = true)
        : world_(scenario, root_.path(), sim::Firmware::Rev3), installed_(world_) {
        capture_stdout([] { hw_map(); });
        identity = Identity{};
        if (!with_pack) return;
        for (auto& device : sim::make_sensor_pack(world_.scenario(), world_)) {
            if (auto* d = dynamic_cast<sim::BaroDevice*>(device.get())) baro = d;
            if (auto* d = dynamic_cast<sim::AccelDevice*>(device.get())) accel = d;
            if (auto* d = dynamic_cast<sim::EepromDevice*>(device.get()))
                (d->address() == I2C_EEPROM_MAIN ? main_eeprom : expander_eeprom) = d;
            world_.attach(std::move(device));
        }
    }

    sim::SimWorld& world() { return world_; }
    double seconds() const { return static_cast<double>(world_.now_us()) / 1e6; }

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
inline std::array<std::uint8_t, 16> eeprom_head(std::uint8_t mark, const std::string& serial,
                                                std::uint8_t cal_mark, std::array<std::int8_t, 3> offsets,
                                                std::uint8_t expander_id = 0xFF) {
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

}  // namespace tarvex::test
