// `datview info`: the verdict line and exit status for a healthy log and for
// each kind of damage, on logs built here.

#include <gtest/gtest.h>

#include <functional>

#include "datview_run.h"

namespace tarvex {
namespace {

using test::LogBytes;
using test::samples;

SensorSample one_g() {
    SensorSample s;
    s.abs_press = s.press_copy = 101325;
    s.temp = 215;
    s.altitude = 500;
    s.accel_x = s.accel_y = 0;
    s.accel_z = 2048;
    return s;
}

struct VerdictCase {
    const char* name;
    std::function<std::string()> file;  // the whole log file
    const char* verdict;
    int status;
};
void PrintTo(const VerdictCase& c, std::ostream* os) { *os << c.name; }

std::string with(const std::function<void(LogBytes&)>& middle, const std::string& tail = "") {
    LogBytes log;
    samples(log, 0, 5);
    middle(log);
    samples(log, 2000, 5);
    return test::dat_file(log) + tail;
}

const VerdictCase verdict_cases[] = {
    {"Healthy", [] { return with([](LogBytes& l) { samples(l, 500, 15); }); }, "verdict: healthy", 0},
    {"SizeZero", [] { return with([](LogBytes& l) { samples(l, 500, 15).zero_size(1000); }); },
     "verdict: 1 problem: 1 entry of size 0", 1},
    {"Oversize",
     [] {
         return with([](LogBytes& l) {
             samples(l, 500, 15);
             std::array<std::uint8_t, 120> big{};
             l.entry(241, 120, 1000, big.data());
         });
     },
     "verdict: 1 problem: 1 entry over 96 bytes", 1},
    {"ShortPayload",
     [] {
         return with([](LogBytes& l) {
             samples(l, 500, 15);
             std::array<std::uint8_t, 20> small{};
             l.entry(241, 20, 1000, small.data());
         });
     },
     "verdict: 1 problem: 1 entry shorter than their kind", 1},
    {"UnknownKind",
     [] {
         return with([](LogBytes& l) {
             samples(l, 500, 15);
             std::array<std::uint8_t, 4> p{};
             l.entry(99, 4, 1000, p.data());
         });
     },
     "verdict: 1 problem: 1 entry of unknown kind", 1},
    {"CutOffTail", [] { return with([](LogBytes& l) { samples(l, 500, 15); }, std::string(5, '\xF0')); },
     "verdict: 1 problem: cut-off tail of 5 bytes", 1},
    {"TimeGoingBack", [] { return with([](LogBytes& l) { samples(l, 500, 15).sample(1800, 500, {0, 0, 2048}); }); },
     "verdict: 1 problem: 1 timestamp going back", 1},
    {"Gap", [] { return with([](LogBytes& l) { samples(l, 500, 2); }); }, "verdict: 1 problem: 1 gap over 1 s", 1},
    {"NoPressure",
     [] {
         return with([](LogBytes& l) {
             SensorSample s = one_g();
             s.abs_press = NO_VALUE;
             samples(l, 500, 15);
             test::sample_with(l, 1950, s);
         });
     },
     "verdict: 1 problem: 1 sample without pressure", 1},
    {"NoTemperature",
     [] {
         return with([](LogBytes& l) {
             SensorSample s = one_g();
             s.temp = NO_VALUE;
             samples(l, 500, 15);
             test::sample_with(l, 1950, s);
         });
     },
     "verdict: 1 problem: 1 sample without temperature", 1},
    {"NoAcceleration",
     [] {
         return with([](LogBytes& l) {
             samples(l, 500, 15);
             l.sample(1950, 500);  // axes -1, -1, -1
         });
     },
     "verdict: 1 problem: 1 sample without acceleration", 1},
    {"NoSamples", [] { return test::dat_file(LogBytes{}); }, "verdict: 1 problem: no sensor samples", 1},
    {"WrongMagic", [] { return "XXXX" + with([](LogBytes&) {}).substr(4); },
     "verdict: unreadable: not a DAT log (wrong magic)", 2},
    {"ShortHeader", [] { return with([](LogBytes&) {}).substr(0, 87); },
     "verdict: unreadable: shorter than the 88-byte header", 2},
};

class InfoVerdict : public testing::TestWithParam<VerdictCase> {};

TEST_P(InfoVerdict, LastLineAndExitStatus) {
    test::TempDir dir;
    test::write_file(dir.file("log.dat"), GetParam().file());
    const test::RunResult r = test::datview(dir, {"info", "log.dat"});
    EXPECT_EQ(test::last_line(r.out), GetParam().verdict) << r.out;
    EXPECT_EQ(r.exit_status, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(Logs, InfoVerdict, testing::ValuesIn(verdict_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InfoGps, CoverageCountsTheSamplesAConversionShowsWithAFix) {
    // Fixes at 1.5 s and 2 s; with the default 500 ms lag they apply from
    // 1.0 s, and stay for 5 s: samples 1.0 .. 6.5 s of the 0 .. 9.9 s log.
    LogBytes log;
    samples(log, 0, 20);
    log.fix_with_dist(1500, 0).fix_with_dist(2000, 0);
    samples(log, 2000, 80);
    test::TempDir dir;
    test::write_file(dir.file("log.dat"), test::dat_file(log));
    const test::RunResult r = test::datview(dir, {"info", "log.dat"});
    EXPECT_NE(r.out.find("GPS:               first fix at 0:00:01.500, last at 0:00:02.000; "
                         "56 of 100 samples (56.0%) with a fix"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.exit_status, 0);
}

}  // namespace
}  // namespace tarvex
