// The camera's free-running seconds counter, the recorder's time base.
#pragma once

#include <cstdint>

namespace tarvex {

inline constexpr std::uint32_t COUNTER_PHYS = 0x7000d000;  // page of the counter window
inline constexpr std::uint32_t COUNTER_OFFSET = 0x34;      // byte offset of the counter word

// The counter, seconds. A value below the last one returned (a misread, or
// the wrap to 0) is reported and replaced by an immediate second read.
// Before hw_map has succeeded: the last value returned (0 at first).
std::uint32_t hw_ticks();

}  // namespace tarvex
