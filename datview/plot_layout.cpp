// Drawing the ride. Each panel scales its values to round ticks; every
// series is drawn from its per-column minimum and maximum, so the picture's
// size depends on its width, not on the length of the log.
#include "plot_layout.h"

#include <string>
#include <vector>

#include "log_health.h"
#include "plot_axes.h"
#include "plot_marks.h"
#include "svg_writer.h"
#include "text_format.h"
#include "track_panel.h"

namespace tarvex::datview {

namespace {

constexpr int TITLE_HEIGHT = 80;  // title, log line, statistics line
constexpr int PANEL_GAP = 34;     // above each panel: its caption
constexpr int PANEL_HEIGHT = 160;
constexpr int BOTTOM_HEIGHT = 52;            // time labels and axis caption
constexpr int CHAPTER_ROW_HEIGHT = 32;       // time inside each chapter, and its name
constexpr std::int64_t GPS_BREAK_MS = 5000;  // a fix older than this is no longer shown by the converter

constexpr char CSS[] =
    "text{font-family:sans-serif;font-size:12px;fill:#222}"
    ".title{font-size:18px;font-weight:bold}.caption{font-size:13px;font-weight:bold}.note{fill:#555}"
    ".page{fill:#fff}.frame{fill:none;stroke:#888}.grid{stroke:#e4e4e4}.zero{stroke:#bbb}"
    ".raw{fill:none;stroke:#9ecae1;stroke-width:1}.smooth{fill:none;stroke:#08519c;stroke-width:1.4}"
    ".climb{fill:none;stroke:#31a354;stroke-width:1.2}.speed{fill:none;stroke:#e6550d;stroke-width:1.4}"
    ".rawtext{fill:#6aaed6}.smoothtext{fill:#08519c}"
    ".chapter{stroke:#d62728;stroke-width:1;stroke-dasharray:5 3}.chaptertext{fill:#d62728;font-size:11px}"
    ".legend{font-size:11px;fill:#444}.mark{fill:none;stroke:#111;stroke-width:1.6}"
    ".marktext{font-size:11px;font-weight:bold;fill:#111}.novideo{fill:#000;fill-opacity:0.07}"
    ".novideotext{fill:#666;font-size:11px;font-style:italic}.track{fill:none;stroke:#08519c;stroke-width:1.6}"
    ".trackstart{fill:none;stroke:#31a354;stroke-width:2}.chaptermark{fill:#d62728}"
    ".scalebar{stroke:#222;stroke-width:2}";

struct Series {
    const ColumnSeries* data;
    const char* cls;
    std::int64_t break_ms;
};

struct Panel {
    std::string caption;
    std::vector<Series> series;
    bool zero_line = false;  // climb: level flight is worth a line
    std::vector<LegendEntry> legend;
    std::vector<PanelMark> marks;  // the ride's highlights on this panel
};

class Page {
public:
    Page(const RideData& r) : r_(r) {}

    double x_of(std::int64_t t) const {
        const double span = static_cast<double>(r_.t1_ms - r_.t0_ms + 1);
        return PLOT_LEFT + static_cast<double>(t - r_.t0_ms) * (PLOT_WIDTH - PLOT_LEFT - PLOT_RIGHT) / span;
    }
    double x_of_column(std::size_t c) const {
        return PLOT_LEFT + (static_cast<double>(c) + 0.5) * (PLOT_WIDTH - PLOT_LEFT - PLOT_RIGHT) / PLOT_COLUMNS;
    }

private:
    const RideData& r_;
};

std::string path_data(const std::vector<ColumnPoint>& pts, const Page& page, const ValueAxis& axis, double top) {
    std::string d;
    char buf[64];
    for (std::size_t i = 0; i < pts.size(); ++i) {
        const double x = page.x_of_column(pts[i].column);
        const double y = top + PANEL_HEIGHT - (pts[i].value - axis.lo) / (axis.hi - axis.lo) * PANEL_HEIGHT;
        std::snprintf(buf, sizeof buf, "%s%.1f %.1f", pts[i].starts_run ? "M" : "L", x, y);
        d += buf;
        // A lone point would draw nothing: give it a pixel of length.
        const bool alone = pts[i].starts_run && (i + 1 == pts.size() || pts[i + 1].starts_run);
        if (alone) d += "h1";
    }
    return d;
}

void draw_panel(SvgWriter& svg, const Panel& p, const Page& page, const TimeScale& scale, const RideData& r, double top,
                const std::vector<std::int64_t>& ticks) {
    const double right = PLOT_WIDTH - PLOT_RIGHT;
    svg.text(PLOT_LEFT, top - 9, p.caption, "caption");
    bool any = false;
    double lo = 0.0, hi = 0.0;
    for (const Series& s : p.series) {
        if (s.data->empty()) continue;
        lo = any ? std::min(lo, s.data->min()) : s.data->min();
        hi = any ? std::max(hi, s.data->max()) : s.data->max();
        any = true;
    }
    for (const PanelMark& m : p.marks) {  // a mark never lies outside its panel
        if (!any) continue;
        lo = std::min(lo, m.value);
        hi = std::max(hi, m.value);
    }
    const ValueAxis axis = round_value_axis(lo, hi);
    for (const std::int64_t t : ticks) svg.line(page.x_of(t), top, page.x_of(t), top + PANEL_HEIGHT, "grid");
    for (const double v : axis.ticks) {
        const double y = top + PANEL_HEIGHT - (v - axis.lo) / (axis.hi - axis.lo) * PANEL_HEIGHT;
        svg.line(PLOT_LEFT, y, right, y, p.zero_line && value_label(v, axis.step) == "0" ? "zero" : "grid");
        svg.text(PLOT_LEFT - 6, y + 4, value_label(v, axis.step), "", "end");
    }
    for (const RideChapter& c : r.chapters) {
        if (c.start_ms <= r.t0_ms || c.start_ms > r.t1_ms) continue;
        svg.line(page.x_of(c.start_ms), top, page.x_of(c.start_ms), top + PANEL_HEIGHT, "chapter");
    }
    if (!any) svg.text((PLOT_LEFT + right) / 2, top + PANEL_HEIGHT / 2.0, "no readings", "note", "middle");
    for (const Series& s : p.series) svg.path(path_data(s.data->points(s.break_ms), page, axis, top), s.cls);
    if (any) draw_marks(svg, scale, axis, top, PANEL_HEIGHT, p.marks);
    draw_legend(svg, right, top, p.legend);
    svg.rect(PLOT_LEFT, top, right - PLOT_LEFT, PANEL_HEIGHT, "frame");
}

std::string filter_text(std::int32_t n) {
    if (n == filter_level::OFF) return "no smoothing";
    return "smoothed over " + std::to_string(2 * n + 1) + " samples";
}

}  // namespace

int plot_height(int panels) { return TITLE_HEIGHT + panels * (PANEL_GAP + PANEL_HEIGHT) + BOTTOM_HEIGHT; }

void draw_ride(TextOut& out, const RideData& r, const std::string& log_name) {
    const RideSeries& s = r.series;
    const std::string alt = r.units.altitude;
    const PanelMarks marks = panel_marks(r.report, r.units);
    std::vector<Panel> panels;
    panels.push_back({"Altitude above ground (" + alt + "): raw, and " + filter_text(r.settings.alt_filter),
                      {{&s.alt_raw, "raw", GAP_MS}, {&s.alt_smooth, "smooth", GAP_MS}},
                      false,
                      {{"raw", "raw"}, {"smooth", "smoothed"}},
                      marks.altitude});
    panels.push_back({std::string("Barometric climb rate (") + r.units.climb + ") over " +
                          std::to_string(r.climb_window) + " samples",
                      {{&s.climb, "climb", GAP_MS}},
                      true,
                      {{"climb", "from the smoothed altitude"}},
                      marks.climb});
    panels.push_back({"Acceleration (G): raw magnitude, and " + filter_text(r.settings.accel_filter),
                      {{&s.accel_raw, "raw", GAP_MS}, {&s.accel_smooth, "smooth", GAP_MS}},
                      false,
                      {{"raw", "raw"}, {"smooth", "smoothed (as the subtitles)"}},
                      marks.accel});
    if (r.has_gps)
        panels.push_back({std::string("GPS speed (") + r.units.speed + ")",
                          {{&s.gps_speed, "speed", GPS_BREAK_MS}},
                          false,
                          {{"speed", "at each fresh fix"}},
                          marks.speed});

    const std::string serial = serial_text(r.header.serial.data());
    const std::string date = utc_date_time(r.header.rec_date);
    const std::string title =
        "Ride of " + (serial.empty() ? std::string("a unit without serial number") : serial) + " on " + date;
    const int chapter_row = r.chapters.empty() ? 0 : CHAPTER_ROW_HEIGHT;
    const double bottom = TITLE_HEIGHT + static_cast<double>(panels.size()) * (PANEL_GAP + PANEL_HEIGHT);
    const double track_top = bottom + BOTTOM_HEIGHT + chapter_row;
    const int height = plot_height(static_cast<int>(panels.size())) + chapter_row + track_panel_height(r.report);
    SvgWriter svg(out, PLOT_WIDTH, height, title, CSS);
    svg.text(PLOT_LEFT, 26, title, "title");
    std::string sub = log_name + ": " + std::to_string(r.samples) + " samples over " + elapsed_text(r.t1_ms - r.t0_ms) +
                      ", hardware revision " + std::to_string(r.header.hw_revision);
    if (!r.chapters.empty()) sub += ", " + std::to_string(r.chapters.size()) + " video chapters";
    svg.text(PLOT_LEFT, 46, sub, "note");
    svg.text(PLOT_LEFT, 66, stats_line(r.report), "caption");

    const Page page(r);
    const TimeScale scale{r.t0_ms, r.t1_ms, static_cast<double>(PLOT_LEFT),
                          static_cast<double>(PLOT_WIDTH - PLOT_RIGHT)};
    if (r.video_given) draw_no_video(svg, scale, r.chapters, TITLE_HEIGHT + PANEL_GAP, bottom);
    const std::int64_t span = r.t1_ms - r.t0_ms;
    const std::int64_t step = round_time_step(span);
    const std::vector<std::int64_t> ticks = time_ticks(r.t0_ms, r.t1_ms, step);
    for (std::size_t i = 0; i < panels.size(); ++i) {
        const double top = TITLE_HEIGHT + static_cast<double>(i) * (PANEL_GAP + PANEL_HEIGHT) + PANEL_GAP;
        draw_panel(svg, panels[i], page, scale, r, top, ticks);
    }
    // Chapter names at the top of the first panel, beside each chapter's start.
    for (const RideChapter& c : r.chapters) {
        if (c.start_ms > r.t1_ms) continue;
        const std::int64_t at = c.start_ms < r.t0_ms ? r.t0_ms : c.start_ms;
        svg.text(page.x_of(at) + 3, TITLE_HEIGHT + PANEL_GAP + 12, c.name, "chaptertext");
    }
    for (const std::int64_t t : ticks) svg.text(page.x_of(t), bottom + 16, time_label(t, step, span), "", "middle");
    std::string axis_caption = "time since recording start (" + time_label_format(step, span) + ")";
    if (!r.chapters.empty()) {
        draw_chapter_times(svg, scale, r.chapters, bottom + 32, step);
        axis_caption += "; in red, the time inside each video chapter";
    }
    svg.text((PLOT_LEFT + PLOT_WIDTH - PLOT_RIGHT) / 2.0, bottom + 38 + chapter_row, axis_caption, "caption", "middle");
    draw_track_panel(svg, track_top, PLOT_LEFT, PLOT_WIDTH - PLOT_RIGHT, r.report, r.chapters);
    svg.finish();
}

}  // namespace tarvex::datview
