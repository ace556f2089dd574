// The settings a log is converted with: the loaded settings, with the filter
// levels turned into sample counts for the hardware that wrote the log and,
// on a unit with the GPS expander, the expander's own GPS lag. The converter,
// datview and the fuzz target all take a log's settings from here.
#pragma once

#include <cstdio>

#include "dat_format.h"
#include "settings.h"

namespace tarvex {

// Adjusts `settings` (as loaded) for the log with this header. `console`
// (the converter's stdout) gets the filter lines and the hardware-GPS line;
// nullptr keeps it silent.
void settings_for_log(Settings& settings, const DatHeader& header, std::FILE* console);

}  // namespace tarvex
