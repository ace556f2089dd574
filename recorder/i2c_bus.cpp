// Bit-banged I2C master. The protocol verbs only see the four line
// operations below; how a line is driven lives in those four alone. Both
// lines are open-drain: "low" drives the pin as an output of a 0 data bit,
// "release" makes it an input so the pull-up takes the line high.
#include "i2c_bus.h"

#include "gpio.h"
#include "hw_map.h"
#include "platform.h"
#include "reg_access.h"

namespace tarvex {

namespace {

constexpr unsigned BUS_BANK = PIN_SDA / 32;  // both bus pins sit in bank 1
static_assert(PIN_SCL / 32 == BUS_BANK);
constexpr std::uint32_t SDA_BIT = std::uint32_t{1} << (PIN_SDA % 32);

// SCL's data bit is never written: the platform leaves it 0, so making the
// pin an output pulls the line low.
void scl_low() { gpio_make_output(PIN_SCL); }
void scl_release() { gpio_make_input(PIN_SCL); }

// The data bit is cleared before and after the pin turns output, so the pin
// never drives a stale 1 onto the line.
void sda_low() {
    if (!hw_windows.mapped) return;
    gpio_word_clear_bits(BUS_BANK, GPIO_DATA, SDA_BIT);
    gpio_make_output(PIN_SDA);
    gpio_word_clear_bits(BUS_BANK, GPIO_DATA, SDA_BIT);
}
void sda_release() { gpio_make_input(PIN_SDA); }
int sda_sample() { return gpio_get(PIN_SDA); }

void sda_put(int bit) {
    if (bit != 0) {
        sda_release();
    } else {
        sda_low();
    }
}

}  // namespace

void i2c_delay() { platform::bus_delay(); }

void i2c_claim_bus() { gpio_make_input(PIN_BUS_GUARD); }

bool i2c_bus_disturbed() {
    if (!hw_windows.mapped) return false;
    const std::uint32_t func = reg_read32(gpio_word(PIN_BUS_GUARD / 32, GPIO_FUNC));
    return ((func >> (PIN_BUS_GUARD % 32)) & 1u) != 0;
}

// Also the repeated START: both lines are released first, whatever the
// previous transfer left them as.
void i2c_start() {
    i2c_delay();
    sda_release();
    i2c_delay();
    scl_release();
    i2c_delay();
    sda_low();  // SDA falls while SCL is high: START
    i2c_delay();
    scl_low();
    i2c_delay();
}

// Entered with SCL low.
void i2c_stop() {
    sda_low();
    i2c_delay();
    scl_release();
    i2c_delay();
    sda_release();  // SDA rises while SCL is high: STOP
    i2c_delay();
}

// Most significant bit first; the device samples SDA while SCL is high. The
// acknowledge of the ninth clock is sampled but not acted on: bus faults
// show up as implausible data in the device drivers.
void i2c_write_byte(std::uint8_t byte) {
    scl_low();
    for (int bit = 7; bit >= 0; --bit) {
        i2c_delay();
        sda_put((byte >> bit) & 1);
        i2c_delay();
        scl_release();
        i2c_delay();
        scl_low();
    }
    i2c_delay();
    scl_release();
    i2c_delay();
    static_cast<void>(sda_sample());
    scl_low();
    i2c_delay();
}

// Entered with SDA released: the read-address byte ends in a 1 bit and
// i2c_ack ends by releasing SDA.
std::uint8_t i2c_read_byte() {
    std::uint8_t byte = 0;
    i2c_delay();
    for (int i = 0; i < 8; ++i) {
        scl_release();
        i2c_delay();
        byte = static_cast<std::uint8_t>((byte << 1) | sda_sample());
        scl_low();
        i2c_delay();
    }
    return byte;
}

void i2c_ack() {
    sda_low();
    i2c_delay();
    scl_release();
    i2c_delay();
    scl_low();
    i2c_delay();
    sda_release();
    i2c_delay();
}

void i2c_nack() {
    sda_release();
    i2c_delay();
    scl_release();
    i2c_delay();
    scl_low();
    i2c_delay();
}

void i2c_write(std::uint8_t dev, std::uint8_t reg, std::uint8_t value) {
    i2c_start();
    i2c_write_byte(dev);
    i2c_write_byte(reg);
    i2c_write_byte(value);
    i2c_stop();
}

void i2c_write_a16(std::uint8_t dev, std::uint16_t reg, std::uint8_t value) {
    i2c_start();
    i2c_write_byte(dev);
    i2c_write_byte(static_cast<std::uint8_t>(reg >> 8));
    i2c_write_byte(static_cast<std::uint8_t>(reg & 0xff));
    i2c_write_byte(value);
    i2c_stop();
}

namespace {

// Repeated START, the read form of the address, then `length` bytes, each
// acknowledged but the last; the transfer ends with a NACK and STOP.
void read_after_address(std::uint8_t dev, std::size_t length, std::uint8_t* buf) {
    i2c_start();
    i2c_write_byte(static_cast<std::uint8_t>(dev | 1u));
    for (std::size_t i = 0; i < length; ++i) {
        buf[i] = i2c_read_byte();
        if (i + 1 < length) i2c_ack();
    }
    i2c_nack();
    i2c_stop();
}

}  // namespace

void i2c_read(std::uint8_t dev, std::uint8_t reg, std::size_t length, std::uint8_t* buf) {
    i2c_start();
    i2c_write_byte(dev);
    i2c_write_byte(reg);
    read_after_address(dev, length, buf);
}

void i2c_read_a16(std::uint8_t dev, std::uint16_t reg, std::size_t length, std::uint8_t* buf) {
    i2c_start();
    i2c_write_byte(dev);
    i2c_write_byte(static_cast<std::uint8_t>(reg >> 8));
    i2c_write_byte(static_cast<std::uint8_t>(reg & 0xff));
    read_after_address(dev, length, buf);
}

}  // namespace tarvex
