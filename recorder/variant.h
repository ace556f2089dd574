// The four constants that tell the three recorder builds apart. Everything
// else is the same program; exactly one variant is linked into each build.
#pragma once

#include <cstdint>

namespace tarvex {

struct RecorderVariant {
    std::uint32_t hw_revision;        // written into every DAT header
    std::uint32_t camera_state_addr;  // physical address of the camera state byte
    std::uint32_t camera_flag_addr;   // physical address of the camera flag byte
    std::uint8_t idle_value;          // camera state byte value meaning idle
};

// The variant this build serves (defined once per build target).
extern const RecorderVariant recorder_variant;

}  // namespace tarvex
