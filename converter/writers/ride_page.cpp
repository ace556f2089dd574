// Gathering and packing the ride page's data. One pass of the event pipeline
// feeds the ride statistics and keeps, per sample, the values the page shows
// live (raw height, temperature and G as the log holds them, the smoothed
// climb rate, the speed of the GPS record in effect); the smoothed series
// the plot draws are reduced to pixel columns and the track to what a map's
// pixel can show. Series travel as base64 of zigzag varint deltas: about one
// or two bytes per value, so a 10-hour log stays within a few megabytes.
// Logs over 2 GiB, and the output guard's inode numbers, on the 32-bit camera.
#define _FILE_OFFSET_BITS 64

#include "ride_page.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "byte_order.h"
#include "input_file.h"
#include "log_settings.h"
#include "output_file.h"
#include "pipeline.h"
#include "ride_page_html.h"
#include "ride_stats.h"
#include "stdio_file.h"
#include "units.h"

namespace tarvex {

namespace {

constexpr std::int64_t NONE = INT64_MIN;    // no value at this place of a series
constexpr std::int32_t NONE32 = INT32_MIN;  // the same in a series of readings
constexpr std::size_t PLOT_COLUMNS = 1600;  // wider than the page's plot on any laptop screen
constexpr double TRACK_CELLS = 1000.0;      // the track keeps a point per 1/1000 of its extent
constexpr double EARTH_RADIUS_M = 6371000.0;
constexpr double PI = 3.14159265358979323846;
constexpr char DATA_MARK[] = "/*RIDE_DATA*/";

using Series = std::vector<std::int64_t>;  // times, track
using Values = std::vector<std::int32_t>;  // readings: half the memory of a 10-hour log's series

// A reading as a series holds it; out-of-range values (a damaged record) are clamped.
std::int32_t value_of(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN + 1, INT32_MAX));
}

// ---- packing ----

void put_varint(std::string& out, std::uint64_t u) {
    while (u >= 0x80) {
        out += static_cast<char>((u & 0x7F) | 0x80);
        u >>= 7;
    }
    out += static_cast<char>(u);
}

std::string base64(const std::string& bytes) {
    static constexpr char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 3; ++k) v = v << 8 | (k < n ? static_cast<std::uint8_t>(bytes[i + k]) : 0u);
        for (std::size_t k = 0; k < 4; ++k) out += k <= n ? digits[(v >> (18 - 6 * k)) & 0x3F] : '=';
    }
    return out;
}

// Code 0 is "no value"; otherwise the zigzag of the change since the last
// value, plus one. The page's decoder is the mirror of this.
template <typename T>
std::string pack(const std::vector<T>& values) {
    std::string bytes;
    std::int64_t prev = 0;
    for (const std::int64_t v : values) {
        if (v == std::numeric_limits<T>::min()) {
            put_varint(bytes, 0);
            continue;
        }
        const std::int64_t d = v - prev;
        prev = v;
        const std::uint64_t zigzag = (static_cast<std::uint64_t>(d) << 1) ^ static_cast<std::uint64_t>(d >> 63);
        put_varint(bytes, zigzag + 1);
    }
    std::string quoted = "\"";
    quoted += base64(bytes);
    quoted += '"';
    return quoted;
}

// Sample times come at a nearly steady period: their steps change little.
std::string pack_steps(const Series& times) {
    Series steps(times.size());
    std::int64_t prev = 0;
    for (std::size_t i = 0; i < times.size(); ++i) {
        steps[i] = times[i] - prev;
        prev = times[i];
    }
    return pack(steps);
}

std::string number(double v, int places) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", places, std::isfinite(v) ? v : 0.0);
    return buf;
}

std::string json_text(const std::string& s) {
    std::string out = "\"";
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7F || c == '<' || c == '>' || c == '&') {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// The data sits inside a <script> element: "</" must not appear in it.
std::string guard_script_text(const std::string& json) {
    std::string out;
    out.reserve(json.size());
    for (std::size_t i = 0; i < json.size(); ++i) {
        out.push_back(json[i]);
        if (json[i] == '<' && i + 1 < json.size() && json[i + 1] == '/') out.push_back('\\');
    }
    return out;
}

// ---- gathering ----

std::int64_t speed_decikmh(const LogEvent& rec) {
    if (rec.type == static_cast<std::uint16_t>(EntryKind::GpsFix) ||
        rec.type == static_cast<std::uint16_t>(EntryKind::GpsFix2))  // its speed was moved to the GpsFix place
        return 10 * static_cast<std::int64_t>(load_le_i16(rec.payload.data() + fix_off::gps_speed));
    if (rec.type == static_cast<std::uint16_t>(EntryKind::GpsNavData))
        return 10 * static_cast<std::int64_t>(load_le_i32(rec.payload.data() + nav_off::h_speed));
    return NONE;
}

struct Samples {
    Series t_ms;
    Values alt_ft, temp_dc, g_milli, speed_dkmh;  // live values, per sample
    Values alt_smooth_ft, g_smooth_milli;         // plotted only: reduced later
};

void add_sample(Samples& s, const LogEvent& ev, double per_g) {
    const SensorSample raw = decode_sensor_sample(ev.payload.data());
    s.t_ms.push_back(ev.vid_timestamp);
    s.alt_ft.push_back(raw.altitude != NO_VALUE ? value_of(raw.altitude) : NONE32);
    s.temp_dc.push_back(raw.temp != NO_VALUE ? value_of(raw.temp) : NONE32);
    const auto milli_g = [per_g](double x, double y, double z) {
        return value_of(std::lround(std::sqrt(x * x + y * y + z * z) / per_g * 1000.0));
    };
    const bool accel = !(raw.accel_x == -1 && raw.accel_y == -1 && raw.accel_z == -1);  // all -1: no reading
    s.g_milli.push_back(accel ? milli_g(raw.accel_x, raw.accel_y, raw.accel_z) : NONE32);
    const bool smooth = ev.filt_accel_x != NO_ACCEL && ev.filt_accel_y != NO_ACCEL && ev.filt_accel_z != NO_ACCEL;
    s.g_smooth_milli.push_back(smooth ? milli_g(ev.filt_accel_x, ev.filt_accel_y, ev.filt_accel_z) : NONE32);
    s.alt_smooth_ft.push_back(ev.filt_altitude != NO_VALUE ? value_of(ev.filt_altitude) : NONE32);
    const std::int64_t speed = ev.gps != nullptr ? speed_decikmh(*ev.gps) : NONE;
    s.speed_dkmh.push_back(speed != NONE ? value_of(speed) : NONE32);
}

// The smoothed height's change over `window` samples in cm/s, placed at the
// window's middle sample (where the statistics place the steepest climb).
Values climb_rates(const Samples& s, std::int32_t window) {
    Values rate(s.t_ms.size(), NONE32);
    const std::size_t w = static_cast<std::size_t>(window);
    for (std::size_t i = w; i < s.t_ms.size(); ++i) {
        const std::int32_t a = s.alt_smooth_ft[i - w], b = s.alt_smooth_ft[i];
        const std::int64_t dt = s.t_ms[i] - s.t_ms[i - w];
        if (a == NONE32 || b == NONE32 || dt <= 0) continue;
        const double cm_s = (static_cast<double>(b) - a) * METRES_PER_FOOT * 100.0 * 1000.0 / static_cast<double>(dt);
        rate[i - w / 2] = value_of(std::lround(cm_s));
    }
    return rate;
}

// Per pixel column the smallest and largest value, interleaved.
Values column_min_max(const Series& t_ms, const Values& values, std::int64_t t0, std::int64_t t1) {
    Values out(2 * PLOT_COLUMNS, NONE32);
    const std::int64_t span = t1 - t0 + 1;
    for (std::size_t i = 0; i < values.size(); ++i) {
        if (values[i] == NONE32) continue;
        const std::int64_t c = (t_ms[i] - t0) * static_cast<std::int64_t>(PLOT_COLUMNS) / span;
        if (c < 0 || c >= static_cast<std::int64_t>(PLOT_COLUMNS)) continue;
        std::int32_t& lo = out[2 * static_cast<std::size_t>(c)];
        std::int32_t& hi = out[2 * static_cast<std::size_t>(c) + 1];
        if (lo == NONE32 || values[i] < lo) lo = values[i];
        if (hi == NONE32 || values[i] > hi) hi = values[i];
    }
    return out;
}

// The track in metres east and north of its first point (equal-distance
// projection, fine for a ride's extent), in decimetres, keeping a point only
// where it moved by a pixel of a large map; a run of fixes ends where the
// GPS paused for longer than a fix stays attached (a null point marks it).
std::string track_json(const std::vector<TrackPoint>& track) {
    if (track.empty()) return "null";
    const double lat0 = track.front().lat_deg, lon0 = track.front().lon_deg;
    const double k_lat = EARTH_RADIUS_M * PI / 180.0, k_lon = k_lat * std::cos(lat0 * PI / 180.0);
    double min_x = 0, max_x = 0, min_y = 0, max_y = 0;
    for (const TrackPoint& p : track) {
        const double x = (p.lon_deg - lon0) * k_lon, y = (p.lat_deg - lat0) * k_lat;
        min_x = std::min(min_x, x), max_x = std::max(max_x, x), min_y = std::min(min_y, y), max_y = std::max(max_y, y);
    }
    const double cell = std::max(0.1, std::max(max_x - min_x, max_y - min_y) / TRACK_CELLS);
    Series t, x, y;
    double last_x = 0, last_y = 0;
    std::int64_t prev_t = 0;
    bool pending = false;  // the last fix was skipped
    const auto keep = [&](const TrackPoint& p, double px, double py) {
        t.push_back(p.log_time_ms);
        x.push_back(std::lround(px * 10.0));
        y.push_back(std::lround(py * 10.0));
        last_x = px, last_y = py;
    };
    for (std::size_t i = 0; i < track.size(); ++i) {
        const TrackPoint& p = track[i];
        const double px = (p.lon_deg - lon0) * k_lon, py = (p.lat_deg - lat0) * k_lat;
        if (i > 0 && p.log_time_ms - prev_t > FIX_GAP_MS) {
            if (pending)
                keep(track[i - 1], (track[i - 1].lon_deg - lon0) * k_lon, (track[i - 1].lat_deg - lat0) * k_lat);
            t.push_back(NONE), x.push_back(NONE), y.push_back(NONE);
            keep(p, px, py);
            pending = false;
        } else if (i == 0 || std::hypot(px - last_x, py - last_y) >= cell || i + 1 == track.size()) {
            keep(p, px, py);
            pending = false;
        } else {
            pending = true;
        }
        prev_t = p.log_time_ms;
    }
    return "{\"lat0\":" + number(lat0, 7) + ",\"lon0\":" + number(lon0, 7) + ",\"t\":" + pack(t) + ",\"x\":" + pack(x) +
           ",\"y\":" + pack(y) + "}";
}

// Times of the statistics that belong to a moment, ms.
std::string stat_times_json(const RideReport& r, const Samples& s) {
    std::string j = "{";
    const auto add = [&j](const char* key, std::int64_t t) {
        if (j.size() > 1) j += ',';
        j += '"';
        j += key;
        j += "\":";
        j += std::to_string(t);
    };
    if (r.samples > 0) add("duration_s", r.first_ms);
    const auto first_of = [&r](HighlightKind k) -> const Highlight* {
        for (const Highlight& h : r.highlights)
            if (h.kind == k) return &h;
        return nullptr;
    };
    if (const Highlight* h = first_of(HighlightKind::Height)) add("height_max_m", h->log_time_ms);
    if (const Highlight* h = first_of(HighlightKind::G)) add("g_max", h->log_time_ms);
    if (const Highlight* h = first_of(HighlightKind::Speed)) add("speed_max_kmh", h->log_time_ms);
    if (const Highlight* h = first_of(HighlightKind::Climb)) add("climb_rate_max_m_s", h->log_time_ms);
    if (const Highlight* h = first_of(HighlightKind::Sink)) add("sink_rate_max_m_s", h->log_time_ms);
    const auto extreme_at = [&s](const Values& v, bool lowest) -> std::int64_t {
        std::size_t best = v.size();
        for (std::size_t i = 0; i < v.size(); ++i) {
            if (v[i] == NONE32) continue;
            if (best == v.size() || (lowest ? v[i] < v[best] : v[i] > v[best])) best = i;
        }
        return best == v.size() ? NONE : s.t_ms[best];
    };
    if (const std::int64_t t = extreme_at(s.alt_smooth_ft, true); t != NONE) add("height_min_m", t);
    if (const std::int64_t t = extreme_at(s.temp_dc, true); t != NONE) add("temperature_min_c", t);
    if (const std::int64_t t = extreme_at(s.temp_dc, false); t != NONE) add("temperature_max_c", t);
    return j + "}";
}

std::string filter_text(std::int32_t n) {
    if (n <= 0) return "no smoothing";
    return "smoothed over " + std::to_string(2 * n + 1) + " samples";
}

std::string folder_of(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash == nullptr ? std::string("./") : std::string(path, static_cast<std::size_t>(slash - path + 1));
}

// The chapter as the page finds it: relative to the page's folder, so the
// page and its chapters can move together.
std::string relative_source(const char* page_path, const char* first_chapter, const std::string& name) {
    std::array<char, PATH_MAX> page_dir{}, video_dir{};
    if (realpath(folder_of(page_path).c_str(), page_dir.data()) == nullptr ||
        realpath(folder_of(first_chapter).c_str(), video_dir.data()) == nullptr)
        return name;
    std::string from = page_dir.data(), to = video_dir.data();
    if (from == to) return name;
    if (from.back() != '/') from += '/';
    if (to.back() != '/') to += '/';
    std::size_t common = 0;  // length of the shared folders, up to and with a slash
    for (std::size_t i = 0; i < from.size() && i < to.size() && from[i] == to[i]; ++i)
        if (from[i] == '/') common = i + 1;
    std::string up;
    for (std::size_t i = common; i < from.size(); ++i)
        if (from[i] == '/') up += "../";
    return up + to.substr(common) + name;
}

// The guard of the converter's outputs: by name, or by the file itself.
bool is_input(const char* out_path, const char* input) {
    if (input == nullptr) return false;
    InputFile in;
    in.set(input);
    return in.is(out_path);
}

std::string serial_of(const DatHeader& h) {
    std::string s;
    for (const char c : h.serial) {
        if (c == '\0') break;
        s += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    return s;
}

std::string base_name(const char* path) {
    const char* slash = std::strrchr(path, '/');
    return slash != nullptr ? slash + 1 : path;
}

}  // namespace

RidePageResult write_ride_page(const RidePageRequest& q, const Settings& loaded, std::string& message) {
    File f(std::fopen(q.log_path, "rb"));
    if (!f) {
        message = std::string(q.log_path) + ": cannot be opened";
        return RidePageResult::Unreadable;
    }
    std::setvbuf(f.get(), nullptr, _IONBF, 0);  // the pipeline reads in blocks of its own
    DatHeader header;
    std::array<std::uint8_t, DAT_HEADER_SIZE> head{};
    const std::size_t got = std::fread(head.data(), 1, head.size(), f.get());
    if (const HeaderCheck check = check_dat_header(std::span(head.data(), got), header); check != HeaderCheck::Ok) {
        message = std::string(q.log_path) + ": " + dat_header_problem(check, header);
        return RidePageResult::Unreadable;
    }
    Settings settings = loaded;
    settings_for_log(settings, header, nullptr);
    if (is_input(q.out_path, q.log_path) || is_input(q.out_path, q.settings_path) ||
        is_input(q.out_path, q.first_chapter)) {
        message = std::string("refusing to write the page over its input ") + q.out_path;
        return RidePageResult::OverInput;
    }

    RideOptions options;
    options.high_g = q.high_g;
    options.alt_adjust = q.alt_adjust;
    options.keep_track = true;
    RideStatsBuilder stats(settings, options);
    Samples s;
    const double per_g = counts_per_g(q.high_g);
    {
        auto pipeline = std::make_unique<Pipeline>();  // three rings of 256 records
        pipeline->quiet = true;
        RunOptions run;
        run.high_g = q.high_g ? 1 : 0;
        run.alt_adjust = q.alt_adjust;
        while (const LogEvent* ev = next_event(*pipeline, f.get(), settings, run)) {
            stats.add(*ev);
            add_sample(s, *ev, per_g);
        }
    }
    RideReport report = stats.finish();
    if (report.samples == 0) {
        message = std::string(q.log_path) + " holds no sensor samples: no page written";
        return RidePageResult::NoSamples;
    }
    std::vector<RideChapter> chapters;
    if (q.first_chapter != nullptr) chapters = find_ride_chapters(q.first_chapter, q.naming, report.last_ms);
    for (const RideChapter& c : chapters) {
        const std::string path = folder_of(q.first_chapter) + c.name;
        if (is_input(q.out_path, path.c_str())) {
            message = std::string("refusing to write the page over its input ") + q.out_path;
            return RidePageResult::OverInput;
        }
    }
    place_in_chapters(report, chapters);

    const bool metres = settings.altitude == altitude_unit::METRES;
    const bool kmh = settings.gps_speed == speed_unit::KMH;
    const bool miles = settings.gps_dist != distance_unit::KM;
    const bool fahrenheit = settings.temperature == temperature_unit::FAHRENHEIT;
    std::string j = "{\"log\":" + json_text(base_name(q.log_path));
    j += ",\"serial\":" + json_text(serial_of(header));
    j += ",\"rec_date\":" + std::to_string(header.rec_date);
    j += ",\"hw\":" + std::to_string(header.hw_revision);
    j += ",\"t0\":" + std::to_string(report.first_ms) + ",\"t1\":" + std::to_string(report.last_ms);
    j += ",\"units\":{\"alt\":" + json_text(metres ? "m" : "ft") + ",\"speed\":" + json_text(kmh ? "km/h" : "mph") +
         ",\"dist\":" + json_text(miles ? "mi" : "km") + ",\"temp\":" + json_text(fahrenheit ? "F" : "C") + "}";
    j += ",\"filters\":{\"alt\":" + json_text(filter_text(settings.alt_filter)) +
         ",\"accel\":" + json_text(filter_text(settings.accel_filter)) +
         ",\"climb_window\":" + std::to_string(report.rate_window) + "}";
    j += ",\"chapters\":[";
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        const RideChapter& c = chapters[i];
        if (i > 0) j += ',';
        j += "{\"name\":" + json_text(c.name) +
             ",\"src\":" + json_text(relative_source(q.out_path, q.first_chapter, c.name)) +
             ",\"start\":" + std::to_string(c.start_ms) + ",\"len\":" + std::to_string(c.len_ms) + "}";
    }
    j += "]";
    j += ",\"samples\":{\"n\":" + std::to_string(s.t_ms.size()) + ",\"t\":" + pack_steps(s.t_ms) +
         ",\"alt\":" + pack(s.alt_ft) + ",\"temp\":" + pack(s.temp_dc) + ",\"g\":" + pack(s.g_milli) +
         ",\"climb\":" + pack(climb_rates(s, report.rate_window)) + ",\"speed\":" + pack(s.speed_dkmh) + "}";
    j += ",\"columns\":{\"n\":" + std::to_string(PLOT_COLUMNS) +
         ",\"alt\":" + pack(column_min_max(s.t_ms, s.alt_smooth_ft, report.first_ms, report.last_ms)) +
         ",\"g\":" + pack(column_min_max(s.t_ms, s.g_smooth_milli, report.first_ms, report.last_ms)) + "}";
    j += ",\"track\":" + track_json(report.track);
    j += ",\"report\":" + ride_json(report);
    j += ",\"stat_times\":" + stat_times_json(report, s);
    j += "}";
    j = guard_script_text(j);

    const std::string page = RIDE_PAGE_HTML;
    const std::size_t mark = page.find(DATA_MARK);
    OutputFile out;
    if (!out.open(q.out_path)) {
        message = std::string("Could not write ") + q.out_path + ": " + std::strerror(errno);
        return RidePageResult::WriteFailed;
    }
    TextOut& text = out.text();
    text.put(page.data(), mark);
    text.put(j.data(), j.size());
    text.put(page.data() + mark + sizeof DATA_MARK - 1, page.size() - mark - (sizeof DATA_MARK - 1));
    const std::size_t size = page.size() - (sizeof DATA_MARK - 1) + j.size();
    if (!out.close() || !out.publish()) {
        message = out.failure_message();
        return RidePageResult::WriteFailed;
    }
    message = std::string("Wrote ") + q.out_path + ": " + std::to_string(size) + " bytes";
    return RidePageResult::Written;
}

}  // namespace tarvex
