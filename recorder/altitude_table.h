// Pressure altitude in feet from pressure in Pa, by table lookup.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarvex {

inline constexpr std::size_t ALTITUDE_TABLE_SIZE = 202;

std::int32_t pressure_to_altitude(std::uint32_t pascal);  // ft, or NO_VALUE outside the table

// Altitude in ft at 5000 + 512 * i Pa, rounded.
extern const std::array<std::int32_t, ALTITUDE_TABLE_SIZE> altitude_table;

}  // namespace tarvex
