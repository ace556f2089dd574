// `datview dump --json`: every line is read back by a real JSON parser
// (Python's), and the values in natural units are checked, damaged entries
// included where they occur.

#include <gtest/gtest.h>

#include "datview_run.h"

namespace tarvex {
namespace {

// Prints, per JSON line: kind, offset, problem (or -), then key=value for
// each requested key the object has ("raw.x" reaches into "raw").
constexpr char READER[] = R"(import json, sys
for line in open(sys.argv[1]):
    o = json.loads(line)
    out = [o["kind"], str(o["offset"]), o.get("problem", "-")]
    for key in sys.argv[2:]:
        v = o
        for part in key.split("."):
            v = v.get(part, KeyError) if isinstance(v, dict) else KeyError
        if v is not KeyError:
            out.append(key + "=" + json.dumps(v))
    print(" ".join(out))
)";

TEST(DumpJson, EveryLineParsesWithValuesInNaturalUnits) {
    const char* python = "/usr/bin/python3";
    if (!test::file_exists(python)) GTEST_SKIP() << python << " is not installed; nothing checked";
    test::DatLog log = test::log_with_header();
    log.sample(0, 1000);  // 1000 ft, 1 G straight down
    log.sample(100, NO_VALUE);
    GpsFix fix;
    fix.lat_deg = -33;
    fix.lat_frac = 500000;
    fix.lon_deg = 151;
    fix.lon_frac = 250000;
    fix.gps_speed = 36;
    log.fix(150, fix).entry(240, 0, 160);
    log.sample(200, 1, {-2048, 0, 0});
    test::TempDir dir;
    test::write_file(dir.file("log.dat"), log.raw(std::string("\xF0\x00\x1A", 3)).bytes());
    const test::RunResult r = test::datview(dir, {"dump", "log.dat", "--json"});
    EXPECT_EQ(r.exit_status, 1);  // damaged entries present
    test::write_file(dir.file("dump.json"), r.out);
    test::write_file(dir.file("reader.py"), READER);
    const test::RunResult parsed =
        test::run_program({python, "reader.py", "dump.json", "serial", "altitude_m", "temperature_c", "accel_g",
                           "raw.altitude", "lat_deg", "lon_deg", "speed_kmh"},
                          dir.path());
    ASSERT_EQ(parsed.exit_status, 0) << parsed.err;
    EXPECT_EQ(parsed.out,
              "header 0 - serial=\"TX-0042\"\n"
              "sample 88 - altitude_m=304.8 temperature_c=21.5 accel_g=1.0 raw.altitude=1000\n"
              "sample 122 - altitude_m=null temperature_c=21.5 accel_g=1.0 raw.altitude=1073741824\n"
              "gps_fix 156 - lat_deg=-33.5 lon_deg=151.25 speed_kmh=36\n"
              "sample 200 size 0\n"
              "sample 208 - altitude_m=0.3 temperature_c=21.5 accel_g=1.0 raw.altitude=1\n"
              "cut_off 242 cut off by the end of the file: 3 bytes left\n");
}

}  // namespace
}  // namespace tarvex
