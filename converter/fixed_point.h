// Integer display helpers shared by the SRT, CSV and GPX writers.
#pragma once

#include <cstdint>

namespace tarvex {

// Square root rounded to the nearest integer (bit-pair method).
std::uint32_t isqrt(std::uint32_t value);

// Signed fixed-point form of a value counting units of 10^-places: '-' or a
// space, |v| / 10^p, '.', |v| mod 10^p zero-padded ("%c%d.%0Nd").
// `places` is 1..18. Writes into `out` (16 bytes suffice for 32-bit values,
// 24 for any 64-bit value) without a terminating NUL; returns the number of
// characters.
int format_fixed(char* out, std::int64_t value, int places);

}  // namespace tarvex
