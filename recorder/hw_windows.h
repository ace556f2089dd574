// The recorder's mapped register windows and the GPIO word helpers that the
// hardware layer shares between its files. Not for use outside the hardware layer.
#pragma once

#include <array>
#include <cstdint>

namespace tarvex {

struct HwWindows {
    int mem_fd = -1;  // /dev/mem, kept open for the life of the process
    const volatile std::uint32_t* counter = nullptr;      // the seconds counter word itself
    const volatile std::uint8_t* camera_state = nullptr;  // camera firmware's state byte
    const volatile std::uint8_t* camera_flag = nullptr;   // camera firmware's flag byte (bit 0)
    std::array<volatile std::uint32_t*, 5> banks{};       // GPIO bank windows, bank order
    bool mapped = false;        // every window above is valid
    std::uint32_t last_ticks = 0;  // last counter value hw_ticks returned
};

extern HwWindows hw_windows;  // process-wide

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
