// The ride's path seen from above: GPS positions in metres east and north of
// the first fix, drawn at one scale on both axes, with a scale bar, the
// chapter starts and the highlights marked.
#pragma once

#include <string>
#include <vector>

#include "ride_series.h"
#include "ride_stats.h"
#include "svg_writer.h"

namespace tarvex::datview {

// Mean Earth radius (m) of the projection.
inline constexpr double EARTH_RADIUS_M = 6371008.8;

// Local equirectangular projection around the origin (lat0, lon0), which
// keeps distances true to well under 1 % over a ride's few tens of km:
// east = R * dlon * cos(lat0), north = R * dlat, angles in radians.
struct LocalPoint {
    double east_m = 0.0, north_m = 0.0;
};
LocalPoint project_local(double lat_deg, double lon_deg, double lat0_deg, double lon0_deg);

// Height of the track panel (its caption included), or 0 without a track.
int track_panel_height(const RideReport& report);
// Draws it from `top` across the picture's width.
void draw_track_panel(SvgWriter& svg, double top, double left, double right, const RideReport& report,
                      const std::vector<RideChapter>& chapters);

}  // namespace tarvex::datview
