#include "decimal_digits.h"

namespace tarvex {

char* write_wide_decimal(char* p, std::uint64_t v) {
    if (v <= UINT32_MAX) return write_decimal(p, static_cast<std::uint32_t>(v));
    const std::uint64_t high = v / 100000000;
    p = write_wide_decimal(p, high);  // at most twice more: 20 digits in all
    put_digits<8>(p, static_cast<std::uint32_t>(v - high * 100000000));
    return p + 8;
}

}  // namespace tarvex
