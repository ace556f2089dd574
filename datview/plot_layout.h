// Layout of the ride picture: a title, then stacked panels sharing one time
// axis (altitude, climb rate, acceleration, GPS speed when the log has GPS
// entries), with the video chapters marked across all of them.
#pragma once

#include <cstddef>
#include <string>

#include "ride_series.h"
#include "text_out.h"

namespace tarvex::datview {

// Page geometry in pixels.
inline constexpr int PLOT_WIDTH = 1200;
inline constexpr int PLOT_LEFT = 80;  // room for the value labels
inline constexpr int PLOT_RIGHT = 30;
inline constexpr std::size_t PLOT_COLUMNS = PLOT_WIDTH - PLOT_LEFT - PLOT_RIGHT;  // one bucket per pixel

// Height of a picture with `panels` panels.
int plot_height(int panels);

// Writes the SVG document for `ride`; `log_name` goes into the subtitle.
void draw_ride(TextOut& out, const RideData& ride, const std::string& log_name);

}  // namespace tarvex::datview
