#include "gpx_writer.h"

#include <cstdio>
#include <cstring>
#include <ctime>

#include "gps_time.h"
#include "maker.h"
#include "text_out.h"

namespace tarvex {

namespace {

// The two extension namespaces are declared for the programs that expect them; no
// element uses them.
constexpr char GPX_ROOT_START[] =
    "<gpx xmlns=\"http://www.topografix.com/GPX/1/1\""
    " xmlns:gpxx=\"http://www.garmin.com/xmlschemas/GpxExtensions/v3\""
    " xmlns:gpxtpx=\"http://www.garmin.com/xmlschemas/TrackPointExtension/v1\""
    " creator=\"Tarvex Sensor Pack (";
constexpr char GPX_ROOT_END[] =
    ")\" version=\"1.1\""
    " xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\""
    " xsi:schemaLocation=\""
    "http://www.topografix.com/GPX/1/1 http://www.topografix.com/GPX/1/1/gpx.xsd"
    " http://www.garmin.com/xmlschemas/GpxExtensions/v3"
    " http://www.garmin.com/xmlschemas/GpxExtensionsv3.xsd"
    " http://www.garmin.com/xmlschemas/TrackPointExtension/v1"
    " http://www.garmin.com/xmlschemas/TrackPointExtensionv1.xsd\">\n";

// A point's opening tag up to its elevation, as track points and waypoints
// both write it: `open` up to the latitude, `to_ele` from the longitude's
// end to the elevation's value.
template <std::size_t N, std::size_t M>
void put_fix_position(Row& t, const GpsFix& fix, const char (&open)[N], const char (&to_ele)[M]) {
    t.lit_words(open);
    t.degrees(fix.lat_deg, fix.lat_frac);
    t.lit("\" lon=\"");
    t.degrees(fix.lon_deg, fix.lon_frac);
    t.lit_words(to_ele);
    t.fixed<2>(fix.gps_alt);  // cm -> m
}

template <std::size_t N, std::size_t M>
void put_nav_position(Row& t, const GpsNavData& nav, const char (&open)[N], const char (&to_ele)[M]) {
    t.lit_words(open);
    t.degrees_e7(nav.lat);
    t.lit("\" lon=\"");
    t.degrees_e7(nav.lon);
    t.lit_words(to_ele);
    t.fixed<2>(nav.gps_alt);  // cm -> m; unsigned, so never a minus sign
}

// Either record's position; false for any other record.
template <std::size_t N, std::size_t M>
bool put_position(Row& t, const LogEntry& rec, const char (&open)[N], const char (&to_ele)[M]) {
    if (rec.type == static_cast<std::uint16_t>(EntryKind::GpsFix))
        put_fix_position(t, decode_gps_fix(rec), open, to_ele);
    else if (rec.type == static_cast<std::uint16_t>(EntryKind::GpsNavData))
        put_nav_position(t, decode_gps_nav_data(rec), open, to_ele);
    else return false;
    return true;
}

// The driver's chapter names never hold markup characters; a caller's own
// path might, and must not break the document.
void put_escaped(TextOut& t, const char* s) {
    for (; *s != '\0'; ++s) {
        switch (*s) {
            case '&': t.str("&amp;"); break;
            case '<': t.str("&lt;"); break;
            case '>': t.str("&gt;"); break;
            default: t.put(s, 1); break;
        }
    }
}

// Ends the point's elevation; with `timed`, adds the fix's UTC time where
// the GPX schema expects it (after <ele>), unless the time is unusable.
// Inlined: the untimed end is most points' last bytes.
[[gnu::always_inline]] inline void put_point_end(Row& t, bool timed, std::int64_t unix_ms) {
    char iso[ISO_TIME_SIZE];
    if (timed && format_iso_utc_ms(unix_ms, iso)) {
        t.lit("</ele>\n        <time>");
        t.str(iso);
        t.lit("</time>\n      </trkpt>\n");
    } else {
        t.lit_words("</ele>\n      </trkpt>\n");
    }
}

// One waypoint: the position and elevation written as the track writes its
// points, then the fix time, name and description in the schema's order.
void put_waypoint(TextOut& out, const GpxWaypoint& w, bool timed) {
    const LogEntry& rec = w.fix;
    std::int64_t unix_ms = 0;
    {
        Row t(out);
        if (!put_position(t, rec, "  <wpt lat=\"", "\">\n    <ele>")) return;
        if (rec.type == static_cast<std::uint16_t>(EntryKind::GpsFix)) {
            unix_ms = static_cast<std::int64_t>(decode_gps_fix(rec).gps_timestamp);
        } else {
            const GpsNavData nav = decode_gps_nav_data(rec);
            unix_ms = gps_week_to_unix_ms(nav.week, nav.time_of_week);
        }
        t.lit("</ele>\n");
        char iso[ISO_TIME_SIZE];
        if (timed && format_iso_utc_ms(unix_ms, iso)) {
            t.lit("    <time>");
            t.str(iso);
            t.lit("</time>\n");
        }
        t.lit("    <name>");
    }
    put_escaped(out, w.name.c_str());
    out.str("</name>\n    <desc>");
    put_escaped(out, w.desc.c_str());
    out.str("</desc>\n  </wpt>\n");
}

// The document's start, up to the open track segment.
void put_header(TextOut& out, const char* name, const char* date, const DatHeader& header, bool timed,
                const std::vector<GpxWaypoint>& waypoints) {
    {
        Row t(out);
        t.lit("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\" ?>\n");
        t.lit(GPX_ROOT_START);
        t.str(MAKER_WEB_ADDRESS);
        t.lit(GPX_ROOT_END);
        char iso[ISO_TIME_SIZE];
        if (timed && format_iso_utc_ms(static_cast<std::int64_t>(header.rec_date) * 1000, iso)) {
            // The schema puts <metadata> first in <gpx>, before any track.
            t.lit("  <metadata>\n    <time>");
            t.str(iso);
            t.lit("</time>\n  </metadata>\n");
        }
    }
    for (const GpxWaypoint& w : waypoints) put_waypoint(out, w, timed);
    out.str("  <trk>\n    <name>");
    put_escaped(out, name);  // any length: checked writes
    Row t(out);
    t.lit("</name>\n    <desc>");
    // ctime's text ends with its own newline.
    t.str(date != nullptr ? date : "\n");
    t.lit("</desc>\n    <trkseg>\n");
}

}  // namespace

void gpx_write_header(TextOut& out, const char* path, const DatHeader& header, bool timed,
                      const std::vector<GpxWaypoint>& waypoints) {
    std::puts("Initializing new GPX file");

    const char* slash = std::strrchr(path, '/');
    const char* name = slash != nullptr ? slash + 1 : path;
    const std::time_t rec_date = header.rec_date;
    const char* date = std::ctime(&rec_date);

    put_header(out, name, date, header, timed, waypoints);
}

void gpx_write_point(TextOut& out, const LogEvent& ev, bool timed) {
    if (ev.gps == nullptr) return;
    const LogEvent& rec = *ev.gps;
    Row t(out);
    if (rec.type == static_cast<std::uint16_t>(EntryKind::GpsFix)) {
        const GpsFix fix = decode_gps_fix(rec);
        put_fix_position(t, fix, "      <trkpt lat=\"", "\">\n        <ele>");
        // Beyond 2^63 ms the time is damage, and is refused as unusable.
        put_point_end(t, timed, static_cast<std::int64_t>(fix.gps_timestamp));
    } else if (rec.type == static_cast<std::uint16_t>(EntryKind::GpsNavData)) {
        const GpsNavData nav = decode_gps_nav_data(rec);
        put_nav_position(t, nav, "      <trkpt lat=\"", "\">\n        <ele>");
        // The fix time only when it is written: 64-bit arithmetic, slow on the camera.
        put_point_end(t, timed, timed ? gps_week_to_unix_ms(nav.week, nav.time_of_week) : 0);
    }
}

void gpx_write_segment_break(TextOut& out) { out.str("    </trkseg>\n    <trkseg>\n"); }

void gpx_write_footer(TextOut& out) {
    std::puts("Writing GPX footer");
    out.str("    </trkseg>\n  </trk>\n</gpx>\n");
}

}  // namespace tarvex
