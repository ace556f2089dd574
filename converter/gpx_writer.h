// GPX 1.1 track: one track, one segment, one point per fresh GPS record.
#pragma once

#include <cstdio>

#include "dat_format.h"
#include "log_event.h"

namespace tarvex {

void gpx_write_header(std::FILE* out /* or nullptr */, const char* path, const DatHeader& header);
void gpx_write_point(std::FILE* out /* or nullptr */, const LogEvent& ev);
void gpx_write_footer(std::FILE* out /* or nullptr */);

}  // namespace tarvex
