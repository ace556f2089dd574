// The styled overlay: per chapter an Advanced SubStation Alpha (ASS) script
// that libass (mpv, VLC, ffmpeg) renders over the video. One event per SRT
// entry, with the entry's times and items, in a block of fixed-width lines in
// a corner of the frame over a translucent box, with the G bar drawn to scale.
// SRT has no position, font or drawing; this format has all three.
#pragma once

#include <cstdint>
#include <string>

#include "log_event.h"
#include "run_options.h"
#include "settings.h"
#include "text_out.h"

namespace tarvex {

class AssOverlay {
public:
    AssOverlay(const Settings& settings, const RunOptions& run);

    // Starts a chapter's script: header and styles; `title` is the
    // chapter's name, which players show.
    void start(TextOut& t, const char* title);
    // The event for `ev` when the SRT gets an entry for it: call it before
    // the SRT writer, which rescales the event's acceleration in place.
    void write_entry(TextOut& t, const LogEvent& ev);
    // Ends the chapter: the box behind the block, from 0 to the last entry's
    // end, as tall as the lines the entries used.
    void finish(TextOut& t);

private:
    // Geometry of the block in script pixels (PlayRes 1920x1080, scaled to
    // the video by the renderer). Fixed by the settings, so that nothing moves.
    struct Block {
        std::int32_t x = 0, y = 0;        // top left of the box
        std::int32_t width = 0;           // of the box
        std::int32_t fixed_lines = 0;     // lines every entry has (GPS lines follow them)
        std::int32_t most_gps_lines = 0;  // most GPS lines the settings can give
    };

    void put_lines(Row& t, const LogEvent& ev);
    std::int32_t put_gps_lines(Row& t, const LogEvent& ev, bool& first);

    const Settings& settings_;
    const RunOptions& run_;
    Block block_;
    std::string event_style_;                    // an entry's fields after its times, up to its text
    std::string bar_scale_;                      // the G bar's drawing without the fill
    std::uint32_t last_sub_time_ = NO_SUB_TIME;  // end of the chapter's last entry (ms)
    std::int32_t gps_lines_ = 0;                 // most GPS lines an entry of the chapter had
};

}  // namespace tarvex
