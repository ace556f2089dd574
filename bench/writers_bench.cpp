// Cost of one call of each output writer, writing through a TextOut whose
// text is dropped, so that only the formatting and the buffer are measured. A 10-hour log makes
// about 360000 rows and entries and 180000 track points.
#include <benchmark/benchmark.h>

#include "csv_writer.h"
#include "gpx_writer.h"
#include "log_events.h"
#include "srt_writer.h"

namespace {

using namespace tarvex;

LogEvent sample_event(std::uint32_t ts) { return test::sensor_event(ts, test::reading(262, 215, {611, -151, 4305})); }

LogEvent fix_event() {
    GpsFix f;
    f.lat_deg = 46;
    f.lat_frac = 549494;
    f.lon_deg = 7;
    f.lon_frac = 979847;
    f.gps_alt = 67989;
    f.gps_speed = 25;
    f.heading = 290;
    f.dist = 1083;
    f.accuracy = 3;
    f.used_sat = 9;
    f.total_sat = 12;
    f.gps_timestamp = 1700001560600ull;
    return test::fix_record(f);
}

void BM_CsvRowSensorOnly(benchmark::State& state) {
    TextOut t;
    const LogEvent ev = sample_event(91);
    for (auto _ : state) csv_write_row(t, ev);
}
BENCHMARK(BM_CsvRowSensorOnly);

void BM_CsvRowWithFix(benchmark::State& state) {
    TextOut t;
    const LogEvent rec = fix_event();
    LogEvent ev = sample_event(198);
    test::attach(ev, rec);
    for (auto _ : state) csv_write_row(t, ev);
}
BENCHMARK(BM_CsvRowWithFix);

void BM_SrtEntryWithFix(benchmark::State& state) {
    TextOut t;
    const LogEvent rec = fix_event();
    Settings settings;
    RunOptions run;
    std::uint32_t last = NO_SUB_TIME;
    std::uint32_t ts = 0;
    std::int32_t number = 1;
    for (auto _ : state) {
        LogEvent ev = sample_event(ts += 200);
        ev.gps = &rec;
        srt_write_entry(t, ev, number++, settings, run, last);
    }
}
BENCHMARK(BM_SrtEntryWithFix);

void BM_GpxPointFix(benchmark::State& state) {
    TextOut t;
    const LogEvent rec = fix_event();
    LogEvent ev = sample_event(198);
    test::attach(ev, rec);
    for (auto _ : state) gpx_write_point(t, ev);
}
BENCHMARK(BM_GpxPointFix);

}  // namespace
