// The entry dump. Natural units are computed in floating point from the
// logged integers (feet, metres, degrees C, G, degrees, km/h, UTC), and
// every raw field is printed beside them, so a reader can check either.
// A damaged entry is shown where it occurs, with a "problem" text.
#include "entry_dump.h"

#include <cmath>
#include <string>

#include "byte_order.h"
#include "dat_format.h"
#include "json_line.h"
#include "log_health.h"
#include "log_walk.h"
#include "text_format.h"
#include "units.h"

namespace tarvex::datview {

namespace {

struct Context {
    const DatHeader& header;
    double per_g;
    bool have_sample = false;
    std::uint32_t last_sample_ms = 0;
};

std::string problem_of(const WalkedEntry& e, Context& c) {
    std::string p = problem_text(e.problem);
    if (e.problem == EntryProblem::Oversize) p = "size " + std::to_string(e.size) + " over 96 bytes: the rest skipped";
    if (e.problem == EntryProblem::Undersize)
        p = "payload " + std::to_string(e.size) + " bytes, its kind needs " + std::to_string(kind_min_size(e.type));
    if (e.problem == EntryProblem::CutOff) p += ": " + std::to_string(e.cut_bytes) + " bytes left";
    const bool sample = e.type == static_cast<std::uint16_t>(EntryKind::SensorSample) &&
                        (e.problem == EntryProblem::None || e.problem == EntryProblem::Oversize ||
                         e.problem == EntryProblem::Undersize);
    if (sample) {
        if (c.have_sample && e.vid_timestamp < c.last_sample_ms) {
            if (!p.empty()) p += "; ";
            p += "time goes back " + std::to_string(c.last_sample_ms - e.vid_timestamp) + " ms";
        }
        c.have_sample = true;
        c.last_sample_ms = e.vid_timestamp;
    }
    return p;
}

bool decodable(const WalkedEntry& e) {
    return e.problem == EntryProblem::None || e.problem == EntryProblem::Oversize ||
           e.problem == EntryProblem::Undersize;
}

double accel_mag(const SensorSample& s, double per_g) {
    const double x = s.accel_x / per_g, y = s.accel_y / per_g, z = s.accel_z / per_g;
    return std::sqrt(x * x + y * y + z * z);
}

// The recorder writes -1 on all three axes when it has no reading; a single
// axis at -1 count is a reading.
bool accel_real(const SensorSample& s) { return !(s.accel_x == -1 && s.accel_y == -1 && s.accel_z == -1); }

// Sign from the whole degrees, which alone carry it; the fraction is a magnitude.
double fix_degrees(std::int16_t deg, std::uint32_t frac) {
    const double v = std::abs(static_cast<double>(deg)) + frac / 1e6;
    return deg < 0 ? -v : v;
}

std::string hex(const WalkedEntry& e) {
    std::string s;
    const std::size_t n = e.size < MAX_PAYLOAD ? e.size : MAX_PAYLOAD;
    char b[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, "%02x", e.payload[i]);
        s += b;
    }
    return s;
}

// ---- JSON lines.

void json_sample(JsonLine& j, const WalkedEntry& e, const Context& c) {
    const SensorSample s = decode_sensor_sample(e.payload.data());
    if (s.altitude != NO_VALUE) j.num("altitude_ft", s.altitude).real("altitude_m", s.altitude * METRES_PER_FOOT, 2);
    else j.null("altitude_ft").null("altitude_m");
    if (s.abs_press != NO_VALUE) j.num("pressure_pa", s.abs_press);
    else j.null("pressure_pa");
    if (s.temp != NO_VALUE) j.real("temperature_c", s.temp / 10.0, 1);
    else j.null("temperature_c");
    if (accel_real(s)) {
        j.real("accel_x_g", s.accel_x / c.per_g, 3).real("accel_y_g", s.accel_y / c.per_g, 3);
        j.real("accel_z_g", s.accel_z / c.per_g, 3).real("accel_g", accel_mag(s, c.per_g), 3);
    } else {
        j.null("accel_x_g").null("accel_y_g").null("accel_z_g").null("accel_g");
    }
    j.open("raw").num("abs_press", s.abs_press).num("temp", s.temp).num("altitude", s.altitude);
    j.num("press_copy", s.press_copy).num("accel_x", s.accel_x).num("accel_y", s.accel_y);
    j.num("accel_z", s.accel_z).unum("flags", s.flags).close();
}

void json_fix(JsonLine& j, const WalkedEntry& e) {
    const GpsFix f = decode_gps_fix(e.payload.data());
    if (f.gps_timestamp <= INT64_MAX) j.str("gps_utc", utc_iso(static_cast<std::int64_t>(f.gps_timestamp)));
    else j.null("gps_utc");
    j.real("lat_deg", fix_degrees(f.lat_deg, f.lat_frac), 6).real("lon_deg", fix_degrees(f.lon_deg, f.lon_frac), 6);
    j.real("odometer_km", f.dist / 100.0, 2).real("gps_alt_m", f.gps_alt / 100.0, 2);
    j.num("speed_kmh", f.gps_speed).num("accuracy_m", f.accuracy).num("used_sat", f.used_sat);
    j.num("total_sat", f.total_sat).num("heading_deg", f.heading);
    j.open("raw").unum("gps_timestamp", f.gps_timestamp).num("lat_deg", f.lat_deg).unum("lat_frac", f.lat_frac);
    j.num("lon_deg", f.lon_deg).unum("lon_frac", f.lon_frac).num("dist", f.dist).num("gps_alt", f.gps_alt);
    j.num("gps_speed", f.gps_speed).num("accuracy", f.accuracy).num("used_sat", f.used_sat);
    j.num("total_sat", f.total_sat).num("heading", f.heading).close();
}

void json_fix2(JsonLine& j, const WalkedEntry& e) {
    const std::uint16_t speed = load_le16(e.payload.data() + fix2_off::speed);
    j.num("speed_kmh", static_cast<std::int16_t>(speed));
    j.open("raw").unum("speed", speed).str("payload", hex(e)).close();
}

void json_nav(JsonLine& j, const WalkedEntry& e) {
    const GpsNavData n = decode_gps_nav_data(e.payload.data());
    j.real("lat_deg", n.lat / 1e7, 7).real("lon_deg", n.lon / 1e7, 7);
    j.real("ecef_x_m", n.ecef_x / 100.0, 2).real("ecef_y_m", n.ecef_y / 100.0, 2).real("ecef_z_m", n.ecef_z / 100.0, 2);
    j.real("time_of_week_s", n.time_of_week / 100.0, 2).real("gps_alt_m", n.gps_alt / 100.0, 2).num("week", n.week);
    j.real("pdop", n.pdop / 100.0, 2).real("vdop", n.vdop / 100.0, 2).num("fix_mode", n.fix_mode);
    j.num("used_sat", n.used_sat).num("h_speed_kmh", n.h_speed).num("vspeed_kmh", n.vspeed);
    j.open("raw").num("lat", n.lat).num("lon", n.lon).num("ecef_x", n.ecef_x).num("ecef_y", n.ecef_y);
    j.num("ecef_z", n.ecef_z).unum("time_of_week", n.time_of_week).unum("gps_alt", n.gps_alt).num("week", n.week);
    j.num("pdop", n.pdop).num("vdop", n.vdop).num("fix_mode", n.fix_mode).num("used_sat", n.used_sat);
    j.num("h_speed", n.h_speed).num("vspeed", n.vspeed).close();
}

void json_entry(std::FILE* out, const WalkedEntry& e, const std::string& problem, const Context& c) {
    JsonLine j;
    j.unum("offset", e.offset);
    if (e.problem == EntryProblem::CutOff && e.cut_bytes < ENTRY_HEADER_SIZE) {
        j.str("kind", "cut_off").unum("bytes", e.cut_bytes).str("problem", problem);
        std::fputs(j.line().c_str(), out);
        return;
    }
    j.str("kind", kind_name(e.type)).num("type", e.type).num("size", e.size).unum("t_ms", e.vid_timestamp);
    j.str("utc", utc_iso(static_cast<std::int64_t>(c.header.rec_date) * 1000 + e.vid_timestamp));
    if (!problem.empty()) j.str("problem", problem);
    if (decodable(e)) {
        switch (static_cast<EntryKind>(e.type)) {
            case EntryKind::SensorSample: json_sample(j, e, c); break;
            case EntryKind::GpsFix: json_fix(j, e); break;
            case EntryKind::GpsFix2: json_fix2(j, e); break;
            case EntryKind::GpsNavData: json_nav(j, e); break;
        }
    } else if (e.problem == EntryProblem::UnknownKind) {
        j.open("raw").str("payload", hex(e)).close();
    }
    std::fputs(j.line().c_str(), out);
}

void json_header(std::FILE* out, const DatHeader& h) {
    JsonLine j;
    j.unum("offset", 0).str("kind", "header").unum("version", h.version).unum("hw_revision", h.hw_revision);
    j.str("rec_utc", utc_iso(static_cast<std::int64_t>(h.rec_date) * 1000));
    j.unum("rec_date", h.rec_date).num("ground_offset_ft", h.ground_offset);
    j.real("ground_offset_m", h.ground_offset * METRES_PER_FOOT, 2).unum("expander_id", h.expander_id);
    j.str("serial", serial_bytes(h.serial.data()));  // exact bytes, escaped
    std::fputs(j.line().c_str(), out);
}

// ---- Table lines.

std::string table_readings(const WalkedEntry& e, const Context& c) {
    char b[256];
    switch (static_cast<EntryKind>(e.type)) {
        case EntryKind::SensorSample: {
            const SensorSample s = decode_sensor_sample(e.payload.data());
            std::string t;
            if (s.altitude != NO_VALUE)
                std::snprintf(b, sizeof b, "alt %d ft = %.1f m", s.altitude, s.altitude * METRES_PER_FOOT);
            else std::snprintf(b, sizeof b, "alt ---");
            t += b;
            if (s.temp != NO_VALUE) std::snprintf(b, sizeof b, "  temp %.1f C", s.temp / 10.0);
            else std::snprintf(b, sizeof b, "  temp ---");
            t += b;
            if (s.abs_press != NO_VALUE) std::snprintf(b, sizeof b, "  press %d Pa", s.abs_press);
            else std::snprintf(b, sizeof b, "  press ---");
            t += b;
            if (accel_real(s))
                std::snprintf(b, sizeof b, "  accel %.2f %.2f %.2f G (%.2f G)", s.accel_x / c.per_g,
                              s.accel_y / c.per_g, s.accel_z / c.per_g, accel_mag(s, c.per_g));
            else std::snprintf(b, sizeof b, "  accel ---");
            t += b;
            std::snprintf(b, sizeof b, "  flags 0x%08x", s.flags);
            return t + b;
        }
        case EntryKind::GpsFix: {
            const GpsFix f = decode_gps_fix(e.payload.data());
            std::snprintf(b, sizeof b,
                          "%.6f %.6f  alt %.2f m  %d km/h  heading %d  odometer %.2f km  sats %u/%u  acc %d m",
                          fix_degrees(f.lat_deg, f.lat_frac), fix_degrees(f.lon_deg, f.lon_frac), f.gps_alt / 100.0,
                          f.gps_speed, f.heading, f.dist / 100.0, f.used_sat, f.total_sat, f.accuracy);
            return b;
        }
        case EntryKind::GpsFix2:
            std::snprintf(b, sizeof b, "%d km/h",
                          static_cast<std::int16_t>(load_le16(e.payload.data() + fix2_off::speed)));
            return b;
        case EntryKind::GpsNavData: {
            const GpsNavData n = decode_gps_nav_data(e.payload.data());
            std::snprintf(b, sizeof b,
                          "%.7f %.7f  alt %.2f m  %d km/h  vert %d km/h  week %u tow %.2f s  sats %u  fix %u",
                          n.lat / 1e7, n.lon / 1e7, n.gps_alt / 100.0, n.h_speed, n.vspeed, n.week,
                          n.time_of_week / 100.0, n.used_sat, n.fix_mode);
            return b;
        }
    }
    return "payload " + hex(e);
}

void table_entry(std::FILE* out, const WalkedEntry& e, const std::string& problem, const Context& c) {
    if (e.problem == EntryProblem::CutOff && e.cut_bytes < ENTRY_HEADER_SIZE) {
        std::fprintf(out, "%10llu  %-14s %-9s !! %s\n", static_cast<unsigned long long>(e.offset), "", "cut_off",
                     problem.c_str());
        return;
    }
    std::string text = decodable(e) || e.problem == EntryProblem::UnknownKind ? table_readings(e, c) : "";
    if (e.problem == EntryProblem::UnknownKind) text = "type " + std::to_string(e.type) + "  " + text;
    if (!problem.empty()) text += (text.empty() ? "!! " : "  !! ") + problem;
    std::fprintf(out, "%10llu  %-14s %-9s %s\n", static_cast<unsigned long long>(e.offset),
                 elapsed_text(e.vid_timestamp).c_str(), kind_name(e.type), text.c_str());
}

void table_header(std::FILE* out, const DatHeader& h) {
    const std::string date = utc_date_time(h.rec_date);
    std::fprintf(out, "# recorded %s, hardware revision %u, ground offset %d ft, expander %u, serial \"%s\"\n",
                 date.c_str(), h.hw_revision, h.ground_offset, h.expander_id,
                 json_escape(serial_text(h.serial.data())).c_str());
    std::fprintf(out, "#   offset  time           kind      readings\n");
}

}  // namespace

int dump_log(std::FILE* out, const char* path, const DumpOptions& options) {
    LogWalk walk(path);
    if (walk.status() != HeaderStatus::Ok) {
        std::fprintf(stderr, "datview: %s: %s\n", path, header_status_text(walk.status()));
        return EXIT_UNUSABLE;
    }
    Context c{walk.header(), counts_per_g(options.high_g)};
    const bool json = options.format == DumpFormat::Json;
    if (json) json_header(out, walk.header());
    else table_header(out, walk.header());
    bool damaged = false;
    WalkedEntry e;
    while (walk.next(e)) {
        const std::string problem = problem_of(e, c);
        damaged = damaged || !problem.empty();
        if (json) json_entry(out, e, problem, c);
        else table_entry(out, e, problem, c);
    }
    return damaged ? EXIT_PROBLEMS : EXIT_OK;
}

}  // namespace tarvex::datview
