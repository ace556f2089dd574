// A generic I2C register file for testing bus code without a real chip: the
// first one or two bytes of a write set the register pointer (high byte
// first), further bytes are stored with auto-increment, and reads return
// the registers from the pointer on.
#pragma once

#include <cstdint>
#include <vector>

#include "i2c_slave.h"

namespace tarvex::sim {

class RegisterFileDevice final : public I2cSlave {
public:
    // address: 8-bit write address byte; address_bytes: 1 or 2; size: registers.
    RegisterFileDevice(std::uint8_t address, unsigned address_bytes, std::size_t size);

    std::uint8_t address() const override { return address_; }
    void begin(bool read) override;
    bool write(std::uint8_t byte) override;
    std::uint8_t read() override;
    void stop() override;

    std::vector<std::uint8_t>& registers() { return regs_; }
    std::uint32_t pointer() const { return pointer_; }
    unsigned transfers() const { return transfers_; }  // begin() calls seen
    unsigned stops() const { return stops_; }

private:
    std::uint8_t address_;
    unsigned address_bytes_;
    std::vector<std::uint8_t> regs_;
    std::uint32_t pointer_ = 0;
    unsigned pointer_bytes_seen_ = 0;  // of the current write transfer
    unsigned transfers_ = 0;
    unsigned stops_ = 0;
};

}  // namespace tarvex::sim
