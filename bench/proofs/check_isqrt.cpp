// One-off proof (not a test): isqrt (text/fixed_point.cpp), the rounded
// square root of the accelerations' magnitude, against the exact rounded
// root for every 32-bit input: r = floor(sqrt(v)) found in 64-bit integers,
// then r + 1 when v - r*r > r (v is at least (r + 1/2)^2; no tie exists).
// About 3 minutes:
//   g++ -std=c++20 -O2 -Iconverter/text bench/proofs/check_isqrt.cpp \
//       converter/text/fixed_point.cpp -o check && ./check
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "fixed_point.h"

int main() {
    std::uint64_t failures = 0;
    for (std::uint64_t v = 0; v <= UINT32_MAX; ++v) {
        auto r = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(v)));
        while (r * r > v) --r;
        while ((r + 1) * (r + 1) <= v) ++r;
        const auto want = static_cast<std::uint32_t>(v - r * r > r ? r + 1 : r);
        if (tarvex::isqrt(static_cast<std::uint32_t>(v)) != want && failures++ < 10) {
            std::printf("isqrt(%llu) != %u\n", static_cast<unsigned long long>(v), want);
        }
    }
    std::printf("%llu failures in 2^32 inputs\n", static_cast<unsigned long long>(failures));
    return failures == 0 ? 0 : 1;
}
