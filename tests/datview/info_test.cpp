// `datview info`: the verdict line and exit status for a healthy log and for
// each kind of damage, on logs built here.

#include <gtest/gtest.h>

#include <functional>

#include "datview_run.h"

namespace tarvex {
namespace {

using test::DatLog;
using test::samples;

struct VerdictCase {
    const char* name;
    std::function<std::string()> file;  // the whole log file
    const char* verdict;
    int status;
};
void PrintTo(const VerdictCase& c, std::ostream* os) { *os << c.name; }

std::string with(const std::function<void(DatLog&)>& middle, const std::string& tail = "") {
    DatLog log = test::log_with_header();
    samples(log, 0, 5);
    middle(log);
    samples(log, 2000, 5);
    return log.bytes() + tail;
}

const VerdictCase verdict_cases[] = {
    {"Healthy", [] { return with([](DatLog& l) { samples(l, 500, 15); }); }, "verdict: healthy", 0},
    {"SizeZero", [] { return with([](DatLog& l) { samples(l, 500, 15).entry(240, 0, 1000); }); },
     "verdict: 1 problem: 1 entry of size 0", 1},
    {"Oversize",
     [] { return with([](DatLog& l) { samples(l, 500, 15).entry(241, 120, 1000, std::string(120, '\0')); }); },
     "verdict: 1 problem: 1 entry over 96 bytes", 1},
    {"OversizeSkippedWhole",  // as the converter frames it, however large
     [] { return with([](DatLog& l) { samples(l, 500, 15).entry(241, 65535, 1000, std::string(65535, '\0')); }); },
     "verdict: 1 problem: 1 entry over 96 bytes", 1},
    {"ShortPayload",
     [] { return with([](DatLog& l) { samples(l, 500, 15).entry(241, 20, 1000, std::string(20, '\0')); }); },
     "verdict: 1 problem: 1 entry shorter than their kind", 1},
    {"UnknownKind",
     [] { return with([](DatLog& l) { samples(l, 500, 15).entry(99, 4, 1000, std::string(4, '\0')); }); },
     "verdict: 1 problem: 1 entry of unknown kind", 1},
    {"CutOffTail", [] { return with([](DatLog& l) { samples(l, 500, 15); }, std::string(5, '\xF0')); },
     "verdict: 1 problem: cut-off tail of 5 bytes", 1},
    {"TimeGoingBack", [] { return with([](DatLog& l) { samples(l, 500, 15).sample(1800, 500); }); },
     "verdict: 1 problem: 1 timestamp going back", 1},
    {"Gap", [] { return with([](DatLog& l) { samples(l, 500, 2); }); }, "verdict: 1 problem: 1 gap over 1 s", 1},
    {"NoPressure",
     [] {
         return with([](DatLog& l) {
             SensorSample s = test::reading(500);
             s.abs_press = NO_VALUE;
             samples(l, 500, 15).sample(1950, s);
         });
     },
     "verdict: 1 problem: 1 sample without pressure", 1},
    {"NoTemperature",
     [] { return with([](DatLog& l) { samples(l, 500, 15).sample(1950, test::reading(500, NO_VALUE)); }); },
     "verdict: 1 problem: 1 sample without temperature", 1},
    {"NoAcceleration", [] { return with([](DatLog& l) { samples(l, 500, 15).sample(1950, 500, test::NO_AXES); }); },
     "verdict: 1 problem: 1 sample without acceleration", 1},
    {"NoSamples", [] { return test::log_with_header().bytes(); }, "verdict: 1 problem: no sensor samples", 1},
    {"WrongMagic", [] { return "XXXX" + with([](DatLog&) {}).substr(4); },
     "verdict: unreadable: not a DAT log (wrong magic)", 2},
    {"ShortHeader", [] { return with([](DatLog&) {}).substr(0, 87); },
     "verdict: unreadable: shorter than the 88-byte header", 2},
};

class InfoVerdict : public testing::TestWithParam<VerdictCase> {};

TEST_P(InfoVerdict, VerdictLineAndExitStatus) {
    test::TempDir dir;
    test::write_file(dir.file("log.dat"), GetParam().file());
    const test::RunResult r = test::datview(dir, {"info", "log.dat"});
    EXPECT_EQ(test::verdict_line(r.out), GetParam().verdict) << r.out;
    EXPECT_EQ(r.exit_status, GetParam().status);
}

INSTANTIATE_TEST_SUITE_P(Logs, InfoVerdict, testing::ValuesIn(verdict_cases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(InfoGps, CoverageCountsTheSamplesAConversionShowsWithAFix) {
    // Fixes at 1.5 s and 2 s; with the default 500 ms lag they apply from
    // 1.0 s, and stay for 5 s: samples 1.0 .. 6.5 s of the 0 .. 9.9 s log.
    DatLog log = test::log_with_header();
    samples(log, 0, 20).fix(1500, GpsFix{}).fix(2000, GpsFix{});
    samples(log, 2000, 80);
    test::TempDir dir;
    test::write_file(dir.file("log.dat"), log.bytes());
    const test::RunResult r = test::datview(dir, {"info", "log.dat"});
    EXPECT_NE(r.out.find("GPS:               first fix at 0:00:01.500, last at 0:00:02.000; "
                         "56 of 100 samples (56.0%) with a fix"),
              std::string::npos)
        << r.out;
    EXPECT_EQ(r.exit_status, 0);
}

}  // namespace
}  // namespace tarvex
