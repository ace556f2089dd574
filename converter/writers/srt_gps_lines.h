// The GPS lines of an SRT entry: the GpsFix or GpsNavData layout of the
// record in effect.
#pragma once

#include "log_event.h"
#include "run_options.h"
#include "settings.h"
#include "text_out.h"

namespace tarvex {

// GPS lines of one entry, appended to its text in `t` (updates
// run.last_gps_kind).
void put_gps_lines(TextOut& t, const LogEvent& ev, const Settings& settings, RunOptions& run);

}  // namespace tarvex
