// Turns the settings' filter levels (low/medium/high) into window half-widths
// in samples, depending on the hardware revision that wrote the log.
#pragma once

#include <cstdint>

#include "settings.h"

namespace tarvex {

void resolve_filter_presets(Settings& settings, std::uint32_t hw_revision);

}  // namespace tarvex
