// Simulated serial EEPROM: one or two address bytes, bytes programmed at
// STOP followed by a 5 ms write cycle during which the part does not answer,
// and an optional fault under which writes are acknowledged but never stick.
// A repeated START programs nothing, as on the real parts.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "i2c_slave.h"

namespace tarvex::sim {

class EepromDevice : public I2cSlave {
public:
    // `contents` fills the first bytes; the rest of the `size` bytes read 0xFF.
    EepromDevice(std::uint8_t address, std::size_t size, bool wide_addressing,
                 const std::vector<std::uint8_t>& contents, bool write_fail, const SimTime& time);

    std::uint8_t address() const override { return address_; }
    void begin(bool read) override;
    bool write(std::uint8_t byte) override;
    std::uint8_t read() override;
    void stop() override;

    const std::vector<std::uint8_t>& memory() const { return memory_; }

private:
    bool busy() const;

    std::uint8_t address_;
    bool wide_;
    bool write_fail_;
    const SimTime& time_;
    std::vector<std::uint8_t> memory_;
    std::size_t pointer_ = 0;                                    // the part's address counter
    int address_bytes_seen_ = 0;                                 // in the current write transfer
    std::vector<std::pair<std::size_t, std::uint8_t>> pending_;  // bytes to program at STOP
    std::uint64_t busy_until_us_ = 0;

    // What the last programming changed, until the next transfer tells
    // whether its end was a STOP or a repeated START (the bus reports both
    // as stop()).
    struct Undo {
        std::vector<std::pair<std::size_t, std::uint8_t>> old_bytes;
        std::uint64_t busy_until_us = 0;
    };
    std::optional<Undo> undo_;
};

}  // namespace tarvex::sim
