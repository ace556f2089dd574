// The millisecond clock on the seconds counter and the system clock.
#include "clock.h"

#include "counter.h"
#include "platform.h"

namespace tarvex {

ClockState clock_state;

void clock_init() {
    std::uint32_t seconds = 0, microseconds = 0;
    platform::time_of_day(seconds, microseconds);
    clock_state.base_seconds = seconds;
    clock_state.start_ticks = hw_ticks();
}

std::uint32_t wall_ms() {
    std::uint32_t seconds = 0, microseconds = 0;
    platform::time_of_day(seconds, microseconds);
    return (seconds - clock_state.base_seconds) * 1000u + microseconds / 1000u;
}

void clock_sync() {
    const std::uint32_t t = hw_ticks();
    if (t != clock_state.last_ticks) {
        clock_state.tick_ms = wall_ms();
        clock_state.last_ticks = t;
    }
}

std::uint32_t clock_ms() {
    clock_sync();
    const std::uint32_t t = hw_ticks();
    const std::uint32_t ms = wall_ms();  // read after the counter
    return (t - clock_state.start_ticks) * 1000u + (ms - clock_state.tick_ms);
}

}  // namespace tarvex
