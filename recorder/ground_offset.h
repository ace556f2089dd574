// The ground offset (feet) kept in /tmp/fuse_d/alt_offset.txt, and the
// serial-number lines of /tmp/fuse_d/MISC/trvx_version.txt.
#pragma once

#include <cstdint>

#include "baro.h"

namespace tarvex {

inline constexpr std::int32_t NO_OFFSET = -1000000;

std::int32_t load_ground_offset();
int save_ground_offset(std::int32_t offset);
std::int32_t measure_ground_offset(const BaroCalibration& cal);
void record_serial_number(const char* serial);  // printable text: it ends a line

}  // namespace tarvex
