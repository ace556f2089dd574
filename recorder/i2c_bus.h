// The accessory's I2C bus, bit-banged on pins 36 (SDA) and 37 (SCL): the
// bus guard on pin 17, the protocol verbs and the register transactions.
// No transaction reports an error: acknowledges are not acted on, so bus
// faults show up in the drivers as implausible data.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvex {

// Device address bytes (write form; the read form has bit 0 set).
inline constexpr std::uint8_t I2C_BARO = 0xEE;
inline constexpr std::uint8_t I2C_ACCEL = 0x3A;
inline constexpr std::uint8_t I2C_EEPROM_MAIN = 0xA0;
inline constexpr std::uint8_t I2C_EEPROM_EXPANDER = 0xA2;

// The guard: claim pin 17 before bus work; true when the camera has handed
// it back to its hardware function since (the bus may have been disturbed).
void i2c_claim_bus();
bool i2c_bus_disturbed();

// Protocol verbs; each states the line state it expects and leaves.
void i2c_delay();
void i2c_start();
void i2c_stop();
void i2c_write_byte(std::uint8_t byte);
std::uint8_t i2c_read_byte();
void i2c_ack();
void i2c_nack();

// Register transactions: a one-byte register number, or a 16-bit address
// sent high byte first. Reads fill `length` bytes of `buf`.
void i2c_write(std::uint8_t dev, std::uint8_t reg, std::uint8_t value);
void i2c_write_a16(std::uint8_t dev, std::uint16_t reg, std::uint8_t value);
void i2c_read(std::uint8_t dev, std::uint8_t reg, std::size_t length, std::uint8_t* buf);
void i2c_read_a16(std::uint8_t dev, std::uint16_t reg, std::size_t length, std::uint8_t* buf);

}  // namespace tarvex
