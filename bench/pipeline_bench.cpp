// Events per second through next_event on a large synthetic log: 300000
// sensor samples 60 ms apart (five hours of recording) with a GpsFix every
// 200 ms and a GpsNavData every second interleaved. The argument is the
// half-width of both the altitude and the acceleration window; the work per
// sample must not grow with it.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>
#include <string>

#include "dat_log.h"
#include "pipeline.h"

namespace {

using namespace tarvex;

constexpr std::uint32_t SAMPLES = 300000;
constexpr std::uint32_t SAMPLE_MS = 60;

const std::string& synthetic_log() {
    static const std::string log = [] {
        test::DatLog out;
        std::uint32_t next_fix = 0;
        std::uint32_t next_nav = 0;
        for (std::uint32_t i = 0; i < SAMPLES; ++i) {
            const std::uint32_t ts = i * SAMPLE_MS;
            SensorSample s;
            s.abs_press = 90000 + static_cast<std::int32_t>(i % 500);
            s.temp = 215;
            s.altitude = (i % 97 == 13) ? NO_VALUE : 3000 + static_cast<std::int32_t>((i * 37) % 400);
            s.press_copy = s.abs_press;
            if (i % 53 != 7) {
                s.accel_x = static_cast<std::int16_t>(i % 300);
                s.accel_y = static_cast<std::int16_t>(1000 - i % 700);
                s.accel_z = static_cast<std::int16_t>(2048 + i % 50);
            }
            out.sample(ts, s);

            // GPS entries are logged late, at the time their data arrived.
            const std::uint32_t logged = ts + 700;
            while (next_fix <= ts) {
                GpsFix f;
                f.gps_timestamp = 1700000000000ull + next_fix;
                f.dist = static_cast<std::int32_t>(next_fix / 1000);
                f.gps_speed = 40;
                out.fix(logged, f);
                next_fix += 200;
            }
            while (next_nav <= ts) {
                GpsNavData n;
                n.ecef_x = 400000000 + static_cast<std::int32_t>(next_nav);
                n.ecef_y = 100000000;
                n.ecef_z = 480000000;
                n.time_of_week = next_nav / 10;
                out.nav(logged, n);
                next_nav += 1000;
            }
        }
        return out.take();
    }();
    return log;
}

void BM_NextEvent(benchmark::State& state) {
    const std::string& log = synthetic_log();
    Settings settings;
    settings.alt_filter = static_cast<std::int32_t>(state.range(0));
    settings.accel_filter = static_cast<std::int32_t>(state.range(0));
    settings.speed_window = 10;
    settings.gps_lag = 500;
    const RunOptions run;
    auto pipeline = std::make_unique<Pipeline>();
    std::int64_t events = 0;
    for (auto _ : state) {
        *pipeline = Pipeline{};
        std::FILE* dat = fmemopen(const_cast<char*>(log.data()), log.size(), "r");
        if (dat == nullptr) {
            state.SkipWithError("fmemopen failed");
            return;
        }
        std::int64_t n = 0;
        while (LogEvent* ev = next_event(*pipeline, dat, settings, run)) {
            benchmark::DoNotOptimize(ev->filt_altitude);
            ++n;
        }
        std::fclose(dat);
        if (n != SAMPLES) {
            state.SkipWithError("not every sample came out");
            return;
        }
        events += n;
    }
    state.SetItemsProcessed(events);
    state.counters["events_per_s"] = benchmark::Counter(static_cast<double>(events), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_NextEvent)->ArgName("window")->Arg(3)->Arg(250)->Unit(benchmark::kMillisecond);

}  // namespace
