#include "sensor_pack.h"

#include "accel_device.h"
#include "baro_device.h"
#include "eeprom_device.h"

namespace tarvex::sim {

namespace {
constexpr std::uint8_t EEPROM_MAIN = 0xA0;
constexpr std::uint8_t EEPROM_EXPANDER = 0xA2;
constexpr std::size_t MAIN_SIZE_WIDE = 4096;  // a part with two address bytes
constexpr std::size_t MAIN_SIZE_NARROW = 256;
constexpr std::size_t EXPANDER_SIZE = 256;
constexpr std::size_t LAYOUT_MARK = 2;
}  // namespace

std::vector<std::unique_ptr<I2cSlave>> make_sensor_pack(const Scenario& scenario, const SimTime& time) {
    std::vector<std::unique_ptr<I2cSlave>> devices;
    devices.push_back(std::make_unique<BaroDevice>(scenario, time));

    // The board's accelerometer orientation goes with its EEPROM layout.
    AccelLayout layout = AccelLayout::Older;
    if (scenario.eeprom_main) {
        const std::uint8_t mark = (*scenario.eeprom_main)[LAYOUT_MARK];
        if (mark == '0' || mark == '1') layout = AccelLayout::V3;
    }
    if (!scenario.accelerometer_absent) devices.push_back(std::make_unique<AccelDevice>(scenario, time, layout));

    if (scenario.eeprom_main) {
        const bool wide = scenario.eeprom_main_addressing != 8;
        const auto& head = *scenario.eeprom_main;
        devices.push_back(std::make_unique<EepromDevice>(EEPROM_MAIN, wide ? MAIN_SIZE_WIDE : MAIN_SIZE_NARROW, wide,
                                                         std::vector<std::uint8_t>(head.begin(), head.end()),
                                                         scenario.eeprom_write_fail, time));
    }
    if (scenario.eeprom_expander) {
        const auto& head = *scenario.eeprom_expander;
        devices.push_back(std::make_unique<EepromDevice>(
            EEPROM_EXPANDER, EXPANDER_SIZE, false, std::vector<std::uint8_t>(head.begin(), head.end()), false, time));
    }
    return devices;
}

}  // namespace tarvex::sim
