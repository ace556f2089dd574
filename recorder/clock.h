// The recorder's millisecond clock: whole seconds from the camera's seconds
// counter, the part below a second from the system clock since the counter
// was last seen to change. Unsigned 32-bit arithmetic, wrapping.
#pragma once

#include <cstdint>

namespace tarvex {

struct ClockState {
    std::uint32_t base_seconds = 0;
    std::uint32_t last_ticks = 0;
    std::uint32_t tick_ms = 0;
    std::uint32_t start_ticks = 0;
};

extern ClockState clock_state;  // process-wide

void clock_init();
std::uint32_t wall_ms();
void clock_sync();
std::uint32_t clock_ms();

}  // namespace tarvex
