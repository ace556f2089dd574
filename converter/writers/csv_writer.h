// The CSV table: heading block, then one row per sensor event.
#pragma once

#include "dat_format.h"
#include "log_event.h"
#include "maker.h"
#include "text_out.h"

namespace tarvex {

void csv_write_header(TextOut& t, const DatHeader& header);
void csv_write_row(TextOut& t, const LogEvent& ev);

}  // namespace tarvex
