// Main EEPROM (0xA0: identity, accelerometer offsets) and expander EEPROM
// (0xA2: expander board ID).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarvex {

// Identity state, process-wide.
struct Identity {
    int eeprom_wide_addressing = 0;  // 1: two address bytes
    int accel_axis_flip = 0;
    std::array<std::int8_t, 3> accel_offsets{};  // device axes 0, 1, 2; 15.6 mg units
    std::uint32_t expander_id = 0xFF;
    std::array<char, 9> unit_serial{};
};

extern Identity identity;

int eeprom_read_identity(char* serial, std::size_t size);  // 0 for the v3.0 layout, else -1
void eeprom_write_byte(std::uint16_t address, std::uint8_t value);
std::uint8_t eeprom_read_byte(std::uint16_t address);
// Writes the identity's offsets with the board's mark and reads them back:
// 0 when they match; -1 after marking the stored offsets invalid (the caller
// decides what the part runs on).
int eeprom_store_accel_offsets();

}  // namespace tarvex
