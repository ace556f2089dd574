// GPS records that give no track point, through the real converter: a chapter
// whose only fresh record is a GpsFix2 gets a GPX file with its prologue and
// footer but no point, CSV rows that keep their one-line shape and no GPS
// subtitle line; a log without GPS entries gets no GPX file at all. The
// outing track takes a name no chapter output has and never an input's.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <string>

#include "dat_log.h"
#include "maker.h"
#include "mp4_bytes.h"
#include "test_support.h"

namespace tarvex {
namespace {

using test::read_file;
using test::TempDir;

// Ten samples 100 ms apart, and a GpsFix2 at 250 ms when asked for.
std::string log_bytes(bool with_fix2) {
    test::DatLog log = test::log_with_header();
    for (std::uint32_t i = 0; i < 10; ++i) {
        log.sample(i * 100, test::reading());
        if (with_fix2 && i == 2) log.fix2(250, 40);
    }
    return log.take();
}

struct Conversion {
    TempDir dir;
    test::RunResult result;
};

void convert(Conversion& run, bool with_fix2) {
    setenv("TZ", "UTC", 1);  // the GPX description is the local recording date
    test::write_file(run.dir.file("log.dat"), log_bytes(with_fix2));
    test::write_file(run.dir.file("GOPR0001.MP4"), test::mp4_file(10000));
    test::write_file(run.dir.file("settings.txt"), "csv = yes\ngpx = yes\ngps_lag = 0\n");
    run.result =
        test::run_program({test::binary_path("converter/converter"), "log.dat", "-v", "GOPR0001.MP4"}, run.dir.path());
}

TEST(ConverterGpsOutputs, GpsFix2AloneCreatesATrackWithoutPoints) {
    Conversion run;
    convert(run, true);
    ASSERT_EQ(run.result.exit_status, 0) << run.result.out;
    EXPECT_NE(run.result.out.find("Now writing GPX data to GOPR0001.GPX\nInitializing new GPX file\n"),
              std::string::npos)
        << run.result.out;
    EXPECT_NE(run.result.out.find("Writing GPX footer\n"), std::string::npos);

    const std::string gpx = read_file(run.dir.file("GOPR0001.GPX"));
    EXPECT_EQ(gpx.find("<trkpt"), std::string::npos) << gpx;
    const std::string tail = std::string("    <name>GOPR0001.GPX</name>\n") +
                             "    <desc>Tue Nov 14 22:13:20 2023\n</desc>\n" +
                             "    <trkseg>\n    </trkseg>\n  </trk>\n</gpx>\n";
    ASSERT_GE(gpx.size(), tail.size());
    EXPECT_EQ(gpx.substr(gpx.size() - tail.size()), tail);
    EXPECT_NE(gpx.find(std::string("creator=\"Tarvex Sensor Pack (") + MAKER_WEB_ADDRESS + ")\""), std::string::npos);

    // The row that took up the GpsFix2 ends like every other row.
    const std::string csv = read_file(run.dir.file("GOPR0001.CSV"));
    const std::string empty_gps = ",,,,,,,,,,,,,,,,,,\n";
    EXPECT_NE(csv.find("300,101325,100,215,0,0,2048,0," + empty_gps + "400,"), std::string::npos) << csv;
    std::size_t rows = 0;
    for (std::size_t at = csv.find("0,101325,"); at != std::string::npos; at = csv.find("0,101325,", at + 1)) {
        ++rows;
    }
    EXPECT_EQ(rows, 10u);

    // No GPS line in the subtitles.
    const std::string srt = read_file(run.dir.file("GOPR0001.SRT"));
    EXPECT_EQ(srt.find("mph"), std::string::npos) << srt;
    EXPECT_EQ(srt.find(" mi"), std::string::npos) << srt;
}

TEST(ConverterGpsOutputs, NoGpsEntriesNoGpxFile) {
    Conversion run;
    convert(run, false);
    ASSERT_EQ(run.result.exit_status, 0) << run.result.out;
    EXPECT_FALSE(test::file_exists(run.dir.file("GOPR0001.GPX")));
    EXPECT_EQ(run.result.out.find("Now writing GPX"), std::string::npos) << run.result.out;
    EXPECT_TRUE(test::file_exists(run.dir.file("GOPR0001.CSV")));
}

// The outing track's name: the first chapter's GPX name with "-outing"
// before the extension, which chapter names never have. An input under that
// name is refused like any output that would overwrite an input.
TEST(ConverterGpsOutputs, OutingTrackTakesItsOwnNameAndNeverAnInputs) {
    struct Case {
        const char* log_name;
        bool with_fix;
        int exit_status;
        bool outing_written;
    } const cases[] = {
        {"log.dat", true, 0, true},
        {"log.dat", false, 0, false},               // no GPS: no outing file
        {"GOPR0001-outing.GPX", true, 255, false},  // the log under the outing's name
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log_name + std::string(c.with_fix ? " with a fix" : " without GPS"));
        TempDir dir;
        test::DatLog log = test::log_with_header();
        for (std::uint32_t i = 0; i < 10; ++i) {
            log.sample(i * 100, test::reading());
            if (c.with_fix && i == 2) log.fix(250, GpsFix{.gps_timestamp = 1700000000250ull, .lat_deg = 46});
        }
        const std::string log_bytes = log.take();
        test::write_file(dir.file(c.log_name), log_bytes);
        test::write_file(dir.file("GOPR0001.MP4"), test::mp4_file(10000));
        test::write_file(dir.file("settings.txt"), "gpx_outing = on\ngps_lag = 0\n");
        const test::RunResult r =
            test::run_program({test::binary_path("converter/converter"), c.log_name, "-v", "GOPR0001.MP4"}, dir.path());
        EXPECT_EQ(r.exit_status, c.exit_status) << r.out;
        EXPECT_EQ(read_file(dir.file(c.log_name)), log_bytes);
        if (c.outing_written) {
            const std::string outing = read_file(dir.file("GOPR0001-outing.GPX"));
            EXPECT_NE(outing.find("<name>GOPR0001-outing.GPX</name>"), std::string::npos) << outing;
            EXPECT_NE(outing.find("<trkpt lat=\"46.000000\""), std::string::npos) << outing;
            EXPECT_NE(r.out.find("Now writing GPX outing track to GOPR0001-outing.GPX\n"), std::string::npos);
        } else if (c.exit_status == 0) {
            EXPECT_FALSE(test::file_exists(dir.file("GOPR0001-outing.GPX")));
        }
    }
}

}  // namespace
}  // namespace tarvex
