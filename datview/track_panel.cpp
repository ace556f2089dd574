// Drawing the track. The path keeps a point only once it is half a pixel
// from the last one kept, so a long ride stays a small picture; the extent
// printed in the caption is that of every fix.
#include "track_panel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>

#include "plot_marks.h"

namespace tarvex::datview {

namespace {

constexpr int CAPTION_HEIGHT = 34;  // above the frame
constexpr int FRAME_HEIGHT = 420;   // px
constexpr int BELOW_HEIGHT = 20;
constexpr double MIN_EXTENT_M = 50.0;  // a standing rider still gets a readable scale
constexpr double MARGIN_PX = 24.0;
constexpr double PI = 3.14159265358979323846;

struct Extent {
    double e0 = 0.0, e1 = 0.0, n0 = 0.0, n1 = 0.0;
};

std::string metres(double v) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.0f", v);
    return std::string(buf) == "-0" ? "0" : buf;
}

// The largest 1, 2 or 5 times a power of ten not above `max_m`.
double round_length(double max_m) {
    double p = std::pow(10.0, std::floor(std::log10(max_m)));
    for (const double m : {5.0, 2.0, 1.0})
        if (m * p <= max_m) return m * p;
    return p;
}

std::string ring(double x, double y, double r) {
    char d[128];
    std::snprintf(d, sizeof d, "M%.1f %.1fm%.1f 0a%.1f %.1f 0 1 0 %.1f 0a%.1f %.1f 0 1 0 %.1f 0", x, y, -r, r, r, 2 * r,
                  r, r, -2 * r);
    return d;
}

// The track point nearest in time to `t_ms`.
const TrackPoint* nearest(const std::vector<TrackPoint>& track, std::int64_t t_ms) {
    const TrackPoint* best = nullptr;
    std::int64_t best_d = std::numeric_limits<std::int64_t>::max();
    for (const TrackPoint& p : track) {
        const std::int64_t d = p.log_time_ms > t_ms ? p.log_time_ms - t_ms : t_ms - p.log_time_ms;
        if (d < best_d) best = &p, best_d = d;
    }
    return best;
}

}  // namespace

LocalPoint project_local(double lat_deg, double lon_deg, double lat0_deg, double lon0_deg) {
    const double rad = PI / 180.0;
    return {EARTH_RADIUS_M * (lon_deg - lon0_deg) * rad * std::cos(lat0_deg * rad),
            EARTH_RADIUS_M * (lat_deg - lat0_deg) * rad};
}

int track_panel_height(const RideReport& report) {
    return report.track.empty() ? 0 : CAPTION_HEIGHT + FRAME_HEIGHT + BELOW_HEIGHT;
}

void draw_track_panel(SvgWriter& svg, double top, double left, double right, const RideReport& r,
                      const std::vector<RideChapter>& chapters) {
    if (r.track.empty()) return;
    const TrackPoint& origin = r.track.front();
    const auto local = [&origin](double lat, double lon) {
        return project_local(lat, lon, origin.lat_deg, origin.lon_deg);
    };
    Extent ext;
    for (const TrackPoint& p : r.track) {
        const LocalPoint q = local(p.lat_deg, p.lon_deg);
        if (!std::isfinite(q.east_m) || !std::isfinite(q.north_m)) continue;
        ext.e0 = std::min(ext.e0, q.east_m), ext.e1 = std::max(ext.e1, q.east_m);
        ext.n0 = std::min(ext.n0, q.north_m), ext.n1 = std::max(ext.n1, q.north_m);
    }
    const double frame_top = top + CAPTION_HEIGHT;
    svg.text(left, frame_top - 9,
             "GPS track from above, metres east and north of the start (equirectangular): east " + metres(ext.e0) +
                 " to " + metres(ext.e1) + " m, north " + metres(ext.n0) + " to " + metres(ext.n1) + " m",
             "caption");

    // One scale for both axes; the track centred in the frame.
    const double w = right - left - 2 * MARGIN_PX, h = FRAME_HEIGHT - 2 * MARGIN_PX;
    const double span_e = std::max(ext.e1 - ext.e0, MIN_EXTENT_M), span_n = std::max(ext.n1 - ext.n0, MIN_EXTENT_M);
    const double px_per_m = std::min(w / span_e, h / span_n);
    const double cx = left + (right - left) / 2, cy = frame_top + FRAME_HEIGHT / 2.0;
    const double mid_e = (ext.e0 + ext.e1) / 2, mid_n = (ext.n0 + ext.n1) / 2;
    const auto px = [&](const LocalPoint& q) { return cx + (q.east_m - mid_e) * px_per_m; };
    const auto py = [&](const LocalPoint& q) { return cy - (q.north_m - mid_n) * px_per_m; };

    // The path goes to each pixel of the frame once: a lap ridden again, or
    // a rider standing still, adds nothing to the picture's size.
    const auto cols = static_cast<std::size_t>(right - left) + 1;
    std::vector<bool> visited(cols * (FRAME_HEIGHT + 1));
    std::string d;
    bool pen_down = false, have_prev = false;
    double prev_x = 0.0, prev_y = 0.0;       // the point before, drawn or not
    std::size_t last_cell = visited.size();  // its pixel
    char buf[64];
    for (const TrackPoint& p : r.track) {
        const LocalPoint q = local(p.lat_deg, p.lon_deg);
        if (!std::isfinite(q.east_m) || !std::isfinite(q.north_m)) continue;
        const double x = px(q), y = py(q);
        const auto cx_i = static_cast<std::size_t>(std::clamp(x - left, 0.0, static_cast<double>(cols - 1)));
        const auto cy_i = static_cast<std::size_t>(std::clamp(y - frame_top, 0.0, static_cast<double>(FRAME_HEIGHT)));
        const std::size_t cell = cy_i * cols + cx_i;
        if (cell == last_cell) {
            // still in the pixel of the point drawn last: nothing to add
        } else if (visited[cell]) {
            pen_down = false;
        } else {
            visited[cell] = true;
            if (!pen_down && have_prev) {
                std::snprintf(buf, sizeof buf, "M%.1f %.1f", prev_x, prev_y);  // on from the point before
                d += buf;
            }
            std::snprintf(buf, sizeof buf, "%s%.1f %.1f", d.empty() ? "M" : "L", x, y);
            d += buf;
            pen_down = true;
        }
        last_cell = cell;
        prev_x = x, prev_y = y, have_prev = true;
    }
    if (d.find('L') == std::string::npos) d += "h1";  // one place: still a visible dot
    svg.path(d, "track");

    LabelPlacer labels(frame_top, frame_top + FRAME_HEIGHT);
    const auto label = [&](double x, double y, const std::string& text, const char* cls) {
        const bool near_right = x > right - 160;
        const double lx = near_right ? x - 7 : x + 7;
        svg.text(lx, labels.place(lx, y, text, near_right), text, cls, near_right ? "end" : "start");
    };
    const LocalPoint start = local(origin.lat_deg, origin.lon_deg);
    svg.path(ring(px(start), py(start), 5), "trackstart");
    label(px(start), py(start) + 4, "start", "note");

    for (const RideChapter& c : chapters) {
        const TrackPoint* p = nearest(r.track, c.start_ms);
        if (p == nullptr || c.start_ms > r.last_ms) continue;
        const LocalPoint q = local(p->lat_deg, p->lon_deg);
        svg.rect(px(q) - 3.5, py(q) - 3.5, 7, 7, "chaptermark");
        label(px(q), py(q) + 15, c.name, "chaptertext");
    }
    for (const Highlight& hl : r.highlights) {
        if (!hl.fix) continue;
        const LocalPoint q = local(hl.fix->lat_deg, hl.fix->lon_deg);
        if (!std::isfinite(q.east_m) || !std::isfinite(q.north_m)) continue;
        svg.path(ring(px(q), py(q), 4.5), "mark");
        label(px(q), py(q) - 6, highlight_name(hl), "marktext");
    }

    // Scale bar in the bottom left corner: a round length near a fifth of the width.
    const double bar_m = round_length(std::max(w / px_per_m / 5.0, 1.0));
    const double bx = left + 12, by = frame_top + FRAME_HEIGHT - 12;
    svg.line(bx, by, bx + bar_m * px_per_m, by, "scalebar");
    svg.line(bx, by - 4, bx, by, "scalebar");
    svg.line(bx + bar_m * px_per_m, by - 4, bx + bar_m * px_per_m, by, "scalebar");
    svg.text(bx, by - 7, bar_m >= 1000 ? metres(bar_m / 1000) + " km" : metres(bar_m) + " m", "note");
    svg.text(right - 8, frame_top + 16, "north up", "note", "end");
    svg.rect(left, frame_top, right - left, FRAME_HEIGHT, "frame");
}

}  // namespace tarvex::datview
