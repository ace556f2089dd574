// Ride statistics on a log whose answers are known by construction: hits
// closer than 3 s are one, 1 G at rest is no hit, each highlight stands at
// the fix nearest in time (before or after it), and noise inside the dead
// band adds no climb.

#include <gtest/gtest.h>

#include "dat_log.h"
#include "ride_stats.h"
#include "test_support.h"

namespace tarvex {
namespace {

TEST(RideStats, HitsMergeWithin3sAndHighlightsStandAtTheNearestFix) {
    // 20 s at 10 samples per second: a climb of 100 ft over 10 s, then level
    // with 1 ft of noise (under the 2 m dead band), then 80 ft down. Hits of
    // 3 G at 5.0 s and 2.5 G at 5.5 s (one hit), 2 G at 12.0 s. A GpsFix every
    // second at 0.3 s, 1.3 s, ...; the fastest (40 km/h) at 8.3 s.
    test::DatLog log = test::log_with_header();
    for (std::uint32_t i = 0; i < 200; ++i) {
        const std::uint32_t t = i * 100;
        const std::int32_t alt = i <= 100   ? static_cast<std::int32_t>(i)
                                 : i <= 150 ? 100 + static_cast<std::int32_t>(i % 2)
                                            : 100 - static_cast<std::int32_t>((i - 150) * 80 / 49);
        const std::int16_t z = t == 5000 ? 3 * 2048 : t == 5500 ? 5 * 1024 : t == 12000 ? 2 * 2048 : 2048;
        log.sample(t, test::reading(alt, 215, {0, 0, z}));
        if (i % 10 == 3) {
            GpsFix f;
            f.lat_deg = 46;
            f.lat_frac = 500000u + i * 10u;
            f.lon_deg = 7;
            f.lon_frac = 100000u;
            f.gps_speed = static_cast<std::int16_t>(t == 8300 ? 40 : 20);
            f.dist = static_cast<std::int32_t>(i);  // 10 m units
            log.fix(t, f);
        }
    }
    test::TempDir dir;
    test::write_file(dir.file("log.dat"), log.bytes());
    Settings settings;
    settings.alt_filter = settings.accel_filter = 0;
    settings.gps_lag = 0;
    RideReport r;
    ASSERT_TRUE(compute_ride(dir.file("log.dat").c_str(), settings, RideOptions{}, r));

    const RideStats& s = r.stats;
    EXPECT_DOUBLE_EQ(*s.duration_s, 19.9);
    EXPECT_NEAR(*s.climb_m, 101 * 0.3048, 1e-9);  // up to the noise's top
    EXPECT_NEAR(*s.descent_m, (101 - 20) * 0.3048, 1e-9);
    EXPECT_DOUBLE_EQ(*s.g_max, 3.0);
    EXPECT_DOUBLE_EQ(*s.speed_max_kmh, 40.0);
    EXPECT_DOUBLE_EQ(*s.distance_m, 1900.0);  // 190 units of 10 m since the first fix

    struct Expected {
        HighlightKind kind;
        double value;
        std::int64_t at_ms, fix_ms;
    };
    const Expected expected[] = {
        {HighlightKind::G, 3.0, 5000, 5300},  // the 2.5 G at 5.5 s is the same hit
        {HighlightKind::G, 2.0, 12000, 12300},
        {HighlightKind::Height, 101 * 0.3048, 10100, 10300},
        {HighlightKind::Speed, 40.0, 8300, 8300},
    };
    ASSERT_GE(r.highlights.size(), std::size(expected));
    for (std::size_t i = 0; i < std::size(expected); ++i) {
        const Highlight& h = r.highlights[i];
        EXPECT_EQ(h.kind, expected[i].kind) << i;
        EXPECT_NEAR(h.value, expected[i].value, 1e-9) << i;
        EXPECT_EQ(h.log_time_ms, expected[i].at_ms) << i;
        ASSERT_TRUE(h.fix) << i;
        EXPECT_EQ(h.fix->log_time_ms, expected[i].fix_ms) << i;
    }
    // Only climb and sink follow; the sink's nearest fix may lie before it.
    EXPECT_EQ(r.highlights.size(), std::size(expected) + 2);
    EXPECT_EQ(r.highlights.back().kind, HighlightKind::Sink);
}

}  // namespace
}  // namespace tarvex
