#include "decimal_digits.h"

namespace tarvex {

char* write_wide_decimal(char* p, std::uint64_t v) {
    if (v <= UINT32_MAX) return write_decimal(p, static_cast<std::uint32_t>(v));
        // A leading part, then eight digits; a leading part beyond 32 bits (from
        // about 4.3 * 10^17 on) takes the same way once more.
        // A 64-bit processor divides by a constant with one multiplication.
#if defined(__SIZEOF_INT128__)
    const std::uint64_t high = v / 100000000;
#else
    const std::uint64_t high = div_by_1e8(v);
#endif
    p = high <= UINT32_MAX ? write_decimal(p, static_cast<std::uint32_t>(high)) : write_wide_decimal(p, high);
    put_digits<8>(p, static_cast<std::uint32_t>(v - high * 100000000));
    return p + 8;
}

}  // namespace tarvex
