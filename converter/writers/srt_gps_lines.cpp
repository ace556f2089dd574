// GPS lines of an SRT entry: GpsFix and GpsNavData layouts, with dash forms
// when the record in effect has gone stale.
#include "srt_gps_lines.h"

#include <climits>

namespace tarvex {

namespace {

constexpr char SEPARATOR[] = "   ";

// A mile is taken as 1.61 km in the integer conversions. Fewer miles than
// km: the result keeps 32 bits, whose text takes fewer instructions.
std::int32_t km_to_miles(std::int32_t v) { return static_cast<std::int32_t>(mul_div<100, 161>(v)); }

void put_speed_unit(Row& t, bool mph) {
    if (mph) t.lit(" mph");
    else t.lit(" km/h");
}

// GpsFix layout: speed, distance, heading on one line. `rec` is none when the
// kind came from an earlier record. Each layout is a function of its own with
// its own row: compiled together, each paid for the other's registers.
[[gnu::noinline]] void put_fix_line(TextOut& out, const LogEvent* rec, const Settings& settings) {
    // Read once: for the compiler, any byte the row stores could change them.
    const auto speed = settings.gps_speed;
    const auto dist_unit = settings.gps_dist;
    const auto heading = settings.heading;
    const auto places = settings.gps_dist_places;
    Row t(out);
    GpsFix fix{};
    if (rec != nullptr) fix = decode_gps_fix(*rec);
    bool has_item = false;

    if (speed == speed_unit::KMH || speed == speed_unit::MPH) {
        const bool mph = speed == speed_unit::MPH;
        if (rec == nullptr) t.lit("---");
        else t.dec(mph ? km_to_miles(fix.gps_speed) : fix.gps_speed);
        put_speed_unit(t, mph);
        has_item = true;
    }
    if (speed != speed_unit::HIDDEN && (dist_unit != distance_unit::HIDDEN || heading != show_hide::HIDDEN)) {
        t.lit(SEPARATOR);
        has_item = true;
    }

    if (dist_unit == distance_unit::KM || dist_unit == distance_unit::MILES) {
        const bool miles = dist_unit == distance_unit::MILES;
        if (rec == nullptr) {
            t.lit("---");
        } else {
            // `dist` counts hundredths of a km; shown in hundredths or tenths.
            const std::int32_t v = fix.dist;
            if (places != decimal_places::ONE) t.fixed<2>(miles ? km_to_miles(v) : v);
            else t.fixed<1>(static_cast<std::int32_t>(miles ? mul_div<10, 161>(v) : mul_div<1, 10>(v)));
        }
        if (miles) t.lit(" mi");
        else t.lit(" km");
        has_item = true;
    }
    if (dist_unit != distance_unit::HIDDEN && heading != show_hide::HIDDEN) t.lit(SEPARATOR);

    if (heading != show_hide::HIDDEN) {
        if (rec == nullptr) t.lit("---");
        else t.dec(fix.heading);
        t.lit(" deg\n");
    } else if (has_item) {
        t.put('\n');
    }
}

// GpsNavData layout: speeds, distance and glide ratio.
[[gnu::noinline]] void put_navdata_lines(TextOut& out, const LogEvent& ev, const Settings& settings) {
    Row t(out);
    const LogEvent* rec = ev.gps;
    GpsNavData nav{};
    if (rec != nullptr) nav = decode_gps_nav_data(*rec);
    const std::int32_t h = nav.h_speed;  // km/h
    const std::int32_t v = nav.vspeed;   // km/h

    // Single mode: one speed, with the distance on the same line.
    const bool single = settings.gps_speed_type != speed_type::BOTH && settings.gps_speed != speed_unit::HIDDEN;
    const bool mph = settings.gps_speed == speed_unit::MPH;
    const bool kmh = settings.gps_speed == speed_unit::KMH;

    bool speed_written = false;
    if ((mph || kmh) &&
        (settings.gps_speed_type == speed_type::HORIZONTAL || settings.gps_speed_type == speed_type::BOTH)) {
        t.lit("H: ");
        if (rec == nullptr) t.lit("---");
        else t.dec(mph ? km_to_miles(h) : h);
        put_speed_unit(t, mph);
        speed_written = true;
    }
    if ((mph || kmh) &&
        (settings.gps_speed_type == speed_type::VERTICAL || settings.gps_speed_type == speed_type::BOTH)) {
        if (speed_written) t.lit(SEPARATOR);
        t.lit("V: ");
        if (rec == nullptr) t.lit("---");
        else t.dec(mph ? km_to_miles(v) : v);
        put_speed_unit(t, mph);
        speed_written = true;
    }
    if (speed_written) {
        if (single) t.lit(SEPARATOR);
        else t.put('\n');
    }

    // ev.dist is the running total in centimetres.
    bool dist_written = false;
    if (settings.gps_dist == distance_unit::MILES || settings.gps_dist == distance_unit::KM) {
        const bool miles = settings.gps_dist == distance_unit::MILES;
        if (rec == nullptr) {
            if (miles) t.lit("--- mi");
            else t.lit("--- km");
        } else {
            const bool two = settings.gps_dist_places != decimal_places::ONE;
            if (miles && two) t.scaled_cm<2, 1610>(ev.dist, 161000.0);
            else if (miles) t.scaled_cm<1, 16100>(ev.dist, 161000.0);
            else if (two) t.scaled_cm<2, 1000>(ev.dist, 100000.0);
            else t.scaled_cm<1, 10000>(ev.dist, 100000.0);
            if (miles) t.lit(" mi");
            else t.lit(" km");
        }
        dist_written = true;
    }
    if (single) t.put('\n');
    else if (dist_written) t.lit(SEPARATOR);

    if (settings.glide == show_hide::SHOWN) {
        if (rec == nullptr) {
            t.lit("Glide: ---");
        } else if (v == 0) {
            t.lit("Glide: --");
        } else {
            // Tenths of the glide ratio, truncated toward zero; its whole
            // part is h / v truncated, as trunc(trunc(x) / 10) = trunc(x / 10).
            // 32-bit wherever 10 h fits (every real speed): the camera divides
            // 64-bit values only in a slow library call.
            const bool fits = h >= -(INT32_MAX / 10) && h <= INT32_MAX / 10;
            t.lit("Glide: ");
            t.fixed<1>(fits ? 10 * h / v : 10 * static_cast<std::int64_t>(h) / v);
        }
        t.put('\n');
    } else if (!single && dist_written) {
        t.put('\n');
    }
}

}  // namespace

void put_gps_lines(TextOut& out, const LogEvent& ev, const Settings& settings, RunOptions& run) {
    if (ev.gps != nullptr) run.last_gps_kind = ev.gps->type;
    switch (static_cast<EntryKind>(run.last_gps_kind)) {
        case EntryKind::GpsNavData: put_navdata_lines(out, ev, settings); break;
        case EntryKind::GpsFix: put_fix_line(out, ev.gps, settings); break;
        default:  // nothing seen yet, GpsFix2, or a kind nobody interprets
            break;
    }
}

}  // namespace tarvex
