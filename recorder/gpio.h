// GPIO of the camera processor as the recorder uses it: the board's pin
// assignments, the layout of a GPIO bank, and pin-level reads and writes.
// The bank-word helpers at the end are for the hardware layer only (the
// I2C bus drives its lines with them).
#pragma once

#include <cstdint>

#include "hw_map.h"

namespace tarvex {

// Pins (pin p is bit p % 32 of bank p / 32).
inline constexpr unsigned PIN_BUS_GUARD = 17;     // claimed before bus work; the camera may take it back
inline constexpr unsigned PIN_SDA = 36;           // I2C data, open-drain
inline constexpr unsigned PIN_SCL = 37;           // I2C clock, open-drain
inline constexpr unsigned PIN_STATUS = 38;        // light or haptic output: 1 on
inline constexpr unsigned PIN_REC_START = 45;     // recording-start input
inline constexpr unsigned PIN_CAL_REQUEST = 140;  // calibration button: 0 while held
inline constexpr unsigned PIN_ACCESSORY = 142;    // 1: this accessory is attached

// Physical addresses of the five banks, bank order, and the byte offsets of
// a bank's 32-bit registers.
inline constexpr std::uint32_t GPIO_BANK_PHYS[5] = {0x70009000, 0x7000a000, 0x7000e000, 0x70010000, 0x70011000};
inline constexpr std::uint32_t GPIO_DATA = 0x00;  // level in, output level out
inline constexpr std::uint32_t GPIO_DIR = 0x04;   // 1: output
inline constexpr std::uint32_t GPIO_FUNC = 0x18;  // 1: pin under its hardware function
inline constexpr std::uint32_t GPIO_MASK = 0x28;

// Both do nothing (gpio_get reads 0) until hw_map has succeeded.
void gpio_set(unsigned pin, int level);  // level nonzero sets the data bit
// The pin's data bit as a line level, 0 or 1: the bus shifts it straight
// into the byte it reads, so it stays an integer.
int gpio_get(unsigned pin);

// --- Hardware layer only ---

// One 32-bit word of a GPIO bank (offset in bytes: GPIO_DATA, GPIO_DIR, ...).
inline volatile std::uint32_t* gpio_word(unsigned bank, std::uint32_t offset) {
    return hw_windows.banks[bank] + offset / 4;
}

// Read-modify-write of single bits; the camera's software shares these
// words and no lock exists across that boundary.
void gpio_word_set_bits(unsigned bank, std::uint32_t offset, std::uint32_t bits);
void gpio_word_clear_bits(unsigned bank, std::uint32_t offset, std::uint32_t bits);

// Puts a pin under GPIO control as an input (line released) or an output
// (driving its data bit): function select cleared, mask set, direction last.
void gpio_make_input(unsigned pin);
void gpio_make_output(unsigned pin);

}  // namespace tarvex
