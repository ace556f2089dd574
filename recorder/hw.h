// Hardware layer: register windows, GPIO pins, the seconds counter, the
// camera's state bytes, and a bit-banged I2C master on pins 36 (SDA) and 37 (SCL).
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarvex {

// Pins.
inline constexpr unsigned PIN_BUS_GUARD = 17;
inline constexpr unsigned PIN_SDA = 36;
inline constexpr unsigned PIN_SCL = 37;
inline constexpr unsigned PIN_STATUS = 38;
inline constexpr unsigned PIN_REC_START = 45;
inline constexpr unsigned PIN_CAL_REQUEST = 140;
inline constexpr unsigned PIN_ACCESSORY = 142;

// Physical addresses shared by every build.
inline constexpr std::uint32_t COUNTER_PHYS = 0x7000d000;
inline constexpr std::uint32_t COUNTER_OFFSET = 0x34;
inline constexpr std::uint32_t GPIO_BANK_PHYS[5] = {0x70009000, 0x7000a000, 0x7000e000, 0x70010000,
                                                    0x70011000};
inline constexpr std::uint32_t GPIO_DATA = 0x00;
inline constexpr std::uint32_t GPIO_DIR = 0x04;
inline constexpr std::uint32_t GPIO_FUNC = 0x18;
inline constexpr std::uint32_t GPIO_MASK = 0x28;

// I2C device address bytes (write form).
inline constexpr std::uint8_t I2C_BARO = 0xEE;
inline constexpr std::uint8_t I2C_ACCEL = 0x3A;
inline constexpr std::uint8_t I2C_EEPROM_MAIN = 0xA0;
inline constexpr std::uint8_t I2C_EEPROM_EXPANDER = 0xA2;

int hw_map();  // 0, or -1 after printing why
void* map_phys(int fd, std::uint32_t phys, std::size_t length);
bool hw_mapped();  // false until hw_map succeeded: nothing may touch GPIO before

void gpio_set(unsigned pin, int level);
int gpio_get(unsigned pin);
std::uint32_t hw_ticks();
int camera_recording(int require_trigger);
int camera_idle();

void i2c_claim_bus();
int i2c_bus_disturbed();

void i2c_delay();
void i2c_start();
void i2c_stop();
void i2c_write_byte(std::uint8_t byte);
std::uint8_t i2c_read_byte();
void i2c_ack();
void i2c_nack();

void i2c_write(std::uint8_t dev, std::uint8_t reg, std::uint8_t value);
void i2c_write_a16(std::uint8_t dev, std::uint16_t reg, std::uint8_t value);
int i2c_read(std::uint8_t dev, std::uint8_t reg, std::size_t length, std::uint8_t* buf);
int i2c_read_a16(std::uint8_t dev, std::uint16_t reg, std::size_t length, std::uint8_t* buf);

}  // namespace tarvex
