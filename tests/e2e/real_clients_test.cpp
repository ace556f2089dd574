// Our SRT, CSV and GPX files are for other programs: feed every file of two
// multi-chapter conversions (one with GpsFix data, one with GpsNavData data
// from the GPS expander) to real readers, ffmpeg, gpsbabel, xmllint and
// Python's csv module, and check that they read all of it. The timed
// conversions (gpx_time, gpx_outing and gpx_highlights on) also go to gpxpy,
// gpsbabel merges their chapters into one track and turns the outing's
// highlight waypoints into KML placemarks.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "dat_log.h"
#include "mp4_bytes.h"
#include "test_support.h"

namespace tarvex {
namespace {

using test::RunResult;
using test::TempDir;

enum class GpsData { Fix, NavData, TimedFix, TimedNavData };

bool is_timed(GpsData kind) { return kind == GpsData::TimedFix || kind == GpsData::TimedNavData; }
bool is_fix(GpsData kind) { return kind == GpsData::Fix || kind == GpsData::TimedFix; }
std::string name_of(GpsData kind) {
    return std::string(is_timed(kind) ? "Timed" : "") + (is_fix(kind) ? "GpsFix" : "GpsNavData");
}
void PrintTo(GpsData kind, std::ostream* os) { *os << name_of(kind); }

#define REQUIRE_TOOL(var, tool)                    \
    const std::string var = test::find_tool(tool); \
    if (var.empty()) GTEST_SKIP() << tool << " is not installed; nothing checked"

// ---- The logs.

// The header of both logs: 120 ft of ground offset.
test::DatLog log_start(std::uint32_t expander_id) {
    DatHeader h = test::log_header(expander_id);
    h.ground_offset = 120;
    return test::DatLog(h);
}

// Readings that change from sample to sample, with gaps: altitudes below the
// ground, missing pressure, altitude and acceleration now and then.
void add_sample(test::DatLog& dat, int i) {
    SensorSample s;
    s.abs_press = i % 13 == 5 ? NO_VALUE : 100000 + 7 * i;
    s.temp = 215 - 3 * i;
    s.altitude = i % 17 == 3 ? NO_VALUE : -60 + (i * 7) % 300;
    s.press_copy = s.abs_press;
    s.accel_x = static_cast<std::int16_t>(i % 11 == 4 ? -1 : (i * 37) % 4000 - 2000);
    s.accel_y = static_cast<std::int16_t>((i * 53) % 3000 - 1500);
    s.accel_z = static_cast<std::int16_t>(2048 + (i * 29) % 900);
    s.flags = static_cast<std::uint32_t>(i % 4);
    dat.sample(static_cast<std::uint32_t>(i * 100), s);
}

// Three 4-second chapters; a GpsFix every 200 ms, crossing to a negative
// longitude and a negative altitude; GpsFix2 entries, one of them the first
// fresh record of the last chapter.
std::string fix_log(int& samples) {
    test::DatLog dat = log_start(EXPANDER_NONE);
    samples = 120;
    int k = 0;
    for (int i = 0; i < samples; ++i) {
        add_sample(dat, i);
        const std::uint32_t ts = static_cast<std::uint32_t>(i * 100 + 50);
        if (i % 2 == 0) {
            GpsFix f;
            f.gps_timestamp = 1700000000000ull + ts;
            f.lat_deg = -33;
            f.lat_frac = 860000u + 37u * static_cast<std::uint32_t>(k);
            f.lon_deg = static_cast<std::int16_t>(k < 30 ? 151 : -1);
            f.lon_frac = 200000u + 1000u * static_cast<std::uint32_t>(k);
            f.gps_alt = -250 + 100 * k;
            f.gps_speed = static_cast<std::int16_t>(k);
            f.heading = static_cast<std::int16_t>((k * 13) % 360);
            f.dist = 1000 + 3 * k;
            f.accuracy = 3;
            f.used_sat = 7;
            f.total_sat = 12;
            dat.fix(ts, f);
            ++k;
        }
        if (i == 20 || i == 80) dat.fix2(ts + 30, 33);
    }
    return dat.take();
}

// Two 4-second chapters of a GPS expander unit: GpsNavData every 200 ms
// south of the equator, with level flight (no glide ratio) now and then.
std::string navdata_log(int& samples) {
    test::DatLog dat = log_start(EXPANDER_GPS);
    samples = 80;
    int k = 0;
    for (int i = 0; i < samples; ++i) {
        add_sample(dat, i);
        if (i % 2 != 0) continue;
        GpsNavData n;
        n.lat = -338600000 + 1000 * k;
        n.lon = 1512000000 + 2000 * k;
        const double lat = n.lat / 1e7 * M_PI / 180.0, lon = n.lon / 1e7 * M_PI / 180.0;
        const double r = 637813700.0;  // cm
        n.ecef_x = static_cast<std::int32_t>(std::lround(r * std::cos(lat) * std::cos(lon)));
        n.ecef_y = static_cast<std::int32_t>(std::lround(r * std::cos(lat) * std::sin(lon)));
        n.ecef_z = static_cast<std::int32_t>(std::lround(r * std::sin(lat)));
        n.time_of_week = 12345600u + 20u * static_cast<std::uint32_t>(k);
        n.gps_alt = 5000u + 10u * static_cast<std::uint32_t>(k);
        n.week = 2300;
        n.pdop = 150;
        n.vdop = 220;
        n.fix_mode = 3;
        n.used_sat = 9;
        n.h_speed = 20 + k % 5;
        n.vspeed = k % 4 - 2;
        dat.nav(static_cast<std::uint32_t>(i * 100 + 60), n);
        ++k;
    }
    return dat.take();
}

// ---- One conversion per kind of GPS data, shared by the tests.

struct Conversion {
    TempDir dir;
    RunResult result;
    int samples = 0;
    std::map<std::string, std::vector<std::string>> files;  // extension -> sorted paths
};

const Conversion& conversion(GpsData kind) {
    static std::map<GpsData, std::unique_ptr<Conversion>> done;
    auto& c = done[kind];
    if (c) return *c;
    c = std::make_unique<Conversion>();
    const TempDir& dir = c->dir;
    int chapters = 0;
    const std::string timed = is_timed(kind) ? "gpx_time = on\ngpx_outing = on\ngpx_highlights = on\n" : "";
    if (is_fix(kind)) {
        test::write_file(dir.file("log.dat"), fix_log(c->samples));
        chapters = 3;
        test::write_file(dir.file("settings.txt"),
                         timed +
                             "csv = yes\ngpx = yes\naltitude = both\ntemperature = f\naccel = full\n"
                             "gbar = yes\naccel_places = 2\nid_pins = yes\nheading = yes\n"
                             "gps_speed = km\ngps_dist = km\ngps_dist_places = 2\ngps_lag = 0\n"
                             "speed_window = 5\n");
    } else {
        test::write_file(dir.file("log.dat"), navdata_log(c->samples));
        chapters = 2;
        test::write_file(dir.file("settings.txt"),
                         timed +
                             "csv = yes\ngpx = yes\naltitude = m\ntemperature = c\naccel = xyz\n"
                             "glide = yes\ngps_dist_interval = 1\ngps_speed_type = both\n"
                             "gps_speed = mph\ngps_dist = miles\ngps_dist_places = 2\ngps_hw_lag = 0\n");
    }
    test::write_file(dir.file("GOPR0007.MP4"), test::mp4_file(4000));
    for (int ch = 1; ch < chapters; ++ch) {
        char name[32];
        std::snprintf(name, sizeof name, "GP%02d0007.MP4", ch);
        test::write_file(dir.file(name), test::mp4_file(4000));
    }
    c->result =
        test::run_program({test::binary_path("converter/converter"), "log.dat", "-v", "GOPR0007.MP4"}, dir.path());
    for (const auto& e : std::filesystem::directory_iterator(dir.path())) {
        c->files[e.path().extension().string()].push_back(e.path().string());
    }
    for (auto& [ext, paths] : c->files) std::sort(paths.begin(), paths.end());
    return *c;
}

class RealClients : public ::testing::TestWithParam<GpsData> {
protected:
    // The conversion's files of one kind, after checking that it ran.
    const std::vector<std::string>& files(const char* ext, std::size_t expected) {
        const Conversion& c = conversion(GetParam());
        EXPECT_EQ(c.result.exit_status, 0) << c.result.out;
        const auto it = c.files.find(ext);
        static const std::vector<std::string> none;
        const std::vector<std::string>& list = it != c.files.end() ? it->second : none;
        EXPECT_EQ(list.size(), expected) << ext;
        return list;
    }
    std::size_t chapters() const { return is_fix(GetParam()) ? 3 : 2; }
    // The chapters' GPX files and, when timed, the outing's.
    std::size_t gpx_files() const { return chapters() + (is_timed(GetParam()) ? 1 : 0); }
};

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::stringstream s(text);
    std::string line;
    while (std::getline(s, line)) {
        line.erase(std::remove(line.begin(), line.end(), '\r'), line.end());
        while (!line.empty() && line.back() == ' ') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

// Timing lines, and the text lines apart from entry numbers and blank lines
// (ffmpeg numbers the entries afresh).
void split_srt(const std::string& text, std::vector<std::string>& times, std::vector<std::string>& texts) {
    for (const std::string& line : lines_of(text)) {
        if (line.find(" --> ") != std::string::npos) {
            times.push_back(line);
        } else if (!line.empty() && line.find_first_not_of("0123456789") != std::string::npos) {
            texts.push_back(line);
        }
    }
}

TEST_P(RealClients, FfmpegReadsEverySrtEntry) {
    REQUIRE_TOOL(ffmpeg, "ffmpeg");
    for (const std::string& path : files(".SRT", chapters())) {
        // Reading the subtitles and writing them out again shows what ffmpeg understood.
        const RunResult r = test::run_program({ffmpeg, "-nostdin", "-v", "error", "-i", path, "-f", "srt", "-"});
        ASSERT_EQ(r.exit_status, 0) << path << "\n" << r.err;
        EXPECT_EQ(r.err, "") << path;
        std::vector<std::string> our_times, our_texts, ff_times, ff_texts;
        split_srt(test::read_file(path), our_times, our_texts);
        split_srt(r.out, ff_times, ff_texts);
        EXPECT_GT(our_times.size(), 5u) << path;
        EXPECT_EQ(ff_times, our_times) << path;
        EXPECT_EQ(ff_texts, our_texts) << path;
    }
}

// "lat", "lon" and "ele" of every track point, in file order.
std::vector<std::array<double, 3>> our_points(const std::string& gpx) {
    std::vector<std::array<double, 3>> points;
    for (std::size_t at = gpx.find("<trkpt "); at != std::string::npos; at = gpx.find("<trkpt ", at + 1)) {
        const std::size_t lat = gpx.find("lat=\"", at) + 5, lon = gpx.find("lon=\"", at) + 5;
        const std::size_t ele = gpx.find("<ele>", at) + 5;
        points.push_back({std::strtod(gpx.c_str() + lat, nullptr), std::strtod(gpx.c_str() + lon, nullptr),
                          std::strtod(gpx.c_str() + ele, nullptr)});
    }
    return points;
}

TEST_P(RealClients, GpsbabelFindsEveryTrackPoint) {
    REQUIRE_TOOL(gpsbabel, "gpsbabel");
    const Conversion& c = conversion(GetParam());
    std::size_t total = 0;
    for (const std::string& path : files(".GPX", gpx_files())) {
        const std::string csv_out = c.dir.file("gpsbabel.csv");
        const RunResult r = test::run_program({gpsbabel, "-t", "-i", "gpx", "-f", path, "-o", "unicsv", "-F", csv_out});
        ASSERT_EQ(r.exit_status, 0) << path << "\n" << r.out << r.err;
        // unicsv: "No,Latitude,Longitude,Altitude", then one line per point.
        std::vector<std::array<double, 3>> read_back;
        for (const std::string& line : lines_of(test::read_file(csv_out))) {
            double no = 0, lat = 0, lon = 0, alt = 0;
            if (std::sscanf(line.c_str(), "%lf,%lf,%lf,%lf", &no, &lat, &lon, &alt) == 4) {
                read_back.push_back({lat, lon, alt});
            }
        }
        const auto written = our_points(test::read_file(path));
        ASSERT_EQ(read_back.size(), written.size()) << path;
        for (std::size_t i = 0; i < written.size(); ++i) {
            EXPECT_NEAR(read_back[i][0], written[i][0], 1e-6) << path << " point " << i;
            EXPECT_NEAR(read_back[i][1], written[i][1], 1e-6) << path << " point " << i;
            EXPECT_NEAR(read_back[i][2], written[i][2], 0.051) << path << " point " << i;
        }
        total += written.size();
    }
    EXPECT_GT(total, 20u);
}

TEST_P(RealClients, XmllintAcceptsEveryGpx) {
    REQUIRE_TOOL(xmllint, "xmllint");
    for (const std::string& path : files(".GPX", gpx_files())) {
        const RunResult r = test::run_program({xmllint, "--noout", "--nonet", path});
        EXPECT_EQ(r.exit_status, 0) << path << "\n" << r.err;
        EXPECT_EQ(r.err, "") << path;
    }
}

TEST_P(RealClients, EveryGpxValidatesAgainstTheGpx11Schema) {
    REQUIRE_TOOL(xmllint, "xmllint");
    // The schema is not part of the tree: TARVEX_GPX_SCHEMA names a copy,
    // else the one beside the source tree is used when present.
    const char* env = std::getenv("TARVEX_GPX_SCHEMA");
    const std::string xsd = env != nullptr && *env != '\0' ? env : test::source_path("../shared/gpx.xsd");
    if (!test::file_exists(xsd)) {
        GTEST_SKIP() << "no GPX 1.1 schema at " << xsd
                     << "; set TARVEX_GPX_SCHEMA to a copy of gpx.xsd to run this check (see README)";
    }
    for (const std::string& path : files(".GPX", gpx_files())) {
        const RunResult r = test::run_program({xmllint, "--noout", "--nonet", "--schema", xsd, path});
        EXPECT_EQ(r.exit_status, 0) << path << "\n" << r.err;
    }
}

// Reads each CSV with the csv module after its comment lines: every row is
// one line, with one of the two shapes of the formats (a GpsFix part of 19
// fields in all, or 27 otherwise), its sensor fields integers where present;
// the rows of all files together are one per sample.
constexpr char CSV_CHECK[] = R"PY(
import csv, itertools, sys
expected_rows = int(sys.argv[1])
total = 0
for path in sys.argv[2:]:
    with open(path, newline='') as f:
        comments = 0
        line = f.readline()
        while line.startswith(';'):
            comments += 1
            line = f.readline()
        reader = csv.reader(itertools.chain([line], f))
        rows = list(reader)
        if comments != 8:
            sys.exit('%s: %d comment lines' % (path, comments))
        if reader.line_num != len(rows):
            sys.exit('%s: %d rows on %d lines' % (path, len(rows), reader.line_num))
        names, divisors, units, data = rows[0], rows[1], rows[2], rows[3:]
        if names[:2] != ['vid_timestamp', 'abs_press'] or divisors[0] != 'div_by_1000' or units[0] != 'seconds':
            sys.exit('%s: column heading %r' % (path, rows[:3]))
        for n, row in enumerate(data):
            if len(row) not in (19, 27):
                sys.exit('%s: row %d has %d fields: %r' % (path, n, len(row), row))
            if row[0] == '':
                sys.exit('%s: row %d has no timestamp' % (path, n))
            for field in row[:8]:
                if field != '':
                    int(field)
        total += len(data)
if total != expected_rows:
    sys.exit('%d rows for %d samples' % (total, expected_rows))
print(total)
)PY";

TEST_P(RealClients, PythonCsvReadsEveryRow) {
    REQUIRE_TOOL(python, "python3");
    const Conversion& c = conversion(GetParam());
    std::vector<std::string> args = {python, "-c", CSV_CHECK, std::to_string(c.samples)};
    for (const std::string& path : files(".CSV", chapters())) args.push_back(path);
    const RunResult r = test::run_program(args);
    EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
    EXPECT_EQ(r.out, std::to_string(c.samples) + "\n");
}

// A Python that has gpxpy (Debian's python3-gpxpy serves /usr/bin/python3),
// or empty.
std::string python_with_gpxpy() {
    for (const std::string& python : {std::string("/usr/bin/python3"), test::find_tool("python3")}) {
        if (!python.empty() && test::run_program({python, "-c", "import gpxpy"}).exit_status == 0) return python;
    }
    return {};
}

// Timed tracks as gpxpy reads them: every point timed, strictly increasing;
// each chapter's duration is its points' span; each point's time is the fix
// time its CSV rows show (GpsFix: gps_timestamp; GpsNavData: week and time
// of week, 18 leap seconds behind GPS time in these logs); the outing holds
// every chapter's points in order, one segment per chapter.
constexpr char GPXPY_CHECK[] = R"PY(
import csv, datetime, gpxpy, sys
kind, outing, chapters = sys.argv[1], sys.argv[2], sys.argv[3:]
gps_epoch = datetime.datetime(1980, 1, 6, tzinfo=datetime.timezone.utc)
def points(path):
    g = gpxpy.parse(open(path))
    return g, [[p for p in s.points] for t in g.tracks for s in t.segments]
def csv_fix_times(path):
    lines = [l for l in open(path) if not l.startswith(';')]
    rows = list(csv.reader(lines))
    names = [n.strip() for n in rows[0]]
    times = []
    for row in rows[3:]:
        if len(row) == 19 and kind == 'fix':
            t = datetime.datetime.fromtimestamp(int(row[names.index('gps_timestamp')]) / 1000, datetime.timezone.utc)
        elif len(row) == 27 and kind == 'nav' and row[8] != '':
            tow, week = int(row[names.index('time_of_week')]), int(row[names.index('week')])
            t = gps_epoch + datetime.timedelta(weeks=week, milliseconds=tow * 10 - 18000)
        else:
            continue
        if not times or times[-1] != t:
            times.append(t)
    return times
all_points = []
for gpx_path in chapters:
    g, segs = points(gpx_path)
    pts = [p for s in segs for p in s]
    times = [p.time for p in pts]
    if len(segs) != 1 or not pts or None in times:
        sys.exit('%s: %d segments, %d points, untimed points' % (gpx_path, len(segs), len(pts)))
    if any(b <= a for a, b in zip(times, times[1:])):
        sys.exit('%s: times not strictly increasing' % gpx_path)
    if abs(g.get_duration() - (times[-1] - times[0]).total_seconds()) > 1e-6:
        sys.exit('%s: duration %r' % (gpx_path, g.get_duration()))
    if csv_fix_times(gpx_path[:-3] + 'CSV') != times:
        sys.exit('%s: point times differ from the CSV fix times' % gpx_path)
    all_points.append([(p.latitude, p.longitude, p.elevation, p.time) for p in pts])
g, segs = points(outing)
if len(g.tracks) != 1 or [[(p.latitude, p.longitude, p.elevation, p.time) for p in s] for s in segs] != all_points:
    sys.exit('outing: %d tracks, segments differ from the chapters' % len(g.tracks))
print(sum(len(p) for p in all_points))
)PY";

class TimedRealClients : public RealClients {};

TEST_P(TimedRealClients, GpxpyReadsTimedTracksThatMatchTheCsvFixTimes) {
    const std::string python = python_with_gpxpy();
    if (python.empty()) GTEST_SKIP() << "no python3 with gpxpy (Debian package python3-gpxpy); nothing checked";
    const std::vector<std::string>& gpx = files(".GPX", gpx_files());
    ASSERT_EQ(gpx.size(), gpx_files());
    // Sorted names: "GOPR0007-outing.GPX" sorts before "GOPR0007.GPX".
    std::vector<std::string> args = {python, "-c", GPXPY_CHECK, is_fix(GetParam()) ? "fix" : "nav"};
    for (const std::string& path : gpx) {
        if (path.find("-outing.GPX") != std::string::npos) args.insert(args.begin() + 4, path);
    }
    for (const std::string& path : gpx) {
        if (path.find("-outing.GPX") == std::string::npos) args.push_back(path);
    }
    ASSERT_EQ(args.size(), 5 + chapters());
    const RunResult r = test::run_program(args);
    EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
}

TEST_P(TimedRealClients, GpsbabelMergesTheChaptersIntoOneTrack) {
    REQUIRE_TOOL(gpsbabel, "gpsbabel");
    const Conversion& c = conversion(GetParam());
    std::vector<std::string> args = {gpsbabel, "-t", "-i", "gpx"};
    std::size_t points = 0;
    for (const std::string& path : files(".GPX", gpx_files())) {
        if (path.find("-outing.GPX") != std::string::npos) continue;
        args.insert(args.end(), {"-f", path});
        points += our_points(test::read_file(path)).size();
    }
    const std::string merged = c.dir.file("merged.gpx.out");
    args.insert(args.end(), {"-x", "track,merge", "-x", "track,speed", "-o", "gpx", "-F", merged});
    const RunResult r = test::run_program(args);
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
    const std::string out = test::read_file(merged);
    std::size_t tracks = 0;
    for (std::size_t at = out.find("<trk>"); at != std::string::npos; at = out.find("<trk>", at + 1)) ++tracks;
    EXPECT_EQ(tracks, 1u);
    EXPECT_EQ(our_points(out).size(), points);
}

// The outing track of a timed conversion.
std::string outing_of(const std::vector<std::string>& gpx) {
    for (const std::string& path : gpx)
        if (path.find("-outing.GPX") != std::string::npos) return path;
    return {};
}

// Every waypoint stands on a track point: same time, position and
// elevation; it has a name and says where in the video it is.
constexpr char WAYPOINT_CHECK[] = R"PY(
import gpxpy, sys
g = gpxpy.parse(open(sys.argv[1]))
points = {p.time: p for t in g.tracks for s in t.segments for p in s.points}
for w in g.waypoints:
    p = points.get(w.time)
    if p is None or (p.latitude, p.longitude, p.elevation) != (w.latitude, w.longitude, w.elevation):
        sys.exit('waypoint %r %r at no track point' % (w.name, w.time))
    if not w.name or '.MP4 at ' not in (w.description or ''):
        sys.exit('waypoint %r: description %r' % (w.name, w.description))
print(len(g.waypoints))
)PY";

TEST_P(TimedRealClients, GpxpyFindsEachHighlightWaypointAtATrackPointOfTheSameTime) {
    const std::string python = python_with_gpxpy();
    if (python.empty()) GTEST_SKIP() << "no python3 with gpxpy (Debian package python3-gpxpy); nothing checked";
    const std::string outing = outing_of(files(".GPX", gpx_files()));
    ASSERT_FALSE(outing.empty());
    const RunResult r = test::run_program({python, "-c", WAYPOINT_CHECK, outing});
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
    EXPECT_GE(std::stoi(r.out), 4);  // hits, the highest and fastest points, climb and sink
}

TEST_P(TimedRealClients, GpsbabelMakesOneKmlPlacemarkPerWaypoint) {
    REQUIRE_TOOL(gpsbabel, "gpsbabel");
    const Conversion& c = conversion(GetParam());
    const std::string outing = outing_of(files(".GPX", gpx_files()));
    ASSERT_FALSE(outing.empty());
    const std::string kml = c.dir.file("waypoints.kml.out");
    const RunResult r = test::run_program(
        {gpsbabel, "-i", "gpx", "-f", outing, "-x", "nuketypes,tracks,routes", "-o", "kml", "-F", kml});
    ASSERT_EQ(r.exit_status, 0) << r.out << r.err;
    const auto count = [](const std::string& text, const std::string& what) {
        std::size_t n = 0;
        for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
        return n;
    };
    const std::size_t waypoints = count(test::read_file(outing), "<wpt ");
    EXPECT_GE(waypoints, 4u);
    EXPECT_EQ(count(test::read_file(kml), "<Placemark"), waypoints);
}

INSTANTIATE_TEST_SUITE_P(Conversions, RealClients,
                         ::testing::Values(GpsData::Fix, GpsData::NavData, GpsData::TimedFix, GpsData::TimedNavData),
                         [](const auto& info) { return name_of(info.param); });
INSTANTIATE_TEST_SUITE_P(Conversions, TimedRealClients, ::testing::Values(GpsData::TimedFix, GpsData::TimedNavData),
                         [](const auto& info) { return name_of(info.param); });

}  // namespace
}  // namespace tarvex
