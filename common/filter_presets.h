// Turns the settings' filter levels (low/medium/high) into window half-widths
// in samples, depending on the hardware revision that wrote the log.
#pragma once

#include <cstdint>
#include <cstdio>

#include "settings.h"

namespace tarvex {

// `console` gets what was chosen (and a line for a level that cannot be
// right); nullptr keeps it silent.
void resolve_filter_presets(Settings& settings, std::uint32_t hw_revision, std::FILE* console);

}  // namespace tarvex
