// The ride's highlights as waypoints of the outing track: a first pass over
// the log (a pipeline of its own, the conversion's settings), run only when
// the settings ask for them, so a conversion without them costs nothing more.
#pragma once

#include <vector>

#include "chapters.h"
#include "gpx_writer.h"
#include "run_options.h"
#include "settings.h"

namespace tarvex {

// One waypoint per highlight that stands at a track point of the
// conversion: the GPS fix nearest in time to it, taken up inside the video
// chapters found from `base_path`. Named like "2.8 G" or "top speed 42
// km/h", described with the chapter and the time inside it. Empty when the
// log cannot be read.
std::vector<GpxWaypoint> highlight_waypoints(const char* dat_path, const char* base_path, ChapterNaming naming,
                                             const Settings& settings, const RunOptions& run);

}  // namespace tarvex
