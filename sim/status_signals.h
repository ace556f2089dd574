// Names the patterns the recorder plays on its status output (acknowledge,
// error, accelerometer warning) from the output's level changes, as someone
// watching the light would, for the simulated camera's status log.
#pragma once

#include <cstdint>
#include <vector>

namespace tarvex::sim {

class StatusSignals {
public:
    // One change of the status output at `time_us` to `level`. Returns the
    // name of the pattern that this change completes, or nullptr.
    const char* change(std::uint64_t time_us, int level);

private:
    struct Edge {
        std::uint64_t time_us = 0;
        int level = 0;
    };
    std::vector<Edge> edges_;           // since power-on or the last pattern named
    std::uint64_t level_since_us_ = 0;  // when the level before edges_[0] began
};

}  // namespace tarvex::sim
