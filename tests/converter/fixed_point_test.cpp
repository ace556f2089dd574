// The rounded square root and the hand-rolled number formatting, checked
// against exact arithmetic and against the C library's printf.
#include <gtest/gtest.h>

#include <cinttypes>
#include <climits>
#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "fixed_point.h"
#include "log_events.h"
#include "repeated_divisor.h"
#include "text_out.h"

namespace tarvex {
namespace {

using test::written_by;

TEST(Isqrt, RoundsToNearest) {
    struct Case {
        std::uint32_t in, out;
    };
    const Case cases[] = {
        {0, 0},
        {1, 1},
        {2, 1},
        {3, 2},
        {4, 2},
        {6, 2},
        {7, 3},
        {12, 3},
        {13, 4},
        {100, 10},
        {110, 10},
        {111, 11},
        {0x3FFFFFFF, 32768},
        {0x40000000, 32768},
        {4294836225u, 65535},
        {4294967295u, 65536},
    };
    for (const Case& c : cases) EXPECT_EQ(isqrt(c.in), c.out) << c.in;
}

TEST(Isqrt, AgreesWithExactRoundingEverywhere) {
    // Around every perfect square and every midpoint r*r + r, plus random values.
    const auto expected = [](std::uint32_t s) {
        std::uint64_t r = static_cast<std::uint64_t>(std::sqrt(static_cast<double>(s)));
        while (r * r > s) --r;
        while ((r + 1) * (r + 1) <= s) ++r;
        return static_cast<std::uint32_t>(s - r * r > r ? r + 1 : r);
    };
    for (std::uint64_t r = 0; r <= 65535; r += 7) {
        for (std::int64_t d = -2; d <= 2; ++d) {
            for (const std::uint64_t base : {r * r, r * r + r}) {
                const std::int64_t s = static_cast<std::int64_t>(base) + d;
                if (s < 0 || s > 0xFFFFFFFF) continue;
                const auto v = static_cast<std::uint32_t>(s);
                ASSERT_EQ(isqrt(v), expected(v)) << v;
            }
        }
    }
    std::mt19937 rng(42);
    for (int i = 0; i < 200000; ++i) {
        const std::uint32_t v = rng();
        ASSERT_EQ(isqrt(v), expected(v)) << v;
    }
}

template <int PLACES>
std::string fixed_with(std::int64_t v) {
    char buf[32];
    return std::string(buf, write_fixed<PLACES>(buf, v));
}

std::string fixed(std::int64_t v, int places) {
    switch (places) {
        case 1: return fixed_with<1>(v);
        case 2: return fixed_with<2>(v);
        case 3: return fixed_with<3>(v);
        case 4: return fixed_with<4>(v);
        case 5: return fixed_with<5>(v);
        case 6: return fixed_with<6>(v);
        default: return fixed_with<7>(v);
    }
}

TEST(WriteFixed, Examples) {
    struct Case {
        std::int64_t v;
        int places;
        const char* text;
    };
    const Case cases[] = {
        {5, 2, " 0.05"},
        {-5, 2, "-0.05"},
        {123, 2, " 1.23"},
        {0, 2, " 0.00"},
        {-250, 2, "-2.50"},
        {10, 1, " 1.0"},
        {-15, 1, "-1.5"},
        {-335000000, 7, "-33.5000000"},
        {5, 7, " 0.0000005"},
        // The most negative 32-bit value keeps its true magnitude.
        {INT32_MIN, 2, "-21474836.48"},
        {INT32_MAX, 1, " 214748364.7"},
        {INT64_MIN, 1, "-922337203685477580.8"},
    };
    for (const Case& c : cases) EXPECT_EQ(fixed(c.v, c.places), c.text) << c.v;
}

// The reference: the printf form "%c%d.%0Nd" over the magnitude.
std::string printf_fixed(std::int64_t v, int places) {
    std::uint64_t unit = 1;
    for (int i = 0; i < places; ++i) unit *= 10;
    const std::uint64_t mag = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%c%" PRIu64 ".%0*" PRIu64, v < 0 ? '-' : ' ', mag / unit, places, mag % unit);
    return buf;
}

std::vector<std::int64_t> interesting_values() {
    std::vector<std::int64_t> vals;
    for (std::int64_t v = -1100; v <= 1100; ++v) vals.push_back(v);
    std::int64_t p = 1;
    for (int i = 0; i < 18; ++i, p *= 10) {
        for (const std::int64_t d : {-1, 0, 1}) {
            vals.push_back(p + d);
            vals.push_back(-(p + d));
        }
    }
    for (const std::int64_t v : {std::int64_t{INT32_MIN}, std::int64_t{INT32_MIN} + 1, std::int64_t{INT32_MAX},
                                 std::int64_t{UINT32_MAX}, INT64_MAX, INT64_MIN, INT64_MIN + 1}) {
        vals.push_back(v);
    }
    std::mt19937_64 rng(7);
    for (int i = 0; i < 20000; ++i) {
        vals.push_back(static_cast<std::int32_t>(rng()));
        vals.push_back(static_cast<std::int64_t>(rng()));
    }
    return vals;
}

TEST(WriteFixed, MatchesPrintfForAllPlaces) {
    for (const std::int64_t v : interesting_values()) {
        for (int places = 1; places <= 7; ++places) {
            ASSERT_EQ(fixed(v, places), printf_fixed(v, places)) << v << " places " << places;
        }
    }
}

TEST(MulDiv, EqualsSixtyFourBitArithmeticOnBothSidesOfThe32BitLimit) {
    for (const std::int64_t v : interesting_values()) {
        if (v < INT32_MIN || v > INT32_MAX) continue;  // the callers' values are 32-bit
        ASSERT_EQ((mul_div<1000, 3281>(v)), v * 1000 / 3281) << v;
        ASSERT_EQ((mul_div<9, 50>(v)), v * 9 / 50) << v;
        ASSERT_EQ((mul_div<100, 161>(v)), v * 100 / 161) << v;
        ASSERT_EQ((mul_div<1, 10>(v)), v / 10) << v;
    }
    for (const std::int64_t edge : {INT32_MAX / 1000, -(INT32_MAX / 1000)}) {
        for (std::int64_t v = edge - 2; v <= edge + 2; ++v) ASSERT_EQ((mul_div<1000, 3281>(v)), v * 1000 / 3281) << v;
    }
}

TEST(Row, IntegersMatchPrintf) {
    const std::vector<std::int64_t> vals = interesting_values();
    const std::string got = written_by([&](TextOut& out) {
        for (const std::int64_t v : vals) {
            const auto u32 = static_cast<std::uint32_t>(v);
            Row t(out);
            t.dec(v);
            t.put('|');
            t.udec(static_cast<std::uint64_t>(v));
            t.put('|');
            t.udec_padded<2>(u32 % 100000u);
            t.put('|');
            t.udec_padded<3>(u32 % 1000u);
            t.put('|');
            t.udec_padded<6>(u32);
            t.put('|');
            t.dec(static_cast<std::int32_t>(v));
            t.put('\n');
        }
    });
    std::size_t pos = 0;
    for (const std::int64_t v : vals) {
        const auto u32 = static_cast<std::uint32_t>(v);
        char buf[160];
        std::snprintf(buf, sizeof buf, "%" PRId64 "|%" PRIu64 "|%02" PRIu32 "|%03" PRIu32 "|%06" PRIu32 "|%d\n", v,
                      static_cast<std::uint64_t>(v), u32 % 100000u, u32 % 1000u, u32,
                      static_cast<int>(static_cast<std::int32_t>(v)));
        const std::string line = buf;
        ASSERT_EQ(got.substr(pos, line.size()), line) << v;
        pos += line.size();
    }
    EXPECT_EQ(pos, got.size());
}

TEST(DivBy1e8, EqualsDivisionOverTheWholeRange) {
    std::vector<std::uint64_t> vals = {0, 1, 99999999, 100000000, UINT32_MAX, UINT64_MAX, UINT64_MAX - 1};
    for (std::uint64_t q = 1; q < UINT64_MAX / 100000000; q = q * 3 + 1) {
        for (const std::uint64_t e : {std::uint64_t{0}, std::uint64_t{1}, std::uint64_t{99999999}}) {
            vals.push_back(q * 100000000 + e);
            vals.push_back(q * 100000000 - 1 + e);
        }
    }
    // Below 2^43 (a one-product form): around every multiple, and the limit.
    for (std::uint64_t q = 0; q <= (std::uint64_t{1} << 43) / 100000000 + 1; ++q) {
        vals.insert(vals.end(), {q * 100000000, q * 100000000 + 99999999, q * 100000000 + 50000000});
    }
    vals.insert(vals.end(), {(std::uint64_t{1} << 43) - 1, std::uint64_t{1} << 43});
    std::mt19937_64 rng(3);
    for (int i = 0; i < 200000; ++i) vals.push_back(rng() >> (rng() % 64));
    for (const std::uint64_t v : vals) ASSERT_EQ(div_by_1e8(v), v / 100000000) << v;
}

// The coordinate text of 1e-7 degree counts against printf, above all at the
// ties (last digit 5) that the double's side of them decides: every tie
// around zero, near the largest magnitudes and at exact quotients (odd
// multiples of 5^7 = 78125), and random ones (the whole range is checked by
// bench/proofs/check_degrees_e7_ties.cpp).
TEST(DegreesE7, MatchesPrintf) {
    std::vector<std::int32_t> vals{INT32_MIN, INT32_MAX, 0, -1, 1};
    for (std::int32_t v = -100005; v <= 100005; v += 10) vals.push_back(v);
    for (std::int32_t k = 1; k < 400; k += 2) vals.insert(vals.end(), {78125 * k, -78125 * k});
    for (std::int32_t d = 0; d < 100000; d += 10) vals.insert(vals.end(), {INT32_MAX - 2 - d, INT32_MIN + 5 + d});
    std::mt19937 rng(7);
    for (int i = 0; i < 300000; ++i) vals.push_back(static_cast<std::int32_t>(rng()));
    for (const std::int32_t v : vals) {
        char want[64], have[64];
        std::snprintf(want, sizeof want, "%f", v / 10000000.0);
        *write_degrees_e7(have, v) = '\0';
        ASSERT_STREQ(have, want) << v;
    }
}

// The distances' fixed-point centimetres, taken from the double's bits,
// against the comparison and scaling they stand for.
TEST(Fixed3232Below2To30, EqualsTheComparisonAndScaling) {
    const double big = 1073741824.0;
    std::vector<double> vals{0.0,
                             -0.0,
                             0.25,
                             0.5,
                             1.0,
                             1.5,
                             4.9e-324,
                             2.2e-308,
                             0x1p-32,
                             0x1p-33,
                             0x1.8p-32,
                             std::nextafter(big, 0.0),
                             big,
                             -1.0,
                             -4.9e-324,
                             1e300,
                             std::numeric_limits<double>::infinity(),
                             -std::numeric_limits<double>::infinity(),
                             std::numeric_limits<double>::quiet_NaN()};
    std::mt19937_64 rng(5);
    for (int i = 0; i < 200000; ++i)
        vals.push_back(std::ldexp(static_cast<double>(rng() >> 11), -static_cast<int>(rng() % 90)));
    for (const double d : vals) {
        std::uint64_t fixed = 7;
        const bool fits = !std::signbit(d) && d < big;
        ASSERT_EQ(fixed_32_32_below_2_30(d, fixed), fits) << d;
        if (fits) {
            ASSERT_EQ(fixed, static_cast<std::uint64_t>(std::ldexp(d, 32))) << d;  // exact: below 2^62
        }
    }
}

TEST(RepeatedDivisor, EqualsTruncatingDivision) {
    // Divisors as the pipeline meets them (counts, times) and at the edges,
    // each with dividends around its multiples and at the 32-bit limits;
    // the divisor changes between every two quotients, as at start-up.
    std::vector<std::int32_t> dens;
    for (std::int32_t d = 1; d <= 1100; ++d) dens.push_back(d);
    for (int b = 11; b <= 31; ++b) {
        const auto p = static_cast<std::int32_t>((std::int64_t{1} << b) - 1);
        for (const std::int32_t d : {p, p - 1}) dens.push_back(d);
        dens.push_back(static_cast<std::int32_t>(std::int64_t{1} << (b - 1)));
        dens.push_back(static_cast<std::int32_t>(std::int64_t{1} << (b - 1)) + 1);
    }
    std::mt19937 rng(5);
    RepeatedDivisor<true> div;  // the camera's way, on any processor
    for (const std::int32_t d : dens) {
        std::vector<std::int64_t> nums = {0, 1, -1, INT32_MAX, INT32_MIN, INT32_MIN + 1, INT32_MAX - 1};
        for (const std::int64_t k :
             {std::int64_t{1}, std::int64_t{2}, std::int64_t{1000}, std::int64_t{32768}, INT32_MAX / std::int64_t{d}}) {
            for (const std::int64_t e : {-1, 0, 1}) {
                nums.push_back(k * d + e);
                nums.push_back(-k * d + e);
            }
        }
        for (int i = 0; i < 40; ++i) nums.push_back(static_cast<std::int32_t>(rng()));
        for (const std::int64_t n64 : nums) {
            if (n64 < INT32_MIN || n64 > INT32_MAX) continue;
            const auto n = static_cast<std::int32_t>(n64);
            ASSERT_EQ(div.divide(n, d), div_trunc(n, d)) << n << " / " << d;
            ASSERT_EQ(div.divide(n, 7), div_trunc(n, 7)) << n << " / 7";
        }
    }
}

TEST(Row, KeepsOrderWhenTheBufferFillsInTheMiddleOfARow) {
    // Text already buffered puts the buffer's end at different places in a
    // row whose checked writes (a long string, a bar longer than the buffer,
    // a double conversion wider than what is left) outgrow it: the bytes
    // must come out whole and in order, the row's unchecked bytes included.
    const std::string long_text(3000, 'x');
    char big[400];
    std::snprintf(big, sizeof big, "%.4f", 1e300);
    std::string abc;
    for (int i = 0; i < 300; ++i) abc += "abc";
    const std::string row = "start 42" + long_text + "\n" + std::string(40000, '|') + abc + big + " end\n";
    constexpr std::size_t CAP = TextOut::CAPACITY;
    for (const std::size_t before :
         {std::size_t{0}, CAP - TextOut::ROW_MAX, CAP - 3008, CAP - 3007, CAP - 400, CAP - 1}) {
        const std::string got = written_by([&](TextOut& out) {
            const std::string fill(before, '.');
            out.put(fill.data(), fill.size());
            for (int twice = 0; twice < 2; ++twice) {
                Row t(out);
                t.lit("start ");
                t.dec(42);
                t.str(long_text.c_str());
                t.put('\n');
                t.repeat('|', 40000);
                for (int i = 0; i < 300; ++i) t.lit("abc");
                t.printf("%.4f", 1e300);
                t.lit(" end\n");
            }
        });
        ASSERT_EQ(got, std::string(before, '.') + row + row) << before;
    }
}

// Row::fixed_double against printf's "%.*f" for the places the writers use
// (GPX "%f", CSV "%.4f", subtitles "%.2f" and "%.1f"): values as the
// writers make them (int32 / 10^7, distances / 10^5 and / 161000), exact
// decimal ties (small multiples of powers of two), every binary exponent,
// the edges of the row's fast path, and the special values.
TEST(Row, FixedDoubleMatchesPrintf) {
    std::vector<double> vals = {0.0,
                                -0.0,
                                0.5,
                                -0.5,
                                1.5,
                                2.5,
                                0.05,
                                0.25,
                                0.125,
                                0.375,
                                1e15,
                                -1e15,
                                std::nextafter(1e15, 0.0),
                                std::nextafter(-1e15, 0.0),
                                1e300,
                                -1e300,
                                std::numeric_limits<double>::max(),
                                std::numeric_limits<double>::denorm_min(),
                                std::numeric_limits<double>::infinity(),
                                -std::numeric_limits<double>::infinity(),
                                std::numeric_limits<double>::quiet_NaN(),
                                -std::numeric_limits<double>::quiet_NaN()};
    for (const std::int64_t v : {std::int64_t{INT32_MIN}, std::int64_t{INT32_MAX}, std::int64_t{-1}, std::int64_t{1}}) {
        vals.push_back(static_cast<double>(v) / 10000000.0);
        vals.push_back(static_cast<double>(v) / 100000.0);
        vals.push_back(static_cast<double>(v) / 161000.0);
    }
    std::mt19937_64 rng(11);
    for (int e = -1074; e <= 1023; ++e) {
        vals.push_back(std::ldexp(1.0, e));
        vals.push_back(-std::ldexp(1.5, e - 1));
        // A full 53-bit mantissa at this exponent.
        vals.push_back(std::ldexp(static_cast<double>((rng() >> 11) | (std::uint64_t{1} << 52)), e - 52));
    }
    for (int i = 0; i < 150000; ++i) {
        const auto n = static_cast<std::int32_t>(rng());
        vals.push_back(n / 10000000.0);
        // Running distances in cm: sums of square roots, up to about 10^12.
        const double cm = std::ldexp(static_cast<double>(rng() >> 11), -static_cast<int>(rng() % 40));
        vals.push_back(cm / 100000.0);
        vals.push_back(cm / 161000.0);
        // Exact ties at every number of places used: k / 2^j, j <= 12.
        vals.push_back(std::ldexp(static_cast<double>(static_cast<std::int32_t>(rng() % 2000001) - 1000000),
                                  -static_cast<int>(rng() % 13)));
    }
    std::string expected;
    char buf[400];
    for (const double v : vals) {
        for (const int places : {1, 2, 4, 6}) {
            std::snprintf(buf, sizeof buf, "%.*f|", places, v);
            expected += buf;
        }
    }
    const std::string got = written_by([&](TextOut& out) {
        for (const double v : vals) {
            Row t(out);
            t.fixed_double<1>(v);
            t.put('|');
            t.fixed_double<2>(v);
            t.put('|');
            t.fixed_double<4>(v);
            t.put('|');
            t.fixed_double<6>(v);
            t.put('|');
        }
    });
    ASSERT_EQ(got.size(), expected.size());
    for (std::size_t at = 0; at < got.size(); at += 4096) {
        ASSERT_EQ(got.substr(at, 4096), expected.substr(at, 4096)) << "near byte " << at;
    }
}

TEST(Row, OneOpenPerTextOut) {
    // A second Row would write over the first one's bytes.
    EXPECT_DEBUG_DEATH(
        {
            TextOut out;
            Row first(out);
            Row second(out);
        },
        "row_open");
}

TEST(Row, GlideTenthsEqualTheTwoDivisionForm) {
    // The glide ratio was written as sign, |h / v|, '.', |10 h / v| mod 10.
    const auto two_divisions = [](std::int64_t h, std::int64_t v) {
        const std::int64_t q = 10 * h / v, whole = h / v;
        char buf[64];
        std::snprintf(buf, sizeof buf, "%c%" PRId64 ".%" PRId64, q < 0 ? '-' : ' ', whole < 0 ? -whole : whole,
                      (q < 0 ? -q : q) % 10);
        return std::string(buf);
    };
    std::vector<std::int64_t> speeds;
    for (std::int64_t s = -250; s <= 250; ++s) speeds.push_back(s);
    for (const std::int64_t s : {INT32_MIN, INT32_MIN + 1, INT32_MAX - 1, INT32_MAX}) speeds.push_back(s);
    for (const std::int64_t h : speeds) {
        for (const std::int64_t v : speeds) {
            if (v == 0) continue;
            ASSERT_EQ(fixed(10 * h / v, 1), two_divisions(h, v)) << h << " / " << v;
        }
    }
}

}  // namespace
}  // namespace tarvex
