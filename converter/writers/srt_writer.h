// SubRip entries, one per sensor event, with minimum spacing.
#pragma once

#include <cstdint>

#include "log_event.h"
#include "run_options.h"
#include "settings.h"
#include "text_out.h"

namespace tarvex {

// `last_sub_time` is the end time of the chapter's last entry, or NO_SUB_TIME.
void srt_write_entry(TextOut& t, LogEvent& ev, std::int32_t number, const Settings& settings, RunOptions& run,
                     std::uint32_t& last_sub_time);
void accel_scale_tenths(LogEvent& ev, const RunOptions& run);
void accel_scale_hundredths(LogEvent& ev, const RunOptions& run);

}  // namespace tarvex
