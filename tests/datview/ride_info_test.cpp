// `datview info`'s ride section on the bundled example logs, against
// figures found independently by real clients: Python reads the JSON and the
// DAT log itself (duration, height range, temperature range and the raw G
// peak, with the smoothing off so that they must agree exactly), ffprobe
// gives the chapter lengths that place each highlight in the video, and
// gpxpy measures the outing track for the distance and the top speed.

#include <gtest/gtest.h>

#include "datview_run.h"

namespace tarvex {
namespace {

constexpr char RIDE_CHECK[] = R"PY(
import json, math, os, shutil, struct, subprocess, sys
report_path, log_path, outing = sys.argv[1], sys.argv[2], sys.argv[3]
chapters = sys.argv[4:]
rep = json.load(open(report_path))
ride, hl = rep['ride'], rep['highlights']
fails, notes = [], []
def near(what, got, want, tol):
    if got is None or want is None or abs(got - want) > tol:
        fails.append('%s: %r, expected %r (+-%g)' % (what, got, want, tol))

data = open(log_path, 'rb').read()
pos, ts, alts, temps, gs = 88, [], [], [], []
while pos + 8 <= len(data):
    kind, size, t = struct.unpack_from('<HHI', data, pos)
    payload = data[pos + 8:pos + 8 + size]
    pos += 8 + size
    if kind == 240 and len(payload) >= 22:
        _, temp, alt, _, ax, ay, az = struct.unpack_from('<iiiihhh', payload)
        ts.append(t)
        if alt != 0x40000000: alts.append(alt * 0.3048)
        if temp != 0x40000000: temps.append(temp / 10)
        if -1 not in (ax, ay, az): gs.append(math.sqrt(ax * ax + ay * ay + az * az) / 2048)
near('duration_s', ride['duration_s'], (max(ts) - min(ts)) / 1000, 0.0005)
near('height_max_m', ride['height_max_m'], max(alts), 0.051)
near('height_min_m', ride['height_min_m'], min(alts), 0.051)
near('temperature_max_c', ride['temperature_max_c'], max(temps), 0.051)
near('temperature_min_c', ride['temperature_min_c'], min(temps), 0.051)
near('g_max', ride['g_max'], max(gs), 0.0051)
# Turning points are the extremes themselves: the rise from the start to the
# top and the fall from the top to the end count whole.
if ride['climb_m'] + 0.05 < max(alts) - alts[0] or ride['descent_m'] + 0.05 < max(alts) - alts[-1]:
    fails.append('climb %r / descent %r for a rise of %r' % (ride['climb_m'], ride['descent_m'], max(alts) - alts[0]))

hits = [h for h in hl if h['kind'] == 'g']
if not 1 <= len(hits) <= 5 or hits[0]['value'] != ride['g_max'] or [h['value'] for h in hits] != sorted([h['value'] for h in hits], reverse=True):
    fails.append('hits %r' % hits)
for i, a in enumerate(hits):
    for b in hits[i + 1:]:
        if abs(a['log_time_s'] - b['log_time_s']) < 3.0:
            fails.append('hits %r and %r closer than 3 s' % (a, b))
kinds = [h['kind'] for h in hl]
if 'height' not in kinds or ('speed' in kinds) != (outing != '-'):
    fails.append('kinds %r' % kinds)

ffprobe = shutil.which('ffprobe')
if ffprobe is None:
    notes.append('ffprobe is not installed: chapter places not checked')
else:
    offsets, start = [], 0.0
    for path in chapters:
        d = float(subprocess.run([ffprobe, '-v', 'error', '-show_entries', 'format=duration', '-of', 'csv=p=0', path],
                                 capture_output=True, text=True, check=True).stdout)
        offsets.append((start, d, os.path.basename(path)))
        start += d
    for h in hl:
        t = h['log_time_s']
        place = next(((name, t - s) for s, d, name in offsets if s <= t <= s + d), (None, None))
        if h['chapter'] != place[0] or (place[1] is not None and abs(h['chapter_time_s'] - place[1]) > 0.0015):
            fails.append('%s at %r: %r %r, ffprobe says %r' % (h['kind'], t, h['chapter'], h['chapter_time_s'], place))

if outing == '-':
    if (ride['speed_max_kmh'], ride['speed_avg_kmh'], ride['distance_m']) != (None, None, None):
        fails.append('GPS figures without GPS: %r' % ride)
else:
    try:
        import gpxpy
        g = gpxpy.parse(open(outing))
        near('distance_m', ride['distance_m'], g.length_2d(), 0.10 * g.length_2d())
        near('speed_max_kmh', ride['speed_max_kmh'], g.get_moving_data().max_speed * 3.6, 0.05 * ride['speed_max_kmh'])
        if not 0 < ride['speed_avg_kmh'] <= ride['speed_max_kmh']:
            fails.append('speed_avg_kmh %r' % ride['speed_avg_kmh'])
    except ImportError:
        notes.append('no gpxpy: distance and top speed not checked')
print('\n'.join(notes))
sys.exit('\n'.join(fails) if fails else 0)
)PY";

// A Python with gpxpy when there is one (Debian's serves /usr/bin/python3).
std::string python() {
    for (const std::string& p : {std::string("/usr/bin/python3"), test::find_tool("python3")})
        if (!p.empty() && test::run_program({p, "-c", "import gpxpy"}).exit_status == 0) return p;
    return test::find_tool("python3");
}

struct Example {
    const char* name;
    const char* folder;  // under examples/
    const char* log;
    std::vector<std::string> chapters;
    const char* outing;  // reference outing track, or nullptr without GPS
};
void PrintTo(const Example& e, std::ostream* os) { *os << e.name; }

const Example examples[] = {
    {"Outing", "outing", "datalog.bin", {"GOPR0042.MP4", "GP010042.MP4"}, nullptr},
    {"Ride", "ride", "GOPR0077.DAT", {"GOPR0077.MP4", "GP010077.MP4"}, "expected/GOPR0077-outing.GPX"},
};

class RideInfo : public testing::TestWithParam<Example> {};

TEST_P(RideInfo, StatisticsAgreeWithTheLogFfprobeAndGpxpy) {
    const Example& e = GetParam();
    const std::string py = python();
    if (py.empty()) GTEST_SKIP() << "python3 is not installed; nothing checked";
    const std::string dir = test::source_path(std::string("examples/") + e.folder);
    const auto in = [&dir](const std::string& name) { return dir + "/" + name; };
    test::TempDir tmp;
    test::write_file(tmp.file("raw.txt"), "alt_filter = off\naccel_filter = off\n");
    const test::RunResult r =
        test::datview(tmp, {"info", in(e.log), "-v", in(e.chapters[0]), "-s", "raw.txt", "--json"});
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
    test::write_file(tmp.file("report.json"), r.out);
    std::vector<std::string> args = {
        py, "-c", RIDE_CHECK, tmp.file("report.json"), in(e.log), e.outing != nullptr ? in(e.outing) : "-"};
    for (const std::string& c : e.chapters) args.push_back(in(c));
    const test::RunResult check = test::run_program(args);
    EXPECT_EQ(check.exit_status, 0) << check.err << check.out;
    if (!check.out.empty() && check.out != "\n") std::printf("note: %s", check.out.c_str());

    // The text form: the health report unchanged up to its verdict, then the ride.
    const test::RunResult text = test::datview(tmp, {"info", in(e.log), "-v", in(e.chapters[0]), "-s", "raw.txt"});
    EXPECT_EQ(text.exit_status, 0);
    EXPECT_NE(text.out.find("\nverdict: healthy\nride:"), std::string::npos) << text.out;
    EXPECT_NE(text.out.find("\n  hardest hit    "), std::string::npos) << text.out;
}

INSTANTIATE_TEST_SUITE_P(Examples, RideInfo, testing::ValuesIn(examples),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tarvex
