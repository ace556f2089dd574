// One-off proof (not a test): for every int32 x whose last decimal digit is
// 5, the coordinate text of text/degrees_e7.h is printf("%f", x / 10000000.0).
// The side e7_quotient_side reports is compared for every such x with the
// side of the correctly rounded double, found exactly (128-bit integers:
// |q| = m / 2^shift against |x| / 10^7); glibc's printf rounds the double's
// exact value to nearest, ties to even, so that side decides the digits.
// Every 97th tie, every exact quotient and every 997th other value are also
// compared with snprintf.
//   g++ -std=c++20 -O2 -Iconverter/text bench/proofs/check_degrees_e7_ties.cpp -o check && ./check   # about 1 min
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "degrees_e7.h"

int main() {
    std::uint64_t checked = 0, printed = 0, exact = 0, failures = 0;
    for (std::int64_t xi = INT32_MIN; xi <= INT32_MAX; ++xi) {
        const auto x = static_cast<std::int32_t>(xi);
        const std::uint32_t a = x < 0 ? 0u - static_cast<std::uint32_t>(x) : static_cast<std::uint32_t>(x);
        if (a % 10 != 5) {  // the other digits' reasoning is check_degrees_e7.cpp's; here the code's text
            if (a % 997 == 0) {
                char want[64], have[64];
                std::snprintf(want, sizeof want, "%f", x / 10000000.0);
                *tarvex::write_degrees_e7(have, x) = '\0';
                ++printed;
                if (std::strcmp(want, have) != 0 && ++failures <= 10) std::printf("x = %" PRId32 ": %s\n", x, have);
            }
            continue;
        }
        const double q = x / 10000000.0;
        std::uint64_t bits;
        std::memcpy(&bits, &q, sizeof bits);
        const unsigned biased = static_cast<unsigned>(bits >> 52) & 0x7ff;
        const unsigned __int128 m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
        const int shift = 1075 - static_cast<int>(biased);  // |q| = m / 2^shift
        const unsigned __int128 lhs = m * 10000000u;
        const unsigned __int128 rhs = static_cast<unsigned __int128>(a) << shift;
        const int side = lhs > rhs ? 1 : lhs < rhs ? -1 : 0;
        ++checked;
        const int got = tarvex::e7_quotient_side(a);
        bool bad = got != side;
        if (side == 0) ++exact;
        if (bad || side == 0 || checked % 97 == 0) {
            char want[64], have[64];
            std::snprintf(want, sizeof want, "%f", q);
            *tarvex::write_degrees_e7(have, x) = '\0';
            ++printed;
            bad = bad || std::strcmp(want, have) != 0;
        }
        if (bad && ++failures <= 10) std::printf("x = %" PRId32 ": side %d, reported %d\n", x, side, got);
    }
    std::printf("%" PRIu64 " ties checked (%" PRIu64 " exact), %" PRIu64 " also printed, %" PRIu64 " failures\n",
                checked, exact, printed, failures);
    return failures == 0 ? 0 : 1;
}
