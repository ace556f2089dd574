// The recorder's platform seam on a PC (platform_sim.cpp) forwards every
// call to one installed SimWorld; this installs it.
#pragma once

#include "sim_world.h"

namespace tarvex::sim {

// Makes `world` the one the platform seam talks to, for this object's life.
class WorldInstallation {
public:
    explicit WorldInstallation(SimWorld& world);
    ~WorldInstallation();
    WorldInstallation(const WorldInstallation&) = delete;
    WorldInstallation& operator=(const WorldInstallation&) = delete;

private:
    SimWorld* previous_;
};

}  // namespace tarvex::sim
