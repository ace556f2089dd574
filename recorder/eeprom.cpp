// Main EEPROM (0xA0): unit identity, board layout, accelerometer offsets.
// Expander EEPROM (0xA2): the expander board's ID.
#include <array>
#include <cstdint>
#include <cstdio>

#include "eeprom.h"
#include "i2c_bus.h"
#include "platform.h"

namespace tarvex {

Identity identity;

namespace {

// Main EEPROM layout (first 16 bytes).
constexpr std::size_t ADDR_LAYOUT_MARK = 2;  // '0' or '1': v3.0 layout
constexpr std::size_t ADDR_SERIAL = 3;       // 8 characters, padded with 0xFF or 0
constexpr std::size_t SERIAL_LENGTH = 8;
constexpr std::uint16_t ADDR_CAL_MARK = 11;
constexpr std::uint16_t ADDR_OFFSETS = 12;  // device axes 0, 1, 2
constexpr std::size_t ADDR_EXPANDER_ID = 15;
constexpr std::size_t HEAD_SIZE = 16;

constexpr std::uint8_t CAL_MARK_V3 = 0xC0;
constexpr std::uint8_t CAL_MARK_V2 = 0xC1;
constexpr std::uint8_t CAL_MARK_INVALID = 0xFF;

// Expander EEPROM: magic 0xEE 0x01, then the board ID (0xFF: none).
constexpr std::uint8_t EXPANDER_MAGIC0 = 0xEE;
constexpr std::uint8_t EXPANDER_MAGIC1 = 0x01;
constexpr std::uint8_t EXPANDER_ID_NONE = 0xFF;

constexpr std::uint32_t WRITE_CYCLE_US = 50000;

bool is_v3_mark(std::uint8_t b) { return b == '0' || b == '1'; }

std::int8_t as_signed(std::uint8_t b) { return static_cast<std::int8_t>(b); }

void read_expander_id(const std::array<std::uint8_t, 3>& expander) {
    if (expander[0] != EXPANDER_MAGIC0 || expander[1] != EXPANDER_MAGIC1) {
        std::printf("Expander EEPROM contents not valid. Ignoring.\n");
        return;
    }
    if (expander[2] == EXPANDER_ID_NONE) {
        std::printf("Expander EEPROM present, but lacks valid expander ID\n");
        std::printf("Continuing with expander ID from main EEPROM: %02x\n", identity.expander_id);
        return;
    }
    std::printf("Expander EEPROM contains ID: %02x\n", expander[2]);
    std::printf("Expander ID from Expander EEPROM takes priority over main expander ID\n");
    identity.expander_id = expander[2];
}

void copy_serial(const std::array<std::uint8_t, HEAD_SIZE>& head, char* serial, std::size_t size) {
    if (size == 0) return;
    std::size_t n = 0;
    for (; n < SERIAL_LENGTH && n + 1 < size; ++n) {
        const std::uint8_t c = head[ADDR_SERIAL + n];
        if (c == 0 || c == 0xFF) break;
        serial[n] = static_cast<char>(c);
    }
    serial[n] = '\0';
}

// The offsets stored at addresses 12 to 14 become the identity's; `layout`
// names the board's calibration layout in the message.
void load_stored_offsets(const std::array<std::uint8_t, HEAD_SIZE>& head, const char* layout) {
    const std::array<std::int8_t, 3> offsets{as_signed(head[ADDR_OFFSETS]), as_signed(head[ADDR_OFFSETS + 1]),
                                             as_signed(head[ADDR_OFFSETS + 2])};
    std::printf("EEPROM %s accelerometer cal data found: %d %d %d\n", layout, offsets[0], offsets[1], offsets[2]);
    identity.accel_offsets = offsets;
}

}  // namespace

int eeprom_read_identity(char* serial, std::size_t size) {
    identity.accel_axis_flip = 0;

    std::array<std::uint8_t, HEAD_SIZE> head{};
    i2c_read_a16(I2C_EEPROM_MAIN, 0, head.size(), head.data());
    std::printf("16bit EEPROM read returned: %02x\n", head[ADDR_LAYOUT_MARK]);

    std::array<std::uint8_t, 3> expander{};
    i2c_read(I2C_EEPROM_EXPANDER, 0, expander.size(), expander.data());
    std::printf("Expander EEPROM magic: %02x\n", expander[0]);

    bool wide = true;
    if (!is_v3_mark(head[ADDR_LAYOUT_MARK])) {
        i2c_read(I2C_EEPROM_MAIN, 0, head.size(), head.data());
        std::printf("8bit EEPROM read returned: %02x\n", head[ADDR_LAYOUT_MARK]);
        wide = false;
    }

    if (!is_v3_mark(head[ADDR_LAYOUT_MARK])) {
        std::printf("EEPROM does not contain v3.0 magic - Axis flip disabled\n");
        identity.eeprom_wide_addressing = 0;
        // No serial number on these boards: leave the caller an empty string
        // rather than whatever its buffer held.
        if (size > 0) serial[0] = '\0';
        if (head[ADDR_CAL_MARK] == CAL_MARK_V2) load_stored_offsets(head, "v2");
        return -1;
    }

    std::printf("EEPROM v3.0 magic found - Axis flip enabled\n");
    if (head[ADDR_LAYOUT_MARK] == '1') {
        std::printf("EEPROM v3.0 cal data v2 detected\n");
        identity.expander_id = head[ADDR_EXPANDER_ID];
        std::printf("Main EEPROM Expander board ID: %02x\n", identity.expander_id);
    }
    read_expander_id(expander);

    identity.accel_axis_flip = 1;
    // A mark found only by the one-byte read means a part with one address
    // byte: two address bytes would put later writes at the wrong addresses.
    identity.eeprom_wide_addressing = wide ? 1 : 0;

    copy_serial(head, serial, size);

    if (head[ADDR_CAL_MARK] == CAL_MARK_V3) {
        load_stored_offsets(head, "v3");
    } else {
        std::printf("EEPROM v3 accelerometer cal data not present.\n");
    }
    return 0;
}

void eeprom_write_byte(std::uint16_t address, std::uint8_t value) {
    if (identity.eeprom_wide_addressing) i2c_write_a16(I2C_EEPROM_MAIN, address, value);
    else i2c_write(I2C_EEPROM_MAIN, static_cast<std::uint8_t>(address), value);
    platform::sleep_us(WRITE_CYCLE_US);
}

std::uint8_t eeprom_read_byte(std::uint16_t address) {
    std::uint8_t value = 0;
    if (identity.eeprom_wide_addressing) i2c_read_a16(I2C_EEPROM_MAIN, address, 1, &value);
    else i2c_read(I2C_EEPROM_MAIN, static_cast<std::uint8_t>(address), 1, &value);
    return value;
}

int eeprom_store_accel_offsets() {
    // The mark follows the board's layout, which the identity read looks for at
    // the next start; the layout flag is the axis mapping's. (On every board
    // but a v3.0 one with one address byte this is also the addressing flag.)
    std::uint8_t mark = CAL_MARK_V2;
    if (identity.accel_axis_flip) {
        mark = CAL_MARK_V3;
        std::printf("Writing v3 EEPROM cal values\n");
    } else {
        std::printf("Writing v2 EEPROM cal values\n");
    }
    std::printf("Writing offsets to EEPROM\n");

    const std::array<std::int8_t, 3> offsets = identity.accel_offsets;
    eeprom_write_byte(ADDR_CAL_MARK, mark);
    for (std::uint16_t axis = 0; axis < offsets.size(); ++axis)
        eeprom_write_byte(static_cast<std::uint16_t>(ADDR_OFFSETS + axis), static_cast<std::uint8_t>(offsets[axis]));

    bool same = eeprom_read_byte(ADDR_CAL_MARK) == mark;
    for (std::uint16_t axis = 0; axis < offsets.size(); ++axis)
        same = same && as_signed(eeprom_read_byte(static_cast<std::uint16_t>(ADDR_OFFSETS + axis))) == offsets[axis];
    if (same) {
        std::printf("EEPROM successfully written\n");
        return 0;
    }

    std::printf("EEPROM programming error\n");
    eeprom_write_byte(ADDR_CAL_MARK, CAL_MARK_INVALID);
    return -1;
}

}  // namespace tarvex
