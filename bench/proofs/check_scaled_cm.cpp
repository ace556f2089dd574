// One-off proof (not a test): a distance d in cm (a double, 0 <= d < 2^30)
// printed as printf("%.*f", PLACES, d / DIVISOR) is d rounded to whole UNITs
// (UNIT = DIVISOR / 10^PLACES cm), except within 2^-8 cm of a half UNIT,
// where the double's rounding decides (those are still divided). The printed
// value is monotone in d, so within [i, i + 1) it is settled by its two ends,
// d = i and the largest double below i + 1 (or, next to a half UNIT, the
// ends of the part not within 2^-8 cm of it): both are checked for every
// integer i < 2^30, exactly (128-bit bounds of the rounding
// interval against the correctly rounded quotient); glibc's printf writes the
// correctly rounded digits of the quotient's exact value. Every 9973rd i is
// also compared with snprintf itself, checking that reasoning.
//   g++ -std=c++20 -O2 bench/proofs/check_scaled_cm.cpp -o check && ./check   # a few minutes
#include <cinttypes>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

namespace {

struct Form {
    double divisor;
    int places;
    std::uint32_t unit;
};

// Whether printf("%.*f", places, q) writes n / 10^places, for q >= 0.
bool rounds_to(double q, int places, std::uint64_t n) {
    if (q == 0) return n == 0;
    std::uint64_t bits;
    std::memcpy(&bits, &q, sizeof bits);
    const unsigned biased = static_cast<unsigned>(bits >> 52) & 0x7ff;
    if (biased == 0 || (bits >> 63) != 0) return false;
    const unsigned __int128 m = (bits & ((std::uint64_t{1} << 52) - 1)) | (std::uint64_t{1} << 52);
    const int shift = 1075 - static_cast<int>(biased);  // q = m / 2^shift
    if (shift <= 0 || shift > 100) return false;
    std::uint64_t scale = 1;
    for (int k = 0; k < places; ++k) scale *= 10;
    // (2n - 1) / 2 < q 10^places < (2n + 1) / 2
    const unsigned __int128 lhs = m * scale * 2;
    return lhs < (static_cast<unsigned __int128>(2 * n + 1) << shift) &&
           (n == 0 || (static_cast<unsigned __int128>(2 * n - 1) << shift) < lhs);
}

}  // namespace

int main() {
    constexpr Form forms[] = {
        {100000.0, 4, 10}, {100000.0, 2, 1000}, {100000.0, 1, 10000}, {161000.0, 2, 1610}, {161000.0, 1, 16100}};
    constexpr std::uint32_t LIMIT = 1u << 30;
    constexpr std::uint32_t MARGIN = 1u << 24;  // the writer's 2^-8 cm
    std::uint64_t proved = 0, printed = 0, failures = 0;
    for (const Form& f : forms) {
        std::uint64_t scale = 1;
        for (int k = 0; k < f.places; ++k) scale *= 10;
        for (std::uint32_t i = 0; i < LIMIT; ++i) {
            const std::uint32_t b = i % f.unit;
            const std::uint64_t n = i / f.unit + (b >= f.unit / 2 ? 1 : 0);
            double ends[2] = {static_cast<double>(i), std::nextafter(static_cast<double>(i) + 1, 0.0)};
            if (b == f.unit / 2 - 1) {
                // Only d < i + 1 - 2^-8 (fraction below 2^32 - 2^24 in 32.32).
                ends[1] = std::nextafter(static_cast<double>(i) + 1 - 0x1p-8, 0.0);
            } else if (b == f.unit / 2) {
                // Only fractions above 2^24 / 2^32: the smallest such double.
                const auto above = [&](double d) { return std::ldexp(d - i, 32) >= MARGIN + 1; };
                double d = static_cast<double>(i) + std::ldexp(static_cast<double>(MARGIN + 1), -32);
                while (!above(d)) d = std::nextafter(d, 2.0 * LIMIT);
                while (above(std::nextafter(d, 0.0))) d = std::nextafter(d, 0.0);
                ends[0] = d;
            }
            for (const double d : ends) {
                if (!rounds_to(d / f.divisor, f.places, n) && ++failures < 10)
                    std::printf("fail %.0f/%d: d=%.17g\n", f.divisor, f.places, d);
                ++proved;
            }
            if (i % 9973 == 0) {
                for (const double d : ends) {
                    char want[48], got[48];
                    std::snprintf(want, sizeof want, "%.*f", f.places, d / f.divisor);
                    std::snprintf(got, sizeof got, "%" PRIu64 ".%0*" PRIu64, n / scale, f.places, n % scale);
                    if (std::strcmp(want, got) != 0 && ++failures < 10) std::printf("printf fail: %s %s\n", want, got);
                    ++printed;
                }
            }
        }
    }
    std::printf("%" PRIu64 " interval ends proved, %" PRIu64 " also against snprintf, %" PRIu64 " failures\n", proved,
                printed, failures);
    return failures == 0 ? 0 : 1;
}
