// The devices of the simulated sensor pack: pressure sensor (0xEE),
// accelerometer (0x3A), main EEPROM (0xA0), expander EEPROM (0xA2).
#pragma once

#include <memory>
#include <vector>

#include "i2c_slave.h"
#include "scenario.h"

namespace tarvex::sim {

std::vector<std::unique_ptr<I2cSlave>> make_sensor_pack(const Scenario& scenario, const SimTime& time);

}  // namespace tarvex::sim
