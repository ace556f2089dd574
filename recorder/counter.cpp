// Reads the camera's seconds counter through its mapped window.
#include "counter.h"

#include <cstdio>

#include "hw_map.h"
#include "reg_access.h"

namespace tarvex {

std::uint32_t hw_ticks() {
    if (!hw_windows.mapped) return hw_windows.last_ticks;
    std::uint32_t t = reg_read32(hw_windows.counter);
    if (t < hw_windows.last_ticks) {
        // A counter that goes backwards (a misread, or its wrap to 0): report
        // it and trust an immediate second read.
        std::printf("WTF?! %d %d\n", static_cast<int>(t), static_cast<int>(hw_windows.last_ticks));
        t = reg_read32(hw_windows.counter);
    }
    hw_windows.last_ticks = t;
    return t;
}

}  // namespace tarvex
