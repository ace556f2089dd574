// The CSV table: heading block, then one row per sensor event.
#pragma once

#include <cstdio>

#include "dat_format.h"
#include "log_event.h"
#include "maker.h"
#include "text_out.h"

namespace tarvex {

void csv_write_header(std::FILE* out /* or nullptr */, const DatHeader& header);
// One row. The stream form is for callers without a TextOut (nothing when
// `out` is nullptr).
void csv_write_row(TextOut& t, const LogEvent& ev);
void csv_write_row(std::FILE* out, const LogEvent& ev);

}  // namespace tarvex
