// One-off proof (not a test): for every int32 x whose last decimal digit is
// not 5, printf("%f", x / 10000000.0) is the integer x rounded to millionths
// (half away from zero never arises), with a minus sign whenever x < 0.
// Exhaustive over all 2^32 values: the correctly rounded quotient q is
// compared exactly (128-bit integers) with the bounds of the rounding
// interval of r = round(|x| / 10); glibc's printf writes the correctly
// rounded digits of q's exact value, so r's digits are printf's. Every 997th
// value is also compared with snprintf itself, checking that reasoning.
//   g++ -std=c++20 -O2 bench/proofs/check_degrees_e7.cpp -o check && ./check   # about 30 s
#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

// r with six decimals, "-" first when negative: what the GPX writer prints.
void integer_text(char* out, std::int32_t x, std::uint32_t r) {
    std::snprintf(out, 32, "%s%" PRIu32 ".%06" PRIu32, x < 0 ? "-" : "", r / 1000000, r % 1000000);
}

}  // namespace

int main() {
    std::uint64_t checked = 0, printed = 0, failures = 0;
    for (std::int64_t xi = INT32_MIN; xi <= INT32_MAX; ++xi) {
        const auto x = static_cast<std::int32_t>(xi);
        const std::uint32_t a = x < 0 ? 0u - static_cast<std::uint32_t>(x) : static_cast<std::uint32_t>(x);
        if (a % 10 == 5) continue;  // exact ties: printed from the double
        const std::uint32_t r = a / 10 + (a % 10 > 5 ? 1 : 0);
        const double q = x / 10000000.0;
        if (x != 0) {
            std::uint64_t bits;
            std::memcpy(&bits, &q, sizeof bits);
            const unsigned biased = static_cast<unsigned>(bits >> 52) & 0x7ff;
            const unsigned __int128 m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
            const int shift = 1075 - static_cast<int>(biased);  // |q| = m / 2^shift
            // (2r - 1) / 2e6 < |q| < (2r + 1) / 2e6, i.e. (2r -+ 1) 2^shift <> 2e6 m.
            const unsigned __int128 lhs = m * 2000000u;
            const unsigned __int128 hi = static_cast<unsigned __int128>(2 * std::uint64_t{r} + 1) << shift;
            const bool below_hi = biased != 0 && shift > 0 && shift < 100 && lhs < hi;
            const bool above_lo = r == 0 || (static_cast<unsigned __int128>(2 * std::uint64_t{r} - 1) << shift) < lhs;
            if (!below_hi || !above_lo || (q < 0) != (x < 0)) {
                if (++failures < 10) std::printf("bounds fail x=%" PRId32 "\n", x);
            }
        }
        ++checked;
        if (xi % 997 == 0 || x == 0 || a < 20) {
            char want[32], got[32];
            std::snprintf(want, sizeof want, "%f", q);
            integer_text(got, x, r);
            if (std::strcmp(want, got) != 0 && ++failures < 10)
                std::printf("printf fail x=%" PRId32 ": %s %s\n", x, want, got);
            ++printed;
        }
    }
    std::printf("%" PRIu64 " values proved, %" PRIu64 " also against snprintf, %" PRIu64 " failures\n", checked,
                printed, failures);
    return failures == 0 ? 0 : 1;
}
