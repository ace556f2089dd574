// Pressure altitude by table lookup: no floating point at run time on the camera.
#include <cstdint>

#include "altitude_table.h"

#include "dat_format.h"

namespace tarvex {

namespace {
constexpr std::uint32_t TABLE_FIRST_PA = 5000;
constexpr std::uint32_t TABLE_STEP_SHIFT = 9;  // 512 Pa per row
}  // namespace

// Feet at 5000 + 512 * i Pa: (44330 / 0.3048) * (1 - (p / 101325)^(1 / 5.255)),
// rounded to the nearest foot. A test recomputes every row.
const std::array<std::int32_t, ALTITUDE_TABLE_SIZE> altitude_table = {
    63402, 61865, 60441, 59111, 57863, 56687, 55573, 54515, 53507, 52544, 51622, 50736, 49885, 49065, 48273, 47508,
    46768, 46050, 45354, 44678, 44020, 43380, 42757, 42150, 41557, 40979, 40414, 39861, 39320, 38791, 38273, 37765,
    37268, 36780, 36301, 35830, 35369, 34915, 34469, 34031, 33600, 33175, 32758, 32347, 31942, 31543, 31150, 30763,
    30381, 30005, 29634, 29268, 28906, 28549, 28197, 27850, 27506, 27167, 26832, 26501, 26174, 25850, 25531, 25214,
    24902, 24592, 24287, 23984, 23684, 23388, 23095, 22804, 22517, 22232, 21950, 21671, 21394, 21120, 20849, 20580,
    20314, 20050, 19788, 19528, 19271, 19016, 18764, 18513, 18264, 18018, 17773, 17531, 17290, 17051, 16815, 16580,
    16347, 16115, 15885, 15658, 15431, 15207, 14984, 14763, 14543, 14325, 14108, 13893, 13679, 13467, 13256, 13047,
    12839, 12633, 12427, 12223, 12021, 11820, 11620, 11421, 11224, 11027, 10832, 10639, 10446, 10255, 10064, 9875,
    9687,  9500,  9314,  9129,  8946,  8763,  8581,  8401,  8221,  8042,  7865,  7688,  7512,  7337,  7164,  6991,
    6819,  6648,  6477,  6308,  6140,  5972,  5805,  5639,  5474,  5310,  5147,  4984,  4822,  4661,  4501,  4341,
    4183,  4025,  3868,  3711,  3555,  3400,  3246,  3092,  2940,  2787,  2636,  2485,  2335,  2185,  2037,  1888,
    1741,  1594,  1448,  1302,  1157,  1013,  869,   726,   583,   441,   300,   159,   19,    -121,  -260,  -398,
    -536,  -674,  -811,  -947,  -1083, -1218, -1353, -1487, -1620, -1754,
};

std::int32_t pressure_to_altitude(std::uint32_t pascal) {
    if (pascal == static_cast<std::uint32_t>(NO_VALUE) || pascal < TABLE_FIRST_PA) return NO_VALUE;
    const std::uint32_t d = pascal - TABLE_FIRST_PA;
    const std::uint32_t i = d >> TABLE_STEP_SHIFT;
    if (i + 1 >= ALTITUDE_TABLE_SIZE) return NO_VALUE;
    const std::int32_t slope = altitude_table[i + 1] - altitude_table[i];
    const auto fraction = static_cast<std::int32_t>(d & ((1u << TABLE_STEP_SHIFT) - 1));
    // Arithmetic shift: rounds toward minus infinity (the slope is negative).
    return altitude_table[i] + ((fraction * slope) >> TABLE_STEP_SHIFT);
}

}  // namespace tarvex
