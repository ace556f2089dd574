// The ride report as text and as JSON. Numbers are printed with printf and a
// fixed number of decimals per unit; a value that rounds to zero never shows
// as "-0".
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <string>

#include "ride_stats.h"

namespace tarvex {

namespace {

// Decimals worth showing for a unit in JSON (the text form shows fewer).
int json_places(const char* unit) {
    const std::string u = unit;
    if (u == "G" || u == "m/s") return 2;
    return 1;  // m, km/h, C
}

std::string fixed(double v, int places) {
    if (!std::isfinite(v)) return "null";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*f", places, v);
    std::string s = buf;
    if (s[0] == '-' && s.find_first_not_of("0.", 1) == std::string::npos) s.erase(0, 1);
    return s;
}

std::string json_value(const std::optional<double>& v, int places) { return v ? fixed(*v, places) : "null"; }

// Names come from the user's paths: any byte gives valid JSON (bytes outside
// printable ASCII as \u00XX, read as Latin-1).
std::string json_string(const std::string& s) {
    std::string out = "\"";
    for (const char ch : s) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c >= 0x7F) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string seconds(std::int64_t ms) { return fixed(static_cast<double>(ms) / 1000.0, 3); }

std::string text_value(const std::optional<double>& v, int places, const char* unit) {
    return v ? fixed(*v, places) + " " + unit : "none";
}

int text_places(const Highlight& h) {
    switch (h.kind) {
        case HighlightKind::G:
        case HighlightKind::Climb:
        case HighlightKind::Sink: return 1;
        case HighlightKind::Height:
        case HighlightKind::Speed: return 0;
    }
    return 1;
}

}  // namespace

std::string ride_stats_json(const RideStats& s) {
    std::string j = "{";
    const auto field = [&j](const char* key, const std::optional<double>& v, int places) {
        if (j.size() > 1) j += ',';
        j += '"';
        j += key;
        j += "\":";
        j += json_value(v, places);
    };
    field("duration_s", s.duration_s, 3);
    field("height_max_m", s.height_max_m, 1);
    field("height_min_m", s.height_min_m, 1);
    field("climb_m", s.climb_m, 1);
    field("descent_m", s.descent_m, 1);
    field("climb_rate_max_m_s", s.climb_rate_max_m_s, 2);
    field("sink_rate_max_m_s", s.sink_rate_max_m_s, 2);
    field("g_max", s.g_max, 2);
    field("temperature_min_c", s.temperature_min_c, 1);
    field("temperature_max_c", s.temperature_max_c, 1);
    field("speed_max_kmh", s.speed_max_kmh, 1);
    field("speed_avg_kmh", s.speed_avg_kmh, 1);
    field("distance_m", s.distance_m, 1);
    return j + "}";
}

std::string highlights_json(const std::vector<Highlight>& highlights) {
    std::string j = "[";
    for (const Highlight& h : highlights) {
        if (j.size() > 1) j += ',';
        j += "{\"kind\":\"";
        j += highlight_kind_name(h.kind);
        j += "\",\"value\":" + fixed(h.value, json_places(h.unit));
        j += ",\"unit\":" + json_string(h.unit);
        j += ",\"log_time_s\":" + seconds(h.log_time_ms);
        j += ",\"chapter\":" + (h.chapter.empty() ? std::string("null") : json_string(h.chapter));
        j += ",\"chapter_time_s\":" + (h.chapter_time_ms ? seconds(*h.chapter_time_ms) : std::string("null"));
        if (h.fix) {
            j += ",\"lat_deg\":" + fixed(h.fix->lat_deg, 6) + ",\"lon_deg\":" + fixed(h.fix->lon_deg, 6);
        } else {
            j += ",\"lat_deg\":null,\"lon_deg\":null";
        }
        j += '}';
    }
    return j + "]";
}

std::string ride_json(const RideReport& report) {
    return "{\"ride\":" + ride_stats_json(report.stats) + ",\"highlights\":" + highlights_json(report.highlights) + "}";
}

std::string clock_text(std::int64_t ms) {
    const char* sign = ms < 0 ? "-" : "";
    const std::int64_t m = ms < 0 ? -ms : ms;
    const std::int64_t s = m / 1000;
    char buf[48];
    if (s < 3600) std::snprintf(buf, sizeof buf, "%s%" PRId64 ":%02" PRId64, sign, s / 60, s % 60);
    else std::snprintf(buf, sizeof buf, "%s%" PRId64 ":%02" PRId64 ":%02" PRId64, sign, s / 3600, s / 60 % 60, s % 60);
    return buf;
}

std::string highlight_label(const Highlight& h, bool first_hit) {
    switch (h.kind) {
        case HighlightKind::G: return first_hit ? "hardest hit" : "hit";
        case HighlightKind::Height: return "highest point";
        case HighlightKind::Speed: return "top speed";
        case HighlightKind::Climb: return "steepest climb";
        case HighlightKind::Sink: return "steepest sink";
    }
    return "";
}

std::string highlight_name(const Highlight& h) {
    const std::string v = fixed(h.value, text_places(h)) + " " + h.unit;
    switch (h.kind) {
        case HighlightKind::G: return v;
        case HighlightKind::Height: return "highest " + v;
        case HighlightKind::Speed: return "top speed " + v;
        case HighlightKind::Climb: return "climb " + v;
        case HighlightKind::Sink: return "sink " + v;
    }
    return v;
}

void print_ride_text(std::FILE* out, const RideReport& report) {
    const RideStats& s = report.stats;
    std::fprintf(out, "ride:              SI units; smoothed as the subtitles\n");
    std::fprintf(out, "%-18s %s\n", "duration:", text_value(s.duration_s, 1, "s").c_str());
    if (s.height_max_m)
        std::fprintf(out, "%-18s %s to %s m above the ground calibration\n",
                     "height:", fixed(*s.height_min_m, 1).c_str(), fixed(*s.height_max_m, 1).c_str());
    else std::fprintf(out, "%-18s none\n", "height:");
    if (s.climb_m)
        std::fprintf(out, "%-18s %s m up, %s m down (dead band %s m)\n", "climb:", fixed(*s.climb_m, 1).c_str(),
                     fixed(*s.descent_m, 1).c_str(), fixed(CLIMB_DEAD_BAND_M, 0).c_str());
    else std::fprintf(out, "%-18s none\n", "climb:");
    if (s.climb_rate_max_m_s)
        std::fprintf(out, "%-18s up to %s m/s up, %s m/s down (over %d samples)\n",
                     "climb rate:", fixed(*s.climb_rate_max_m_s, 2).c_str(), fixed(*s.sink_rate_max_m_s, 2).c_str(),
                     report.rate_window);
    else std::fprintf(out, "%-18s none\n", "climb rate:");
    std::fprintf(out, "%-18s %s\n", "G max:", text_value(s.g_max, 2, "G").c_str());
    if (s.temperature_max_c)
        std::fprintf(out, "%-18s %s to %s C\n", "temperature:", fixed(*s.temperature_min_c, 1).c_str(),
                     fixed(*s.temperature_max_c, 1).c_str());
    else std::fprintf(out, "%-18s none\n", "temperature:");
    if (s.speed_max_kmh)
        std::fprintf(out, "%-18s top %s km/h, moving average %s km/h\n",
                     "GPS speed:", fixed(*s.speed_max_kmh, 1).c_str(), fixed(*s.speed_avg_kmh, 1).c_str());
    else std::fprintf(out, "%-18s none\n", "GPS speed:");
    std::fprintf(out, "%-18s %s\n", "distance:", text_value(s.distance_m, 1, "m").c_str());
    std::fprintf(out, "%-18s %zu\n", "highlights:", report.highlights.size());
    bool first_hit = true;
    for (const Highlight& h : report.highlights) {
        const std::string label = highlight_label(h, first_hit && h.kind == HighlightKind::G);
        if (h.kind == HighlightKind::G) first_hit = false;
        const std::string value = fixed(h.value, text_places(h)) + " " + h.unit;
        std::string line = "  " + label + std::string(label.size() < 15 ? 15 - label.size() : 1, ' ') + value;
        line += std::string(value.size() < 10 ? 10 - value.size() : 1, ' ');
        line += " at " + clock_text(h.log_time_ms);
        if (!h.chapter.empty()) line += "  = " + h.chapter + " " + clock_text(*h.chapter_time_ms);
        else if (!report.chapters.empty()) line += "  = no video (after the last chapter)";
        else if (report.placed) line += "  = no video (no chapter found)";
        std::fprintf(out, "%s\n", line.c_str());
    }
}

}  // namespace tarvex
