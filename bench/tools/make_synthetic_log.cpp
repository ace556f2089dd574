// Writes a synthetic DAT log of any length, and optionally the matching
// chapter MP4 files (tiny files holding only a movie header of the right
// duration), for benchmarks, examples and manual runs of the converter.
//
// The readings follow a plausible outing: the altitude climbs and descends in
// slow waves, the temperature drops with height and drifts, the accelerometer
// reads about 1 G with noise and an occasional bump. Everything comes from a
// fixed-seed generator, so the same options always give the same bytes.

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>

#include "dat_log.h"
#include "mp4_bytes.h"

namespace {

using namespace tarvex;

constexpr double PI = std::numbers::pi;

enum class GpsKind { None, Fix, NavData };

struct Options {
    std::string out;
    double seconds = 360.0;
    double rate = 10.0;  // sensor samples per second
    GpsKind gps = GpsKind::None;
    double gps_rate = 5.0;  // GPS entries per second
    std::uint32_t hw_revision = 3;
    std::int64_t expander = -1;  // -1: 3 with navdata, else 255
    std::string serial = "SYN00001";
    std::uint32_t rec_date = 1700000000;
    std::int32_t ground_offset = 0;
    std::uint32_t seed = 1;
    std::string video;  // first chapter MP4, or empty
    double chapter_seconds = 1560.0;
    std::uint32_t timescale = 1000;
    std::uint32_t mdat_bytes = 16;
};

void usage(const char* prog) {
    std::fprintf(stderr,
                 "Usage: %s -o OUT.DAT [options]\n"
                 "  --hours H             length of the recording (default 0.1)\n"
                 "  --seconds S           length in seconds instead of hours\n"
                 "  --rate N              sensor samples per second (default 10)\n"
                 "  --gps none|fix|navdata  GPS entries to add (default none)\n"
                 "  --gps-rate N          GPS entries per second (default 5)\n"
                 "  --hw-revision N       header hw_revision (default 3)\n"
                 "  --expander N          header expander_id (default 3 with navdata, else 255)\n"
                 "  --serial TEXT         header serial number (default SYN00001)\n"
                 "  --rec-date N          header rec_date, Unix seconds (default 1700000000)\n"
                 "  --ground-offset N     header ground offset, ft (default 0)\n"
                 "  --seed N              seed of the pseudo-random readings (default 1)\n"
                 "  --wave-ft N           height of the big climb-and-descend wave (default 400)\n"
                 "  --wave-seconds N      its period (default 1200)\n"
                 "  --video PATH          also write the chapter MP4 files; PATH names the\n"
                 "                        first chapter, e.g. out/GOPR0042.MP4\n"
                 "  --chapter-seconds S   length of each chapter (default 1560); the last\n"
                 "                        chapter holds the remainder\n"
                 "  --timescale N         movie header timescale, units per second (default 1000)\n"
                 "  --mdat-bytes N        size of the media box written before the movie box\n"
                 "                        (default 16)\n",
                 prog);
}

// xorshift32: small, fast, reproducible across platforms.
struct Rng {
    std::uint32_t s;
    std::uint32_t next() {
        s ^= s << 13;
        s ^= s >> 17;
        s ^= s << 5;
        return s;
    }
    // Uniform in [-1, 1).
    double unit() { return static_cast<double>(next() >> 8) / 8388608.0 - 1.0; }
};

// ---- Readings of the outing at time t (seconds from the start).

// The big climb-and-descend wave (ft, s): --wave-ft, --wave-seconds.
double g_wave_ft = 400.0;
double g_wave_s = 1200.0;

double altitude_ft(double t) {
    // The big wave, a 3-minute wave of 60 ft and a slow rise of 1 ft per minute.
    return g_wave_ft / 2.0 * (1.0 - std::cos(2.0 * PI * t / g_wave_s)) + 30.0 * std::sin(2.0 * PI * t / 180.0) +
           t / 60.0;
}

// Standard-atmosphere pressure in Pa at `feet` above sea level.
double pressure_pa(double feet) { return 101325.0 * std::pow(1.0 - 6.8756e-6 * feet, 5.2559); }

double temperature_tenths(double t, double feet) {
    // 21.5 C on the ground, -2 C per 1000 ft, a 1.5 C drift over an hour.
    return 215.0 - feet * 0.02 + 15.0 * std::sin(2.0 * PI * t / 3600.0);
}

std::int16_t clamp16(double v) {
    if (v > 32767.0) return 32767;
    if (v < -32767.0) return -32767;  // -32768 would not be -1, but keep clear of it
    const auto c = static_cast<std::int16_t>(std::lround(v));
    return c == -1 ? 0 : c;  // -1 marks a missing axis
}

// ---- Position along the track: an ellipse of about 6 km round, 25 km/h.

constexpr double START_LAT = 46.557;
constexpr double START_LON = 7.972;
constexpr double SPEED_KMH = 25.0;

struct Position {
    double lat, lon;  // degrees
    double heading;   // degrees
};

Position position(double t) {
    const double period = 6.0 / SPEED_KMH * 3600.0;  // seconds per lap
    const double a = 2.0 * PI * t / period;
    const double r_lat = 0.008, r_lon = 0.012;
    Position p;
    p.lat = START_LAT + r_lat * std::sin(a);
    p.lon = START_LON + r_lon * (1.0 - std::cos(a));
    const double dn = r_lat * std::cos(a), de = r_lon * std::sin(a) * std::cos(START_LAT * PI / 180.0);
    p.heading = std::fmod(std::atan2(de, dn) * 180.0 / PI + 360.0, 360.0);
    return p;
}

void ecef(double lat_deg, double lon_deg, double alt_m, std::int32_t& x, std::int32_t& y, std::int32_t& z) {
    const double a = 6378137.0, e2 = 6.69437999014e-3;
    const double lat = lat_deg * PI / 180.0, lon = lon_deg * PI / 180.0;
    const double n = a / std::sqrt(1.0 - e2 * std::sin(lat) * std::sin(lat));
    x = static_cast<std::int32_t>(std::lround((n + alt_m) * std::cos(lat) * std::cos(lon) * 100.0));
    y = static_cast<std::int32_t>(std::lround((n + alt_m) * std::cos(lat) * std::sin(lon) * 100.0));
    z = static_cast<std::int32_t>(std::lround((n * (1.0 - e2) + alt_m) * std::sin(lat) * 100.0));
}

void split_degrees(double deg, std::int16_t& whole, std::uint32_t& millionths) {
    const auto micro = static_cast<std::int64_t>(std::llround(std::fabs(deg) * 1e6));
    whole = static_cast<std::int16_t>((deg < 0 ? -1 : 1) * (micro / 1000000));
    millionths = static_cast<std::uint32_t>(micro % 1000000);
}

// ---- Writing.

// The log collects in memory and goes to the file in pieces of 64 KiB or more.
struct Writer {
    std::FILE* f;
    test::DatLog log;
    void flush(std::size_t at_least = 0) {
        if (log.bytes().size() < at_least) return;
        const std::string piece = log.take();
        std::fwrite(piece.data(), 1, piece.size(), f);
    }
};

void write_sample(Writer& w, Rng& rng, std::uint32_t ts, std::int32_t ground_offset) {
    const double t = ts / 1000.0;
    const double feet = altitude_ft(t);
    SensorSample s;
    s.abs_press = static_cast<std::int32_t>(std::lround(pressure_pa(feet + ground_offset) + rng.unit() * 3.0));
    s.press_copy = s.abs_press;
    s.temp = static_cast<std::int32_t>(std::lround(temperature_tenths(t, feet) + rng.unit()));
    s.altitude = static_cast<std::int32_t>(std::lround(feet + rng.unit() * 2.0));
    // A bump of up to 3 G for half a second every 20 s (the first at 10 s),
    // noise of 0.05 G otherwise.
    const double phase = std::fmod(t + 10.0, 20.0);
    const double bump = phase < 0.5 ? 2.0 * std::sin(PI * phase / 0.5) : 0.0;
    s.accel_x = clamp16(2048.0 * (0.05 * rng.unit() + 0.3 * bump));
    s.accel_y = clamp16(2048.0 * (0.05 * rng.unit() - 0.1 * bump));
    s.accel_z = clamp16(2048.0 * (1.0 + 0.05 * rng.unit() + bump));
    s.flags = 0;
    w.log.sample(ts, s);
}

void write_gps(Writer& w, GpsKind kind, std::uint32_t ts, const Options& o) {
    const double t = ts / 1000.0;
    const Position pos = position(t);
    const double alt_m = (altitude_ft(t) + o.ground_offset) * 0.3048 + 600.0;
    const double km = SPEED_KMH * t / 3600.0;
    if (kind == GpsKind::Fix) {
        GpsFix f;
        f.gps_timestamp = static_cast<std::uint64_t>(o.rec_date) * 1000u + ts;
        split_degrees(pos.lat, f.lat_deg, f.lat_frac);
        split_degrees(pos.lon, f.lon_deg, f.lon_frac);
        f.dist = static_cast<std::int32_t>(100000 + km * 100.0);  // odometer, 10 m units
        f.gps_alt = static_cast<std::int32_t>(std::lround(alt_m * 100.0));
        f.gps_speed = static_cast<std::int16_t>(SPEED_KMH);
        f.accuracy = 3;
        f.used_sat = 9;
        f.total_sat = 12;
        f.heading = static_cast<std::int16_t>(std::lround(pos.heading) % 360);
        w.log.fix(ts, f);
    } else {
        GpsNavData n;
        n.lat = static_cast<std::int32_t>(std::lround(pos.lat * 1e7));
        n.lon = static_cast<std::int32_t>(std::lround(pos.lon * 1e7));
        ecef(pos.lat, pos.lon, alt_m, n.ecef_x, n.ecef_y, n.ecef_z);
        // GPS time: weeks since 1980-01-06, leap seconds ignored.
        const std::uint64_t gps_s = static_cast<std::uint64_t>(o.rec_date) - 315964800u + ts / 1000u;
        n.week = static_cast<std::uint16_t>(gps_s / 604800u);
        n.time_of_week = static_cast<std::uint32_t>((gps_s % 604800u) * 100u + (ts % 1000u) / 10u);
        n.gps_alt = static_cast<std::uint32_t>(std::lround(alt_m * 100.0));
        n.pdop = 150;
        n.vdop = 210;
        n.fix_mode = 3;
        n.used_sat = 9;
        n.h_speed = static_cast<std::int32_t>(SPEED_KMH);
        const double climb_fps = (altitude_ft(t + 0.5) - altitude_ft(t - 0.5));
        n.vspeed = static_cast<std::int32_t>(std::lround(climb_fps * 0.3048 * 3.6));
        w.log.nav(ts, n);
    }
}

// ---- MP4 chapter files: "ftyp", a media box, then "moov" holding "mvhd".

int write_mp4(const std::string& path, std::uint32_t duration_ms, std::uint32_t timescale, std::uint32_t mdat_bytes) {
    const std::string bytes = test::mp4_file(duration_ms, timescale, mdat_bytes);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return -1;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return (std::fclose(f) == 0 && ok) ? 0 : -1;
}

// Chapter file name as the camera makes it: GOPRnnnn.MP4, then GPkknnnn.MP4.
std::string chapter_mp4_name(const std::string& first, int index) {
    const std::size_t slash = first.rfind('/');
    const std::string dir = slash == std::string::npos ? "" : first.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? first : first.substr(slash + 1);
    const long number = name.size() > 4 ? std::strtol(name.c_str() + 4, nullptr, 10) : 0;
    char buf[32];
    if (index == 0) std::snprintf(buf, sizeof buf, "GOPR%04ld.MP4", number);
    else std::snprintf(buf, sizeof buf, "GP%02d%04ld.MP4", index, number);
    return dir + buf;
}

bool parse(int argc, char** argv, Options& o) {
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (i + 1 >= argc) return false;
        const char* v = argv[++i];
        if (a == "-o") o.out = v;
        else if (a == "--hours") o.seconds = std::atof(v) * 3600.0;
        else if (a == "--seconds") o.seconds = std::atof(v);
        else if (a == "--rate") o.rate = std::atof(v);
        else if (a == "--gps-rate") o.gps_rate = std::atof(v);
        else if (a == "--hw-revision") o.hw_revision = static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10));
        else if (a == "--expander") o.expander = std::strtol(v, nullptr, 10);
        else if (a == "--serial") o.serial = v;
        else if (a == "--rec-date") o.rec_date = static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10));
        else if (a == "--ground-offset") o.ground_offset = static_cast<std::int32_t>(std::strtol(v, nullptr, 10));
        else if (a == "--seed") o.seed = static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10));
        else if (a == "--wave-ft") g_wave_ft = std::atof(v);
        else if (a == "--wave-seconds") g_wave_s = std::atof(v);
        else if (a == "--video") o.video = v;
        else if (a == "--chapter-seconds") o.chapter_seconds = std::atof(v);
        else if (a == "--timescale") o.timescale = static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10));
        else if (a == "--mdat-bytes") o.mdat_bytes = static_cast<std::uint32_t>(std::strtoul(v, nullptr, 10));
        else if (a == "--gps") {
            const std::string k = v;
            if (k == "none") o.gps = GpsKind::None;
            else if (k == "fix") o.gps = GpsKind::Fix;
            else if (k == "navdata") o.gps = GpsKind::NavData;
            else return false;
        } else {
            return false;
        }
    }
    return !o.out.empty() && o.seconds > 0 && o.seconds < 4e6 && o.rate > 0 && o.gps_rate > 0 &&
           o.chapter_seconds > 0 && o.timescale > 0 && g_wave_s > 0;
}

}  // namespace

int main(int argc, char** argv) {
    Options o;
    if (!parse(argc, argv, o)) {
        usage(argv[0]);
        return 2;
    }
    std::FILE* f = std::fopen(o.out.c_str(), "wb");
    if (f == nullptr) {
        std::perror(o.out.c_str());
        return 1;
    }
    static char iobuf[1 << 16];
    std::setvbuf(f, iobuf, _IOFBF, sizeof iobuf);

    DatHeader h;
    h.rec_date = o.rec_date;
    h.ground_offset = o.ground_offset;
    h.expander_id = o.expander >= 0 ? static_cast<std::uint32_t>(o.expander)
                                    : (o.gps == GpsKind::NavData ? EXPANDER_GPS : EXPANDER_NONE);
    h.hw_revision = o.hw_revision;
    std::snprintf(h.serial.data(), h.serial.size(), "%s", o.serial.c_str());

    // Sample times: the nominal period with +-10 % jitter, as the recorder's
    // cycle of sensor work and a fixed pause gives. GPS entries come at their
    // own rate, interleaved in time order.
    Rng rng{o.seed == 0 ? 1u : o.seed};
    const auto end_ms = static_cast<std::uint32_t>(o.seconds * 1000.0);
    const double period = 1000.0 / o.rate, gps_period = 1000.0 / o.gps_rate;
    Writer w{f, test::DatLog(h)};
    double next_sample = 0.0, next_gps = gps_period;
    std::uint64_t samples = 0, fixes = 0;
    while (next_sample < end_ms) {
        if (o.gps != GpsKind::None && next_gps <= next_sample) {
            write_gps(w, o.gps, static_cast<std::uint32_t>(next_gps), o);
            ++fixes;
            next_gps += gps_period;
            continue;
        }
        write_sample(w, rng, static_cast<std::uint32_t>(next_sample), o.ground_offset);
        w.flush(1 << 16);
        ++samples;
        next_sample += period * (1.0 + 0.1 * rng.unit());
    }
    w.flush();
    if (std::fclose(f) != 0) {
        std::perror(o.out.c_str());
        return 1;
    }
    std::printf("%s: %llu samples, %llu GPS entries, %.0f s\n", o.out.c_str(), static_cast<unsigned long long>(samples),
                static_cast<unsigned long long>(fixes), o.seconds);

    if (!o.video.empty()) {
        const auto chapter_ms = static_cast<std::uint32_t>(o.chapter_seconds * 1000.0);
        std::uint32_t done = 0;
        for (int k = 0; done < end_ms || k == 0; ++k) {
            const std::uint32_t len = end_ms - done < chapter_ms ? end_ms - done : chapter_ms;
            const std::string path = chapter_mp4_name(o.video, k);
            if (write_mp4(path, len, o.timescale, o.mdat_bytes) != 0) {
                std::perror(path.c_str());
                return 1;
            }
            std::printf("%s: %u ms\n", path.c_str(), len);
            done += len;
        }
    }
    return 0;
}
