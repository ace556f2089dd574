// Unit factors and accelerometer scales, for every program that shows a
// reading. Two kinds on purpose: the subtitles and the CSV keep the integer
// ratios their formats have always used (feet to metres as * 1000 / 3281, km/h to mph
// as * 100 / 161, the 200 G part rescaled by 125 / 2048), truncated as
// written there, so their digits never change; datview's dump and picture
// compute in floating point and use the exact factors, which differ from
// those ratios in the fourth digit.
#pragma once

#include <cstdint>

namespace tarvex {

inline constexpr double METRES_PER_FOOT = 0.3048;  // exact: the international foot
inline constexpr double KM_PER_MILE = 1.609344;    // exact: the international mile

// Raw accelerometer counts: 2048 per G on the 16 G part; the 200 G part
// spreads its 200 G over 32768 counts.
inline constexpr std::int32_t COUNTS_PER_G_16G = 2048;
inline constexpr std::int32_t HIGH_G_FULL_SCALE_COUNTS = 32768;
inline constexpr std::int32_t HIGH_G_RANGE_G = 200;

// Counts per G of the part in use (-g: the 200 G part).
inline constexpr double counts_per_g(bool high_g) {
    return high_g ? static_cast<double>(HIGH_G_FULL_SCALE_COUNTS) / HIGH_G_RANGE_G : COUNTS_PER_G_16G;
}

}  // namespace tarvex
