// The CSV table: heading block, then one row per sensor event.
#pragma once

#include <cstdio>

#include "dat_format.h"
#include "log_event.h"
#include "maker.h"

namespace tarvex {

void csv_write_header(std::FILE* out /* or nullptr */, const DatHeader& header);
void csv_write_row(std::FILE* out, const LogEvent& ev);

}  // namespace tarvex
