// A device on the simulated I2C bus, seen at byte level. The bus model
// decodes START, STOP, the address byte and the bits on SCL edges, and calls
// the addressed device; devices never see line changes directly.
#pragma once

#include <cstdint>

namespace tarvex::sim {

// Virtual time as the devices see it.
class SimTime {
public:
    virtual ~SimTime() = default;
    virtual std::uint64_t now_us() const = 0;
};

class I2cSlave {
public:
    virtual ~I2cSlave() = default;
    // 8-bit address byte of a write (0xEE, 0x3A, 0xA0, 0xA2, ...).
    virtual std::uint8_t address() const = 0;
    // A START or repeated START addressed this device; `read` is bit 0 of the address byte.
    virtual void begin(bool read) = 0;
    // Master wrote a data byte in a write transfer; return true to acknowledge.
    virtual bool write(std::uint8_t byte) = 0;
    // Master clocks the next byte out in a read transfer.
    virtual std::uint8_t read() = 0;
    // STOP seen (also sent to a device whose transfer was cut by another START).
    virtual void stop() {}
};

}  // namespace tarvex::sim
