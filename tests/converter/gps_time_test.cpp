// GPS week time to UTC around leap seconds and week ends, and the ISO text.
#include "gps_time.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace tarvex {
namespace {

std::string iso(std::int64_t unix_ms) {
    char out[ISO_TIME_SIZE];
    return format_iso_utc_ms(unix_ms, out) ? std::string(out) : std::string("unusable");
}

// Week 1930 starts 2017-01-01T00:00:00 GPS = 2016-12-31T23:59:43Z (17 s
// ahead before that day's leap second, 18 s after it).
TEST(GpsTime, WeekTimeBecomesUtcAcrossLeapSecondsAndWeekEnds) {
    struct Case {
        const char* name;
        std::uint16_t week;
        std::uint32_t tow;  // 1/100 s
        const char* utc;
    } const cases[] = {
        {"week start, 17 s ahead", 1930, 0, "2016-12-31T23:59:43.000Z"},
        {"last second before the leap second", 1930, 1699, "2016-12-31T23:59:59.990Z"},
        {"the leap second itself holds", 1930, 1750, "2016-12-31T23:59:59.999Z"},
        {"first second after, 18 s ahead", 1930, 1800, "2017-01-01T00:00:00.000Z"},
        {"2015 leap second, 16 s before", 1851, 259216 * 100 - 100, "2015-06-30T23:59:59.000Z"},
        {"2015 leap second, 17 s after", 1851, 259217 * 100, "2015-07-01T00:00:00.000Z"},
        {"last hundredth of a week", 2404, 60479999, "2026-02-07T23:59:41.990Z"},
        {"next week's first", 2405, 0, "2026-02-07T23:59:42.000Z"},
        {"week numbers past 1023 (no 10-bit rollover)", 2024, 0, "2018-10-20T23:59:42.000Z"},
    };
    for (const Case& c : cases) EXPECT_EQ(iso(gps_week_to_unix_ms(c.week, c.tow)), c.utc) << c.name;
}

TEST(GpsTime, OnlyTimesFrom2000To2100AreUsable) {
    EXPECT_EQ(iso(0), "unusable");
    EXPECT_EQ(iso(946684799999), "unusable");
    EXPECT_EQ(iso(946684800000), "2000-01-01T00:00:00.000Z");
    EXPECT_EQ(iso(1709251199999), "2024-02-29T23:59:59.999Z");  // leap day
    EXPECT_EQ(iso(4102444799999), "2099-12-31T23:59:59.999Z");
    EXPECT_EQ(iso(4102444800000), "unusable");
    EXPECT_EQ(iso(-1), "unusable");
}

}  // namespace
}  // namespace tarvex
