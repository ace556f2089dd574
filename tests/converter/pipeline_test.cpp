#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "dat_log.h"
#include "pipeline_run.h"
#include "test_support.h"

namespace tarvex {
namespace {

using test::altitude_of;
using test::DatLog;
using test::Emitted;
using test::plain_settings;
using test::run_pipeline;

std::vector<Emitted> convert(const DatLog& log, const Settings& settings, const RunOptions& run = {}) {
    auto p = test::fresh_pipeline();
    auto f = test::stream_of(log.bytes());
    return run_pipeline(*p, f.get(), settings, run);
}

// A GpsFix told apart by its odometer reading (10 m units).
GpsFix odometer(std::int32_t dist) {
    GpsFix f;
    f.dist = dist;
    return f;
}

std::vector<std::uint32_t> timestamps(const std::vector<Emitted>& events) {
    std::vector<std::uint32_t> out;
    for (const auto& e : events) {
        out.push_back(e.ev.vid_timestamp);
    }
    return out;
}

// ---- Look-ahead order and draining

TEST(PipelineOrder, EmitsEverySampleInFileOrderWhateverTheFileLength) {
    for (std::uint32_t samples : {0u, 1u, 5u, 255u, 256u, 257u, 600u}) {
        DatLog log;
        std::vector<std::uint32_t> expected;
        for (std::uint32_t i = 0; i < samples; ++i) {
            log.sample(i * 60 + 7, static_cast<std::int32_t>(i));
            expected.push_back(i * 60 + 7);
            if (i % 50 == 3) {
                log.fix(i * 60, odometer(1));  // GPS entries never come out
            }
        }
        auto p = test::fresh_pipeline();
        auto f = test::stream_of(log.bytes());
        const auto events = run_pipeline(*p, f.get(), plain_settings());
        EXPECT_EQ(timestamps(events), expected) << samples << " samples";
        for (const auto& e : events) {
            ASSERT_EQ(e.ev.type, 240);
        }
        // Once exhausted, it stays exhausted.
        EXPECT_EQ(next_event(*p, f.get(), plain_settings(), {}), nullptr);
    }
}

TEST(PipelineOrder, GpsOnlyFileEmitsNothing) {
    DatLog log;
    for (std::uint32_t i = 0; i < 300; ++i) {
        log.fix(i * 100, odometer(5));
    }
    EXPECT_TRUE(convert(log, plain_settings()).empty());
}

TEST(PipelineOrder, TruncatedLastEntryKeepsEverythingBefore) {
    DatLog log;
    for (std::uint32_t i = 0; i < 4; ++i) {
        log.sample(i * 60, 100);
    }
    const std::string& bytes = log.bytes();
    auto f = test::stream_of(std::string_view(bytes).substr(0, bytes.size() - 5));
    auto p = test::fresh_pipeline();
    EXPECT_EQ(timestamps(run_pipeline(*p, f.get(), plain_settings())), (std::vector<std::uint32_t>{0, 60, 120}));
}

// ---- Entries with size 0

struct SizeZeroCase {
    const char* name;
    std::vector<int> layout;  // sample timestamps; -1 marks a size-0 entry header
    int messages;
};

void PrintTo(const SizeZeroCase& c, std::ostream* os) { *os << c.name; }

class PipelineSizeZero : public ::testing::TestWithParam<SizeZeroCase> {};

TEST_P(PipelineSizeZero, NeverEndsTheConversion) {
    const SizeZeroCase& c = GetParam();
    DatLog log;
    std::vector<std::uint32_t> expected;
    for (int item : c.layout) {
        if (item < 0) {
            log.entry(240, 0, 0);
        } else {
            log.sample(static_cast<std::uint32_t>(item), 100);
            expected.push_back(static_cast<std::uint32_t>(item));
        }
    }
    std::vector<Emitted> events;
    const std::string out = test::capture_stdout([&] { events = convert(log, plain_settings()); });
    EXPECT_EQ(timestamps(events), expected);
    std::string want;
    for (int i = 0; i < c.messages; ++i) {
        want += "Invalid log entry size: 0\n!";
    }
    EXPECT_EQ(out, want);
}

INSTANTIATE_TEST_SUITE_P(Layouts, PipelineSizeZero,
                         ::testing::Values(SizeZeroCase{"MidFile", {0, 60, -1, 120, 180}, 1},
                                           SizeZeroCase{"BeforeFirstSample", {-1, 0, 60, 120}, 1},
                                           // The first bad entry lets the one waiting sample out; the
                                           // second then meets an empty look-ahead.
                                           SizeZeroCase{"RightAfterADrainEmptiedTheLookAhead", {0, -1, -1, 60, 120}, 2},
                                           SizeZeroCase{"SeveralInARowAtTheStart", {-1, -1, -1, 0}, 3},
                                           SizeZeroCase{"AtTheEnd", {0, 60, -1}, 1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(PipelineSizeZeroLong, MidFileInALongLogKeepsEverySample) {
    DatLog log;
    std::vector<std::uint32_t> expected;
    for (std::uint32_t i = 0; i < 700; ++i) {
        if (i == 100 || i == 400 || i == 401) {
            log.entry(240, 0, 0);
        }
        log.sample(i * 60, 100);
        expected.push_back(i * 60);
    }
    std::vector<Emitted> events;
    const std::string out = test::capture_stdout([&] { events = convert(log, plain_settings()); });
    EXPECT_EQ(timestamps(events), expected);
    EXPECT_EQ(out, "Invalid log entry size: 0\n!Invalid log entry size: 0\n!Invalid log entry size: 0\n!");
}

// ---- Altitude adjustment

TEST(PipelineAltitude, AdjustmentAddsToRealAltitudesOnly) {
    DatLog log;
    log.sample(0, 500).sample(60, NO_VALUE).sample(120, -20);
    RunOptions run;
    run.alt_adjust = 100;
    const auto events = convert(log, plain_settings(), run);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(altitude_of(events[0].ev), 600);
    EXPECT_EQ(altitude_of(events[1].ev), NO_VALUE);
    EXPECT_EQ(altitude_of(events[2].ev), 80);
    // With the filter off the smoothed value is the adjusted raw one, marker included.
    EXPECT_EQ(events[0].ev.filt_altitude, 600);
    EXPECT_EQ(events[1].ev.filt_altitude, NO_VALUE);
    EXPECT_EQ(events[2].ev.filt_altitude, 80);
}

// ---- GPS attachment

struct GpsProbe {
    bool attached;
    std::int32_t gps_new;
    std::uint32_t gps_ts;   // lag-corrected timestamp of the attached record
    std::int32_t odometer;  // tells the records apart
};

GpsProbe probe(const Emitted& e) {
    if (!e.gps) {
        return {false, e.ev.gps_new, 0, 0};
    }
    return {true, e.ev.gps_new, e.gps->vid_timestamp, decode_gps_fix(e.gps->payload.data()).dist};
}

void expect_probe(const Emitted& e, const GpsProbe& want, const char* what) {
    const GpsProbe got = probe(e);
    EXPECT_EQ(got.attached, want.attached) << what;
    EXPECT_EQ(got.gps_new, want.gps_new) << what;
    if (want.attached && got.attached) {
        EXPECT_EQ(got.gps_ts, want.gps_ts) << what;
        EXPECT_EQ(got.odometer, want.odometer) << what;
        EXPECT_EQ(e.ev.dist, 0.0) << what;  // GpsFix records carry no distance
    }
    if (!want.attached) {
        EXPECT_EQ(e.ev.dist, NO_DIST) << what;
    }
}

TEST(PipelineGps, LagMovesRecordsEarlierAndClampsAtZero) {
    // Odometers are rebased to the first fix (10): readings 0, 5, 10.
    DatLog log;
    log.fix(800, odometer(10))  // 800 - 1000 would be negative: 0
        .sample(0, 1)
        .sample(100, 1)
        .fix(1999, odometer(15))  // 999
        .fix(2000, odometer(20))  // 1000
        .sample(999, 1)
        .sample(1000, 1);
    Settings settings = plain_settings();
    settings.gps_lag = 1000;
    const auto events = convert(log, settings);
    ASSERT_EQ(events.size(), 4u);
    expect_probe(events[0], {true, 1, 0, 0}, "sample at 0");
    expect_probe(events[1], {true, 0, 0, 0}, "sample at 100");
    expect_probe(events[2], {true, 1, 999, 5}, "sample at 999");
    expect_probe(events[3], {true, 1, 1000, 10}, "sample at 1000");
}

TEST(PipelineGps, RecordAtTheSampleTimeIsAttachedToIt) {
    DatLog log;
    log.sample(1999, 1).fix(2500, odometer(0)).sample(2000, 1).sample(2001, 1);
    Settings settings = plain_settings();
    settings.gps_lag = 500;
    const auto events = convert(log, settings);
    ASSERT_EQ(events.size(), 3u);
    expect_probe(events[0], {false, 0, 0, 0}, "one ms before");
    expect_probe(events[1], {true, 1, 2000, 0}, "same ms");
    expect_probe(events[2], {true, 0, 2000, 0}, "one ms after");
}

TEST(PipelineGps, LatestOfSeveralRecordsWins) {
    DatLog log;
    log.fix(10, odometer(100)).fix(20, odometer(101)).fix(30, odometer(102)).sample(30, 1);
    const auto events = convert(log, plain_settings());
    ASSERT_EQ(events.size(), 1u);
    expect_probe(events[0], {true, 1, 30, 2}, "sample at 30");
}

TEST(PipelineGps, StaleAfterMoreThanFiveSeconds) {
    DatLog log;
    log.fix(1000, odometer(0)).sample(1000, 1).sample(6000, 1).sample(6001, 1).sample(6002, 1);
    const auto events = convert(log, plain_settings());
    ASSERT_EQ(events.size(), 4u);
    expect_probe(events[0], {true, 1, 1000, 0}, "taken up");
    expect_probe(events[1], {true, 0, 1000, 0}, "exactly 5000 ms old");
    expect_probe(events[2], {false, 0, 0, 0}, "5001 ms old");
    expect_probe(events[3], {false, 0, 0, 0}, "dropped for good");
}

TEST(PipelineGps, RecordTakenUpButAlreadyStaleStillMarksNew) {
    DatLog log;
    log.fix(0, odometer(0)).sample(5001, 1).sample(5002, 1);
    const auto events = convert(log, plain_settings());
    ASSERT_EQ(events.size(), 2u);
    expect_probe(events[0], {false, 1, 0, 0}, "taken and dropped");
    expect_probe(events[1], {false, 0, 0, 0}, "next");
}

TEST(PipelineGps, DistanceOfNavDataReachesTheSample) {
    GpsNavData a;
    a.ecef_x = 400000000;
    a.time_of_week = 100;
    GpsNavData b = a;
    b.ecef_x += 3000;
    b.ecef_y = 4000;
    b.time_of_week = 200;
    DatLog log;
    log.nav(0, a).sample(0, 1).nav(100, b).sample(100, 1);
    Settings settings = plain_settings();
    settings.gps_dist_interval = 1;
    const auto events = convert(log, settings);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].ev.dist, 0.0);
    EXPECT_EQ(events[1].ev.dist, 5000.0);
    ASSERT_TRUE(events[1].gps.has_value());
    EXPECT_EQ(events[1].gps->type, 243);
}

TEST(PipelineGps, UnknownKindsTravelLikeGpsRecords) {
    const std::string payload{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    DatLog log;
    log.sample(0, 1).entry(77, 12, 50, payload).sample(50, 1);
    const auto events = convert(log, plain_settings());
    ASSERT_EQ(events.size(), 2u);
    EXPECT_FALSE(events[0].gps.has_value());
    ASSERT_TRUE(events[1].gps.has_value());
    EXPECT_EQ(events[1].ev.gps_new, 1);
    EXPECT_EQ(events[1].gps->type, 77);
    EXPECT_TRUE(std::equal(payload.begin(), payload.end(), events[1].gps->payload.begin()));
}

TEST(PipelineGps, ARecordReadsZerosPastItsSizeWhateverItsSlotHeldBefore) {
    // Three rounds through every slot of the GPS ring: 96 bytes of 0x7F,
    // then GpsFix2 records (6 bytes, and the speed copied to bytes 28-29),
    // then 3-byte records.
    std::array<std::array<std::uint8_t, MAX_PAYLOAD>, 3> want{};
    want[0].fill(0x7F);
    want[1][4] = want[1][28] = 55;
    want[2][0] = 1;
    want[2][1] = 2;
    want[2][2] = 3;
    DatLog log;
    for (std::uint32_t round = 0; round < 3; ++round) {
        for (std::uint32_t i = 0; i < QUEUE_SLOTS; ++i) {
            const std::uint32_t ts = round * 1000 + i;
            if (round == 0) log.entry(77, 96, ts, std::string(96, '\x7F'));
            if (round == 1) log.fix2(ts, 55);
            if (round == 2) log.entry(77, 3, ts, "\1\2\3");
            log.sample(ts, 1);
        }
    }
    const auto events = convert(log, plain_settings());
    ASSERT_EQ(events.size(), 3 * QUEUE_SLOTS);
    for (std::size_t i = 0; i < events.size(); ++i) {
        ASSERT_TRUE(events[i].gps.has_value()) << i;
        ASSERT_EQ(events[i].gps->payload, want[i / QUEUE_SLOTS]) << "record " << i;
    }
}

TEST(PipelineGps, FullGpsQueueDropsTheOldestSilently) {
    // 300 records before any sample: the 44 oldest (timestamps 0..430) go.
    DatLog log;
    for (std::int32_t i = 0; i < 300; ++i) {
        log.fix(static_cast<std::uint32_t>(i) * 10, odometer(i));
    }
    log.sample(5, 1).sample(440, 1).sample(2990, 1);
    std::vector<Emitted> events;
    const std::string out = test::capture_stdout([&] { events = convert(log, plain_settings()); });
    EXPECT_EQ(out, "");
    ASSERT_EQ(events.size(), 3u);
    expect_probe(events[0], {false, 0, 0, 0}, "only dropped records were due");
    expect_probe(events[1], {true, 1, 440, 44}, "oldest kept record");
    expect_probe(events[2], {true, 1, 2990, 299}, "newest record");
}

TEST(PipelineGps, AttachedRecordOutlivesItsQueueSlot) {
    // The fix is taken up by the first sample; then 256 later GPS records
    // pass through the queue and reuse its slot while the fix stays in effect.
    DatLog log;
    log.fix(0, odometer(1000)).sample(0, 1);
    for (std::uint32_t i = 1; i < 300; ++i) {
        log.sample(i, 1);
        if (i == 280) {
            for (std::int32_t k = 0; k < 256; ++k) {
                log.fix(100000, odometer(2000 + k));
            }
        }
    }
    const auto events = convert(log, plain_settings());
    ASSERT_EQ(events.size(), 300u);
    for (std::size_t i = 0; i < events.size(); ++i) {
        expect_probe(events[i], {true, i == 0 ? 1 : 0, 0, 0}, "first fix stays in effect");
        if (HasFailure()) {
            FAIL() << "at sample " << i;
        }
    }
}

// ---- Altitude smoothing

TEST(PipelineAltitude, FilterTwoOnAShortFile) {
    // Half-width 2 on 10, 20, ... 60: the first sample averages itself and the
    // sample two places later; in the last two the future window stands still.
    DatLog log;
    for (std::int32_t i = 0; i < 6; ++i) {
        log.sample(static_cast<std::uint32_t>(i) * 100, 10 * (i + 1));
    }
    Settings settings = plain_settings();
    settings.alt_filter = 2;
    settings.speed_window = 2;
    const auto events = convert(log, settings);
    ASSERT_EQ(events.size(), 6u);
    const std::vector<std::int32_t> filt{20, 25, 30, 40, 46, 52};
    // Vertical speed over two samples (200 ms) of the smoothed altitude, ft/s.
    const std::vector<std::int32_t> vspeed{NO_VSPEED, NO_VSPEED, 50, 75, 80, 60};
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].ev.filt_altitude, filt[i]) << "sample " << i;
        EXPECT_EQ(events[i].ev.baro_vspeed, vspeed[i]) << "sample " << i;
    }
}

TEST(PipelineAltitude, NoSmoothingUntilTheFirstRealAltitude) {
    DatLog log;
    log.sample(0, NO_VALUE).sample(60, NO_VALUE).sample(120, 100).sample(180, 200).sample(240, 300);
    Settings settings = plain_settings();
    settings.alt_filter = 1;
    const auto events = convert(log, settings);
    ASSERT_EQ(events.size(), 5u);
    EXPECT_EQ(events[0].ev.filt_altitude, NO_VALUE);
    EXPECT_EQ(events[1].ev.filt_altitude, NO_VALUE);
    EXPECT_EQ(events[2].ev.filt_altitude, 150);  // itself and the next
    EXPECT_EQ(events[3].ev.filt_altitude, 200);  // 100, 200, 300
    EXPECT_EQ(events[4].ev.filt_altitude, 266);  // end: 200, 300 and the frozen 300
}

// Window contents by description: the past window is the sample and the n
// before it; the future window is the n after it, except that during the first
// n samples it runs from n places after the first sample, and over the last n
// samples of the file it stays as it was. Only real values count.
std::optional<std::int64_t> described_average(const std::vector<std::optional<std::int32_t>>& v, std::size_t e,
                                              std::size_t n) {
    const std::size_t k = v.size();
    std::size_t past_from = e >= n ? e - n : 0;
    std::size_t fut_from = e + 1;
    std::size_t fut_to = e + n;  // inclusive
    if (e < n) {
        fut_from = n;
        fut_to = n + e;
    } else if (e >= k - n) {
        fut_from = k - n;
        fut_to = k - 1;
    }
    std::int64_t sum = 0;
    std::int64_t count = 0;
    auto take = [&](std::size_t i) {
        if (v[i]) {
            sum += *v[i];
            ++count;
        }
    };
    for (std::size_t i = past_from; i <= e; ++i) take(i);
    for (std::size_t i = fut_from; i <= fut_to; ++i) take(i);
    if (count == 0) {
        return std::nullopt;
    }
    return sum / count;  // truncates toward zero, like the pipeline
}

class PipelineWindows : public ::testing::TestWithParam<std::int32_t> {};

TEST_P(PipelineWindows, MatchTheDescribedWindowsForAltitudeAndAcceleration) {
    const std::int32_t n = GetParam();
    constexpr std::size_t SAMPLES = 700;
    std::vector<std::optional<std::int32_t>> alt(SAMPLES);
    std::vector<std::optional<std::int32_t>> ax(SAMPLES), ay(SAMPLES), az(SAMPLES);
    DatLog log;
    for (std::size_t i = 0; i < SAMPLES; ++i) {
        // Mixed signs, so that truncation toward zero matters; some gaps.
        const auto a = static_cast<std::int32_t>((i * 7919) % 1000) - 400;
        if (i % 7 != 5) alt[i] = a;
        std::array<std::int16_t, 3> axes = test::NO_AXES;
        if (i % 11 != 4) {
            const auto si = static_cast<std::int32_t>(i);
            axes = {static_cast<std::int16_t>((si * 31) % 200 - 120),
                    static_cast<std::int16_t>((si * 17) % 2048 - 1000),
                    static_cast<std::int16_t>(2048 - (si * 3) % 64)};
            if (axes[0] == -1) axes[0] = -2;
            if (axes[1] == -1) axes[1] = -2;
            ax[i] = axes[0];
            ay[i] = axes[1];
            az[i] = axes[2];
        }
        log.sample(static_cast<std::uint32_t>(i) * 60, alt[i].value_or(NO_VALUE), axes);
    }
    Settings settings = plain_settings();
    settings.alt_filter = n;
    settings.accel_filter = n;
    const auto events = convert(log, settings);
    ASSERT_EQ(events.size(), SAMPLES);
    const auto un = static_cast<std::size_t>(n);
    for (std::size_t e = 0; e < SAMPLES; ++e) {
        const LogEvent& ev = events[e].ev;
        EXPECT_EQ(ev.filt_altitude, described_average(alt, e, un).value_or(NO_VALUE)) << "sample " << e;
        EXPECT_EQ(ev.filt_accel_x, described_average(ax, e, un).value_or(NO_ACCEL)) << "sample " << e;
        EXPECT_EQ(ev.filt_accel_y, described_average(ay, e, un).value_or(NO_ACCEL)) << "sample " << e;
        EXPECT_EQ(ev.filt_accel_z, described_average(az, e, un).value_or(NO_ACCEL)) << "sample " << e;
        if (HasFailure()) {
            FAIL() << "window " << n << ", first difference at sample " << e;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(HalfWidths, PipelineWindows, ::testing::Values(1, 2, 3, 12, 250));

// ---- Acceleration

TEST(PipelineAccel, OffGivesRawAxesOrTheMarker) {
    DatLog log;
    log.sample(0, 1, {-5, 300, -2048}).sample(60, 1, {7, -1, 9}).sample(120, 1, test::NO_AXES);
    const auto events = convert(log, plain_settings());
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].ev.filt_accel_x, -5);
    EXPECT_EQ(events[0].ev.filt_accel_y, 300);
    EXPECT_EQ(events[0].ev.filt_accel_z, -2048);
    for (std::size_t i : {1u, 2u}) {  // one axis at -1 makes the whole reading missing
        EXPECT_EQ(events[i].ev.filt_accel_x, NO_ACCEL);
        EXPECT_EQ(events[i].ev.filt_accel_y, NO_ACCEL);
        EXPECT_EQ(events[i].ev.filt_accel_z, NO_ACCEL);
    }
}

TEST(PipelineAccel, MissingReadingsStayOutOfTheSums) {
    DatLog log;
    log.sample(0, 1, test::NO_AXES)
        .sample(60, 1, test::NO_AXES)
        .sample(120, 1, {10, 20, 30})
        .sample(180, 1, {-1, 99, 99})
        .sample(240, 1, {20, 40, 60});
    Settings settings = plain_settings();
    settings.accel_filter = 1;
    const auto events = convert(log, settings);
    ASSERT_EQ(events.size(), 5u);
    for (std::size_t i : {0u, 1u}) {  // nothing real seen yet
        EXPECT_EQ(events[i].ev.filt_accel_x, NO_ACCEL);
        EXPECT_EQ(events[i].ev.filt_accel_y, NO_ACCEL);
        EXPECT_EQ(events[i].ev.filt_accel_z, NO_ACCEL);
    }
    // Sample 2: itself only (the next one is missing).
    EXPECT_EQ(events[2].ev.filt_accel_x, 10);
    EXPECT_EQ(events[2].ev.filt_accel_z, 30);
    // Sample 3: 10 before, 20 after; its own reading does not count.
    EXPECT_EQ(events[3].ev.filt_accel_x, 15);
    EXPECT_EQ(events[3].ev.filt_accel_y, 30);
    EXPECT_EQ(events[3].ev.filt_accel_z, 45);
    // Sample 4, last: itself and its frozen future (itself again).
    EXPECT_EQ(events[4].ev.filt_accel_x, 20);
    EXPECT_EQ(events[4].ev.filt_accel_y, 40);
}

// ---- Barometric vertical speed

struct VspeedCase {
    const char* name;
    std::int32_t window;
    std::vector<std::pair<std::uint32_t, std::int32_t>> samples;  // time ms, altitude ft
    std::vector<std::int32_t> expected;
};

void PrintTo(const VspeedCase& c, std::ostream* os) { *os << c.name; }

class PipelineVspeed : public ::testing::TestWithParam<VspeedCase> {};

TEST_P(PipelineVspeed, FromTheSmoothedAltitude) {
    const VspeedCase& c = GetParam();
    DatLog log;
    for (const auto& [ts, alt] : c.samples) {
        log.sample(ts, alt);
    }
    Settings settings = plain_settings();
    settings.speed_window = c.window;
    auto p = test::fresh_pipeline();
    auto f = test::stream_of(log.bytes());
    // The driver rebases timestamps of returned events; that must not leak
    // into the pipeline's own history.
    const auto events = run_pipeline(*p, f.get(), settings, {}, 1000000);
    ASSERT_EQ(events.size(), c.expected.size());
    for (std::size_t i = 0; i < events.size(); ++i) {
        EXPECT_EQ(events[i].ev.baro_vspeed, c.expected[i]) << "sample " << i;
    }
}

constexpr std::int32_t NV = NO_VSPEED;

INSTANTIATE_TEST_SUITE_P(
    Cases, PipelineVspeed,
    ::testing::Values(VspeedCase{"WindowZeroGivesNone", 0, {{0, 0}, {100, 50}, {200, 100}}, {NV, NV, NV}},
                      VspeedCase{"FirstWSamplesGiveNone",
                                 3,
                                 {{0, 0}, {100, 10}, {200, 20}, {300, 30}, {400, 60}},
                                 {NV, NV, NV, 100, 166}},
                      // A descent is negative and truncated toward zero, never a huge number.
                      VspeedCase{"DescentIsNegative", 1, {{1000, 1000}, {1100, 990}, {1400, 983}}, {NV, -100, -23}},
                      VspeedCase{"SameTimestampGivesNone", 1, {{0, 0}, {0, 10}, {50, 20}}, {NV, NV, 200}},
                      VspeedCase{"MissingAltitudeAtEitherEndGivesNone",
                                 1,
                                 {{0, 100}, {100, NO_VALUE}, {200, 120}, {300, 150}},
                                 {NV, NV, NV, 300}},
                      VspeedCase{"TimestampsGoingBackGiveANegativeTime", 1, {{1000, 0}, {900, 50}}, {NV, -500}},
                      // The camera computes in 32 bits: the product wraps.
                      VspeedCase{"ProductWrapsLike32BitArithmetic", 1, {{0, 0}, {1, 3000000}}, {NV, -1294967296}},
                      // 2^28 ft * 1000 wraps to INT32_MIN; divided by -1 ms it must not trap.
                      VspeedCase{"MostNegativeQuotientDoesNotTrap", 1, {{1000, 0}, {999, 268435456}}, {NV, INT32_MIN}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvex
