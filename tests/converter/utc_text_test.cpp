// The UTC text against the C library's calendar (gmtime_r with the host's
// 64-bit time_t, printed with "%04lld"), across eras, leap days, the years
// before 1 and past 9999, and the extremes of 64-bit milliseconds.
#include "utc_text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <limits>
#include <string>

namespace tarvex {
namespace {

static_assert(sizeof(std::time_t) == 8, "the reference needs a 64-bit time_t");

std::string reference_iso(std::int64_t unix_ms) {
    const std::int64_t s = unix_ms / 1000 - (unix_ms % 1000 < 0 ? 1 : 0);
    const std::time_t t = s;
    std::tm tm{};
    if (gmtime_r(&t, &tm) == nullptr) return "gmtime failed";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04lld-%02d-%02dT%02d:%02d:%02d.%03dZ", tm.tm_year + 1900LL, tm.tm_mon + 1,
                  tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec, static_cast<int>(unix_ms - s * 1000));
    return buf;
}

TEST(UtcText, EqualsTheCLibraryCalendarForAnyTime) {
    constexpr std::int64_t DAY_MS = 86400000;
    const std::int64_t fixed[] = {0,
                                  -1,
                                  999,
                                  -999,
                                  1000,
                                  951782400000 /* 2000-02-29 */,
                                  4107542399999 /* 2100-02-28 end */,
                                  2147483648000 /* past 32-bit time_t */,
                                  253402300799999 /* 9999-12-31 end */,
                                  253402300800000,
                                  -62167219200000 /* 0000-01-01 */,
                                  -62167219200001,
                                  -62198755200000 /* year -1 */,
                                  -93750000000000,
                                  std::numeric_limits<std::int64_t>::max() - 807,
                                  std::numeric_limits<std::int64_t>::min() + 808};
    for (const std::int64_t ms : fixed) {
        char text[UTC_TEXT_SIZE];
        format_utc_iso_ms(ms, text);
        EXPECT_EQ(text, reference_iso(ms)) << ms;
    }
    // Every 7th day and a bit over 800 years, around 1970 and 2000.
    for (std::int64_t ms = -400 * 366 * DAY_MS; ms < 400 * 366 * DAY_MS; ms += 7 * DAY_MS + 3601001) {
        char text[UTC_TEXT_SIZE];
        format_utc_iso_ms(ms, text);
        ASSERT_EQ(text, reference_iso(ms)) << ms;
    }
    char text[UTC_TEXT_SIZE];
    format_utc_date_time(4294967295, text);
    EXPECT_STREQ(text, "2106-02-07 06:28:15 UTC");
}

}  // namespace
}  // namespace tarvex
