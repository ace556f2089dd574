#include "sensor_pack.h"

namespace tarvex::sim {

// Placeholder until the device models exist: an empty bus reads as all ones.
std::vector<std::unique_ptr<I2cSlave>> make_sensor_pack(const Scenario&, const SimTime&) {
    return {};
}

}  // namespace tarvex::sim
