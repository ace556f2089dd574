// GPX 1.1 track: one track, one segment, one point per fresh GPS record.
#pragma once

#include <string>
#include <vector>

#include "dat_format.h"
#include "log_event.h"
#include "text_out.h"

namespace tarvex {

// A named point beside the track (a highlight of the ride), standing at a GPS
// record that the track also holds as a point.
struct GpxWaypoint {
    LogEntry fix;            // GpsFix or GpsNavData record, as the pipeline holds it; other kinds are left out
    std::string name, desc;  // plain text, escaped when written
};

// `timed`: the recording's start as <metadata><time>, and each point's fix
// time as <time>; off, the file is exactly the untimed track.
// `waypoints` go where the schema puts them: after the metadata, before the
// track.
void gpx_write_header(TextOut& t, const char* path, const DatHeader& header, bool timed = false,
                      const std::vector<GpxWaypoint>& waypoints = {});
// The point of the record attached to `ev`.
void gpx_write_point(TextOut& t, const LogEvent& ev, bool timed = false);
// Ends the open segment and starts the next: one segment per chapter in a
// track that spans the whole log.
void gpx_write_segment_break(TextOut& t);
void gpx_write_footer(TextOut& t);

}  // namespace tarvex
