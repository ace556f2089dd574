// SubRip entries, one per sensor event, with minimum spacing.
#pragma once

#include <cstdint>

#include "log_event.h"
#include "run_options.h"
#include "settings.h"
#include "text_out.h"

namespace tarvex {

// Minimum spacing of entries, the same for every subtitle format: true when
// an event at `t_end` (ms) gets an entry, which starts at `t_start`; then
// `last_sub_time` becomes `t_end`.
inline bool take_subtitle_slot(std::uint32_t t_end, std::int32_t min_sub_delay, std::uint32_t& last_sub_time,
                               std::uint32_t& t_start) {
    t_start = 0;
    if (last_sub_time != NO_SUB_TIME) {
        // Unsigned: an event earlier than the last entry is never skipped.
        if (t_end - last_sub_time < static_cast<std::uint32_t>(min_sub_delay)) return false;
        t_start = last_sub_time;
    }
    last_sub_time = t_end;
    return true;
}

// The entry of an event that take_subtitle_slot gave a slot from `t_start` (ms).
void srt_put_entry(TextOut& t, LogEvent& ev, std::int32_t number, std::uint32_t t_start, const Settings& settings,
                   RunOptions& run);

// `last_sub_time` is the end time of the chapter's last entry, or NO_SUB_TIME.
// Inline: most events of a dense log get no entry, and then cost no call.
inline void srt_write_entry(TextOut& t, LogEvent& ev, std::int32_t number, const Settings& settings, RunOptions& run,
                            std::uint32_t& last_sub_time) {
    std::uint32_t t_start = 0;
    if (take_subtitle_slot(ev.vid_timestamp, settings.min_sub_delay, last_sub_time, t_start)) {
        srt_put_entry(t, ev, number, t_start, settings, run);
    }
}

void accel_scale_tenths(LogEvent& ev, const RunOptions& run);
void accel_scale_hundredths(LogEvent& ev, const RunOptions& run);

}  // namespace tarvex
