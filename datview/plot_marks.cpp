// Marks over the time panels. Labels are placed beside their mark and kept
// inside the picture; a ring rather than a dot leaves the curve under it
// visible.
#include "plot_marks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "units.h"

namespace tarvex::datview {

namespace {

constexpr double MARK_RADIUS = 4.5;  // px
constexpr double FEET_PER_METRE = 1.0 / METRES_PER_FOOT;

std::string ring(double x, double y) {
    char d[128];
    std::snprintf(d, sizeof d, "M%.1f %.1fm%.1f 0a%.1f %.1f 0 1 0 %.1f 0a%.1f %.1f 0 1 0 %.1f 0", x, y, -MARK_RADIUS,
                  MARK_RADIUS, MARK_RADIUS, 2 * MARK_RADIUS, MARK_RADIUS, MARK_RADIUS, -2 * MARK_RADIUS);
    return d;
}

std::string number(double v, int places) {
    char buf[48];
    std::snprintf(buf, sizeof buf, "%.*f", places, v);
    std::string s = buf;
    if (s[0] == '-' && s.find_first_not_of("0.", 1) == std::string::npos) s.erase(0, 1);
    return s;
}

constexpr double LABEL_HEIGHT = 13.0;  // px per line of 11 px text

}  // namespace

double label_width(const std::string& text) { return 7.2 * static_cast<double>(text.size()); }

double LabelPlacer::place(double x, double y, const std::string& text, bool anchor_end) {
    const double w = label_width(text);
    const double x0 = anchor_end ? x - w : x, x1 = anchor_end ? x : x + w;
    const bool downwards = y < (top_ + bottom_) / 2;
    for (int tries = 0; tries < 12; ++tries) {
        bool clear = true;
        for (const Box& b : boxes_) {
            if (x0 < b.x1 && b.x0 < x1 && y - LABEL_HEIGHT + 2 < b.y1 && b.y0 < y + 2) {
                y = downwards ? b.y1 + LABEL_HEIGHT - 2 : b.y0 - 2;
                clear = false;
            }
        }
        if (clear) break;
    }
    boxes_.push_back({x0, x1, y - LABEL_HEIGHT + 2, y + 2});
    return y;
}

void draw_legend(SvgWriter& svg, double right, double top, const std::vector<LegendEntry>& entries) {
    // Right-aligned entries, the last one at the corner: a short line of the
    // series' own class, then its text.
    double x = right - 8;
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
        const double text_w = label_width(it->text);
        svg.text(x, top - 9, it->text, "legend", "end");
        x -= text_w + 6;
        svg.line(x - 22, top - 13, x, top - 13, it->cls);
        x -= 22 + 14;
    }
}

void draw_marks(SvgWriter& svg, const TimeScale& x, const ValueAxis& axis, double top, double height,
                const std::vector<PanelMark>& marks) {
    LabelPlacer labels(top, top + height);
    const auto y_of = [&](double v) { return top + height - (v - axis.lo) / (axis.hi - axis.lo) * height; };
    const auto shown = [&x](const PanelMark& m) { return m.t_ms >= x.t0_ms && m.t_ms <= x.t1_ms; };
    for (const PanelMark& m : marks) {
        if (!shown(m)) continue;
        svg.path(ring(x.x_of(m.t_ms), y_of(m.value)), "mark");
        labels.reserve(x.x_of(m.t_ms), y_of(m.value), MARK_RADIUS + 1);
    }
    for (const PanelMark& m : marks) {
        if (!shown(m)) continue;
        const double px = x.x_of(m.t_ms), py = y_of(m.value);
        const bool near_right = px > x.right - 110;
        const double lx = near_right ? px - 7 : px + 7;
        // Below the first panel's chapter names, which run along its top.
        const double ly = labels.place(lx, std::clamp(py - 7, top + 26, top + height - 3), m.label, near_right);
        svg.text(lx, ly, m.label, "marktext", near_right ? "end" : "start");
    }
}

void draw_no_video(SvgWriter& svg, const TimeScale& x, const std::vector<RideChapter>& chapters, double top,
                   double bottom) {
    std::int64_t from = x.t0_ms;
    if (!chapters.empty()) from = chapters.back().start_ms + chapters.back().len_ms;
    if (from >= x.t1_ms) return;
    const double x0 = std::max(x.left, x.x_of(from));
    svg.rect(x0, top, x.right - x0, bottom - top, "novideo");
    if (x.right - x0 >= 60) svg.text(x0 + 4, bottom - 5, "no video", "novideotext");
}

void draw_chapter_times(SvgWriter& svg, const TimeScale& x, const std::vector<RideChapter>& chapters, double y,
                        std::int64_t step_ms) {
    for (std::size_t i = 0; i < chapters.size(); ++i) {
        const RideChapter& c = chapters[i];
        if (c.start_ms > x.t1_ms) break;
        const std::int64_t end = std::min<std::int64_t>(c.start_ms + c.len_ms, x.t1_ms);
        // The next chapter's own 0:00 label takes precedence near its start.
        const std::int64_t stop = i + 1 < chapters.size() ? end - step_ms * 2 / 5 : end;
        for (std::int64_t k = 0; c.start_ms + k * step_ms <= stop || k == 0; ++k) {
            const std::int64_t t = c.start_ms + k * step_ms;
            if (k == 0 && t < x.t0_ms) {  // the log starts inside the chapter
                svg.text(x.left, y, clock_text(x.t0_ms - c.start_ms), "chaptertext");
                continue;
            }
            if (t < x.t0_ms) continue;
            svg.text(x.x_of(t), y, clock_text(k * step_ms), "chaptertext", k == 0 ? "start" : "middle");
        }
        // The name where it fits before the next chapter's.
        const double at = x.x_of(std::max(c.start_ms, x.t0_ms));
        const double room = i + 1 < chapters.size() ? x.x_of(chapters[i + 1].start_ms) - at : x.right + 40 - at;
        if (room >= label_width(c.name) * 0.8) svg.text(at, y + 14, c.name, "chaptertext");
    }
}

std::string stats_line(const RideReport& r) {
    const RideStats& s = r.stats;
    std::string line;
    const auto add = [&line](const std::string& part) { line += (line.empty() ? "" : ", ") + part; };
    if (s.duration_s) add(clock_text(static_cast<std::int64_t>(*s.duration_s * 1000.0)) + " of log");
    if (s.height_max_m) add("height " + number(*s.height_min_m, 0) + " to " + number(*s.height_max_m, 0) + " m");
    if (s.climb_m) add("climb " + number(*s.climb_m, 0) + " m");
    if (s.g_max) add("max " + number(*s.g_max, 1) + " G");
    if (s.distance_m) add("distance " + number(*s.distance_m / 1000.0, 2) + " km");
    if (s.speed_max_kmh) add("top speed " + number(*s.speed_max_kmh, 0) + " km/h");
    return line.empty() ? "no readings" : line;
}

PanelMarks panel_marks(const RideReport& report, const PlotUnits& u) {
    PanelMarks p;
    for (const Highlight& h : report.highlights) {
        switch (h.kind) {
            case HighlightKind::G: p.accel.push_back({h.log_time_ms, h.value, number(h.value, 1) + " G"}); break;
            case HighlightKind::Height: {
                const double v = h.value * FEET_PER_METRE * u.per_foot;
                p.altitude.push_back({h.log_time_ms, v, "highest " + number(v, 0) + " " + u.altitude});
                break;
            }
            case HighlightKind::Climb:
            case HighlightKind::Sink: {
                const bool climb = h.kind == HighlightKind::Climb;
                const double v = h.value * FEET_PER_METRE * u.per_foot;
                p.climb.push_back(
                    {h.log_time_ms, climb ? v : -v, (climb ? "climb " : "sink ") + number(v, 1) + " " + u.climb});
                break;
            }
            case HighlightKind::Speed: {
                const double v = h.value * u.per_kmh;
                p.speed.push_back({h.log_time_ms, v, "top " + number(v, 0) + " " + u.speed});
                break;
            }
        }
    }
    return p;
}

}  // namespace tarvex::datview
