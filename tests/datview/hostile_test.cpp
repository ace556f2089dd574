// Hostile logs: extreme values in every field, a serial number without
// terminator, sizes that lie. No command may crash or trip the sanitizers
// (this suite also runs under the sanitize preset).

#include <gtest/gtest.h>

#include <limits>

#include "datview_run.h"

namespace tarvex {
namespace {

std::string hostile_log(std::uint32_t rec_date) {
    test::DatLog log = test::log_of("", EXPANDER_GPS);
    SensorSample s;
    s.abs_press = std::numeric_limits<std::int32_t>::min();
    s.temp = std::numeric_limits<std::int32_t>::max();
    s.altitude = std::numeric_limits<std::int32_t>::min();
    s.accel_x = s.accel_y = s.accel_z = std::numeric_limits<std::int16_t>::min();
    log.sample(0xFFFFFFFFu, s).sample(0, s);
    log.sample(1, std::numeric_limits<std::int32_t>::max(), {32767, 32767, 32767});
    GpsFix f;
    f.gps_timestamp = std::numeric_limits<std::uint64_t>::max();
    f.lat_deg = f.lon_deg = std::numeric_limits<std::int16_t>::min();
    f.lat_frac = f.lon_frac = 0xFFFFFFFFu;
    f.gps_speed = std::numeric_limits<std::int16_t>::min();
    log.fix(2, f);
    GpsNavData n;
    n.lat = n.lon = n.ecef_x = n.h_speed = std::numeric_limits<std::int32_t>::min();
    n.time_of_week = n.gps_alt = 0xFFFFFFFFu;
    log.nav(3, n);
    log.entry(242, 1, 4, "\xFF").entry(7, 96, 5, std::string(96, '\xFF')).entry(240, 0, 6);
    std::string bytes = log.bytes();
    std::fill_n(bytes.begin() + 4, 4, static_cast<char>(rec_date));
    std::fill_n(bytes.begin() + 24, 64, '\x9b');  // serial without a NUL, reserved bytes set
    return bytes + std::string("\xF1\x00\xFF\xFF\x00\x00\x00\x00\x01\x02", 10);  // claims 65535 bytes
}

TEST(HostileLogs, NoCommandCrashes) {
    test::TempDir dir;
    for (const std::uint32_t rec_date : {0u, 0xFFFFFFFFu}) {
        test::write_file(dir.file("log.dat"), hostile_log(rec_date));
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"info", "log.dat"},
              {"info", "log.dat", "--json", "-g", "-s", "none.txt", "-v", "GOPR0001.MP4"},
              {"dump", "log.dat"},
              {"dump", "log.dat", "--json", "-g"},
              {"plot", "log.dat", "-o", "ride.svg", "-s", "none.txt", "-v", "GOPR0001.MP4"}}) {
            const test::RunResult r = test::datview(dir, args);
            EXPECT_LE(r.exit_status, 2) << args[0] << r.err;
            EXPECT_EQ(r.err.find("Sanitizer"), std::string::npos) << r.err;
            EXPECT_EQ(r.err.find("runtime error"), std::string::npos) << r.err;
        }
    }
}

}  // namespace
}  // namespace tarvex
