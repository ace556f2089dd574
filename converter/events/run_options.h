// Run-wide options of one conversion, set from the command line.
#pragma once

#include <cstdint>

namespace tarvex {

struct RunOptions {
    std::int32_t high_g = 0;          // 1: 200 G accelerometer scale instead of 16 G
    std::int32_t alt_adjust = 0;      // ft, added to every real sample altitude
    std::uint16_t last_gps_kind = 0;  // kind of the GPS record last shown in the subtitles
};

// `last_sub_time` value meaning "no subtitle written yet in this chapter".
inline constexpr std::uint32_t NO_SUB_TIME = 0xFFFFFFFFu;

}  // namespace tarvex
