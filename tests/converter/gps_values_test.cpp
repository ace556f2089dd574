#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "byte_order.h"
#include "gps_values.h"
#include "log_events.h"

namespace tarvex {
namespace {

LogEvent fix_record(std::int32_t odometer) {
    GpsFix f;
    f.dist = odometer;
    f.gps_speed = 77;
    return test::fix_record(f);
}

LogEvent nav_record(std::uint32_t tow, std::int32_t x, std::int32_t y, std::int32_t z) {
    GpsNavData n;
    n.time_of_week = tow;
    n.ecef_x = x;
    n.ecef_y = y;
    n.ecef_z = z;
    return test::nav_record(n);
}

TEST(GpsPreprocess, OdometerReadsFromTheFilesFirstFix) {
    GpsState state;
    Settings settings;
    const std::vector<std::pair<std::int32_t, std::int32_t>> cases = {{1234, 0}, {1300, 66}, {1200, -34}, {1234, 0}};
    for (const auto& [logged, shown] : cases) {
        LogEvent rec = fix_record(logged);
        // Other GPS kinds in between do not disturb the rebasing.
        LogEvent nav = nav_record(0, 0, 0, 0);
        gps_preprocess(state, nav, settings);
        gps_preprocess(state, rec, settings);
        const GpsFix f = decode_gps_fix(rec.payload.data());
        EXPECT_EQ(f.dist, shown) << "logged " << logged;
        EXPECT_EQ(f.gps_speed, 77);
        EXPECT_EQ(rec.dist, 0.0);
    }
}

TEST(GpsPreprocess, Fix2SpeedMovesToTheFixSpeedPlace) {
    GpsState state;
    Settings settings;
    LogEvent rec;
    rec.type = static_cast<std::uint16_t>(EntryKind::GpsFix2);
    rec.size = 40;
    for (std::size_t i = 0; i < 40; ++i) {
        rec.payload[i] = static_cast<std::uint8_t>(0xA0 + i);
    }
    store_le16(rec.payload.data() + fix2_off::speed, 0xBEEF);
    LogEvent expected = rec;
    store_le16(expected.payload.data() + fix_off::gps_speed, 0xBEEF);

    gps_preprocess(state, rec, settings);
    EXPECT_EQ(rec.payload, expected.payload);
}

TEST(GpsPreprocess, UnknownKindsAndStateAreLeftAlone) {
    GpsState state;
    Settings settings;
    LogEvent rec;
    rec.type = 7;
    rec.size = 60;
    for (std::size_t i = 0; i < 60; ++i) {
        rec.payload[i] = static_cast<std::uint8_t>(i * 13);
    }
    const LogEvent before = rec;
    gps_preprocess(state, rec, settings);
    EXPECT_EQ(rec.payload, before.payload);
    EXPECT_EQ(rec.dist, 0.0);
    EXPECT_EQ(state.first_odometer, -1);
    EXPECT_EQ(state.interval_count, 0);
}

struct NavFix {
    std::uint32_t tow;  // 1/100 s
    std::int32_t x, y, z;
    double dist_after;  // cm carried by the record
};

struct DistanceCase {
    const char* name;
    std::int32_t interval;
    std::int32_t speed_limit;
    std::vector<NavFix> fixes;
};

// Around a point on the earth's surface (cm).
constexpr std::int32_t X0 = 400000000;
constexpr std::int32_t Y0 = 100000000;
constexpr std::int32_t Z0 = 480000000;

void PrintTo(const DistanceCase& c, std::ostream* os) { *os << c.name; }

class GpsDistance : public ::testing::TestWithParam<DistanceCase> {};

TEST_P(GpsDistance, AccumulatesTheExpectedTotal) {
    const DistanceCase& c = GetParam();
    GpsState state;
    Settings settings;
    settings.gps_dist_interval = c.interval;
    settings.gps_speed_limit = c.speed_limit;
    for (std::size_t i = 0; i < c.fixes.size(); ++i) {
        const NavFix& f = c.fixes[i];
        LogEvent rec = nav_record(f.tow, f.x, f.y, f.z);
        gps_preprocess(state, rec, settings);
        EXPECT_DOUBLE_EQ(rec.dist, f.dist_after) << "fix " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Examples, GpsDistance,
    ::testing::Values(
        // 100 m in 1 s is 360 km/h: under a 483 limit it counts.
        DistanceCase{
            "FirstStepOnlyRecordsThePosition", 1, 483, {{1000, X0, Y0, Z0, 0.0}, {1100, X0 + 10000, Y0, Z0, 10000.0}}},
        DistanceCase{"IntervalZeroStepsEveryFix",
                     0,
                     483,
                     {{1000, X0, Y0, Z0, 0.0},
                      {1100, X0, Y0 + 3000, Z0 + 4000, 5000.0},
                      {1200, X0, Y0 + 3000, Z0 + 4000, 5000.0}}},
        // With interval 3 the in-between fixes carry the unchanged total and
        // the step is a straight line from the previous step's position.
        DistanceCase{"IntervalThreeStepsEveryThirdFix",
                     3,
                     483,
                     {{100, X0 + 1000, Y0, Z0, 0.0},
                      {200, X0 + 2000, Y0, Z0, 0.0},
                      {300, X0 + 3000, Y0, Z0, 0.0},
                      {400, X0 + 4000, Y0 + 9999, Z0, 0.0},
                      {500, X0 + 5000, Y0 - 9999, Z0, 0.0},
                      {600, X0 + 6000, Y0, Z0, 3000.0},
                      {700, X0 + 6000, Y0 + 500, Z0, 3000.0}}},
        // Over 300 km/h the step adds nothing, but its position still
        // becomes the starting point of the next step.
        DistanceCase{"SpeedGateDropsTooFastStep",
                     1,
                     300,
                     {{1000, X0, Y0, Z0, 0.0}, {1100, X0 + 10000, Y0, Z0, 0.0}, {1200, X0 + 11000, Y0, Z0, 1000.0}}},
        DistanceCase{"NoGateWithinThreeHundredths",
                     1,
                     483,
                     {{1000, X0, Y0, Z0, 0.0},
                      {1003, X0 + 1000000, Y0, Z0, 1000000.0},
                      {1003, X0 + 2000000, Y0, Z0, 2000000.0}}},
        // Time of week restarts with a new GPS week: negative difference, no gate.
        DistanceCase{
            "NoGateAcrossWeekRollover", 1, 483, {{60479990, X0, Y0, Z0, 0.0}, {50, X0 + 1000000, Y0, Z0, 1000000.0}}},
        DistanceCase{
            "LimitZeroDisablesTheGate", 1, 0, {{1000, X0, Y0, Z0, 0.0}, {1100, X0 + 1000000, Y0, Z0, 1000000.0}}},
        // A fix exactly at X 0 reads as "no previous position" for the next step.
        DistanceCase{"PositionAtXZeroStartsAfresh",
                     1,
                     0,
                     {{1000, 30000, 0, 0, 0.0},
                      {1100, 0, 40000, 0, 50000.0},
                      {1200, 0, 90000, 0, 50000.0},
                      {1300, 0, 90000, 70000, 50000.0}}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvex
