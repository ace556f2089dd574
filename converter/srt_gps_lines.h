// The GPS lines of an SRT entry: the GpsFix or GpsNavData layout of the
// record in effect.
#pragma once

#include <cstdio>

#include "log_event.h"
#include "run_options.h"
#include "settings.h"
#include "text_out.h"

namespace tarvex {

// GPS lines of one entry (updates run.last_gps_kind).
void srt_write_gps_lines(std::FILE* out, const LogEvent& ev, const Settings& settings, RunOptions& run);
// The same, appended to the entry's text in `t`.
void put_gps_lines(TextOut& t, const LogEvent& ev, const Settings& settings, RunOptions& run);

}  // namespace tarvex
