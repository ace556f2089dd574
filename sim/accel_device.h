// Simulated accelerometer (0x3A): identity 0xE5, offset, rate, power and
// data-format registers, and three little-endian axis words made from the
// scenario's acceleration, the unit's resting bias and the offsets.
#pragma once

#include <array>
#include <cstdint>

#include "i2c_slave.h"
#include "scenario.h"

namespace tarvex::sim {

// How the part sits on the board, which the main EEPROM's layout tells.
enum class AccelLayout {
    Older,  // logged x, y, z = device axes 2, 0, 1
    V3,     // logged x, y, z = device axes 0, -2, 1
};

class AccelDevice : public I2cSlave {
public:
    AccelDevice(const Scenario& scenario, const SimTime& time, AccelLayout layout);

    std::uint8_t address() const override { return 0x3A; }
    void begin(bool read) override;
    bool write(std::uint8_t byte) override;
    std::uint8_t read() override;

    // g on the device axes 0, 1, 2 at time t (s): scenario truth plus bias.
    std::array<double, 3> device_g(double t) const;
    // Counts per g of the current data format.
    std::int32_t counts_per_g() const;
    std::uint8_t reg(std::uint8_t r) const { return registers_[r]; }

private:
    void latch_sample();

    const Scenario& scenario_;
    const SimTime& time_;
    AccelLayout layout_;
    std::array<std::uint8_t, 256> registers_{};
    std::uint8_t pointer_ = 0;
    bool pointer_set_ = false;
};

}  // namespace tarvex::sim
