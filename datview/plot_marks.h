// What the ride picture marks over its time panels: legends, the ride's
// highlights, the "no video" shading after the last chapter, the time in
// each video chapter under the time axis, and the statistics line.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "plot_axes.h"
#include "ride_series.h"
#include "ride_stats.h"
#include "svg_writer.h"

namespace tarvex::datview {

// Log time to x, over the plot's width.
struct TimeScale {
    std::int64_t t0_ms = 0, t1_ms = 0;
    double left = 0.0, right = 1.0;  // pixels
    double x_of(std::int64_t t) const {
        return left + static_cast<double>(t - t0_ms) * (right - left) / static_cast<double>(t1_ms - t0_ms + 1);
    }
};

// A highlight on a panel, in the panel's units.
struct PanelMark {
    std::int64_t t_ms = 0;
    double value = 0.0;
    std::string label;
};

struct LegendEntry {
    const char* cls;  // the series' line class
    std::string text;
};

// Keeps labels from covering each other: each new one moves down (or up,
// near the bottom) past those already placed that it would overlap.
class LabelPlacer {
public:
    LabelPlacer(double top, double bottom) : top_(top), bottom_(bottom) {}
    // The baseline y for a label of `text` starting at x (anchor start) or
    // ending there (anchor end), wanted at `y`.
    double place(double x, double y, const std::string& text, bool anchor_end);
    // Keeps a mark's own area clear of labels.
    void reserve(double x, double y, double radius) {
        boxes_.push_back({x - radius, x + radius, y - radius, y + radius});
    }

private:
    struct Box {
        double x0, x1, y0, y1;
    };
    std::vector<Box> boxes_;
    double top_, bottom_;
};

// Legend in the panel's top right corner.
void draw_legend(SvgWriter& svg, double right, double top, const std::vector<LegendEntry>& entries);
// A ring at each mark and its label beside it, kept inside the panel.
void draw_marks(SvgWriter& svg, const TimeScale& x, const ValueAxis& axis, double top, double height,
                const std::vector<PanelMark>& marks);
// Text width estimate for 11-12 px sans-serif labels, px.
double label_width(const std::string& text);
// Shading from the end of the last chapter found (or over everything when
// none was found) to the end of the log, labelled "no video". Nothing
// without chapters asked for.
void draw_no_video(SvgWriter& svg, const TimeScale& x, const std::vector<RideChapter>& chapters, double top,
                   double bottom);
// A second row of time labels under the axis: time inside each chapter,
// restarting at 0:00 at every chapter start (with the chapter's name).
void draw_chapter_times(SvgWriter& svg, const TimeScale& x, const std::vector<RideChapter>& chapters, double y,
                        std::int64_t step_ms);
// "3:20 ride, height 0 to 75 m, climb 75 m, max 2.8 G, 1.38 km, top speed 25 km/h".
std::string stats_line(const RideReport& report);

// The highlights of `report` for each time panel, in the panel's units.
struct PanelMarks {
    std::vector<PanelMark> altitude, climb, accel, speed;
};
PanelMarks panel_marks(const RideReport& report, const PlotUnits& units);

}  // namespace tarvex::datview
