// What one conversion achieved, kept by the driver for the summary lines of
// card mode and --strict: a run can end with status 0 yet leave part of the
// log without subtitles, and a script must be able to tell.
#pragma once

#include <array>
#include <cstdint>

#include "chapters.h"

namespace tarvex {

// Plain data: card mode gets it back from a child process through shared memory.
struct RunOutcome {
    bool started = false;               // the command line was accepted and the conversion began
    std::int32_t chapters_written = 0;  // chapters whose subtitle file was opened
    std::uint32_t chapters_end_ms = 0;  // log time at which the last chapter found ends
    bool have_samples = false;
    std::uint32_t last_sample_ms = 0;                    // log time of the log's last sample
    std::array<char, PATH_BUFFER_SIZE> next_chapter{};   // the chapter video looked for last and not found
    bool settings_found = false;                         // a settings file was read
    std::array<char, PATH_BUFFER_SIZE> settings_path{};  // its name, as given
};

// Log time after the last chapter found that no chapter shows, ms.
inline std::uint32_t ms_left_unconverted(const RunOutcome& o) {
    return o.have_samples && o.last_sample_ms > o.chapters_end_ms ? o.last_sample_ms - o.chapters_end_ms : 0;
}

// At least one chapter written, and the last sample inside the last chapter.
inline bool converted_completely(const RunOutcome& o) { return o.chapters_written > 0 && ms_left_unconverted(o) == 0; }

}  // namespace tarvex
