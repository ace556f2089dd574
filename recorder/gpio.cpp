// Pin-level GPIO: bits of the bank words, changed by read-modify-write.
#include "gpio.h"

#include "hw_map.h"
#include "reg_access.h"

namespace tarvex {

namespace {

constexpr unsigned bank_of(unsigned pin) { return pin / 32; }
constexpr std::uint32_t bit_of(unsigned pin) { return std::uint32_t{1} << (pin % 32); }

}  // namespace

void gpio_word_set_bits(unsigned bank, std::uint32_t offset, std::uint32_t bits) {
    volatile std::uint32_t* w = gpio_word(bank, offset);
    reg_write32(w, reg_read32(w) | bits);
}

void gpio_word_clear_bits(unsigned bank, std::uint32_t offset, std::uint32_t bits) {
    volatile std::uint32_t* w = gpio_word(bank, offset);
    reg_write32(w, reg_read32(w) & ~bits);
}

void gpio_make_input(unsigned pin) {
    if (!hw_windows.mapped) return;
    gpio_word_clear_bits(bank_of(pin), GPIO_FUNC, bit_of(pin));
    gpio_word_set_bits(bank_of(pin), GPIO_MASK, bit_of(pin));
    gpio_word_clear_bits(bank_of(pin), GPIO_DIR, bit_of(pin));
}

void gpio_make_output(unsigned pin) {
    if (!hw_windows.mapped) return;
    gpio_word_clear_bits(bank_of(pin), GPIO_FUNC, bit_of(pin));
    gpio_word_set_bits(bank_of(pin), GPIO_MASK, bit_of(pin));
    gpio_word_set_bits(bank_of(pin), GPIO_DIR, bit_of(pin));
}

void gpio_set(unsigned pin, int level) {
    if (!hw_windows.mapped) return;
    if (level != 0) {
        gpio_word_set_bits(bank_of(pin), GPIO_DATA, bit_of(pin));
    } else {
        gpio_word_clear_bits(bank_of(pin), GPIO_DATA, bit_of(pin));
    }
}

int gpio_get(unsigned pin) {
    if (!hw_windows.mapped) return 0;
    return (reg_read32(gpio_word(bank_of(pin), GPIO_DATA)) & bit_of(pin)) != 0 ? 1 : 0;
}

}  // namespace tarvex
