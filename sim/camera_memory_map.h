// The camera's physical memory as the simulator plays it: its own copy of
// the hardware's addresses and of the three camera firmwares' state bytes.
// Deliberately independent of the recorder's constants, so that a wrong
// constant in a recorder build shows up as a camera that never records.
#pragma once

#include <array>
#include <cstdint>

#include "scenario.h"

namespace tarvex::sim {

inline constexpr std::uint32_t SIM_PAGE_BYTES = 4096;
inline constexpr std::uint32_t SIM_COUNTER_PAGE = 0x7000d000;
inline constexpr std::uint32_t SIM_COUNTER_OFFSET = 0x34;
inline constexpr std::array<std::uint32_t, 5> SIM_GPIO_BANKS{0x70009000, 0x7000a000, 0x7000e000, 0x70010000,
                                                             0x70011000};
// Word offsets inside a bank.
inline constexpr std::uint32_t SIM_GPIO_DATA = 0x00;
inline constexpr std::uint32_t SIM_GPIO_DIR = 0x04;
inline constexpr std::uint32_t SIM_GPIO_FUNC = 0x18;
inline constexpr std::uint32_t SIM_GPIO_MASK = 0x28;

// Pins the camera and the accessory wire up.
inline constexpr unsigned SIM_PIN_GUARD = 17;
inline constexpr unsigned SIM_PIN_SDA = 36;
inline constexpr unsigned SIM_PIN_SCL = 37;
inline constexpr unsigned SIM_PIN_STATUS = 38;
inline constexpr unsigned SIM_PIN_REC_START = 45;
inline constexpr unsigned SIM_PIN_CAL_REQUEST = 140;
inline constexpr unsigned SIM_PIN_ACCESSORY = 142;

struct FirmwareInfo {
    const char* name;          // as in the scenario: rev3, rev4, rev1
    std::uint32_t state_addr;  // physical address of the camera state byte
    std::uint32_t flag_addr;   // physical address of the camera flag byte
    std::uint8_t idle_value;   // state byte while the camera is idle
};

const FirmwareInfo& firmware_info(Firmware firmware);

// The firmware a recorder-sim-revN program plays by default (3, 4 or 1).
Firmware firmware_from_revision(int revision);

}  // namespace tarvex::sim
