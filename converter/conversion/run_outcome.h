// What one conversion achieved, kept by the driver for the summary lines of
// card mode and --strict: a run can end with status 0 yet leave part of the
// log without subtitles, and a script must be able to tell.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "chapters.h"

namespace tarvex {

// Room for the message that ended a run: two paths and the words around them.
inline constexpr std::size_t FAILURE_TEXT_SIZE = 2 * PATH_BUFFER_SIZE + 128;

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
    // The console line of the failure that ended the run, without the
    // newline; empty when the run did not fail.
    std::array<char, FAILURE_TEXT_SIZE> failure{};
};

// Records `text` as the run's failure (a later failure replaces an earlier one,
// as the later line is the one the console ends with).
void note_failure(RunOutcome& o, const std::string& text);

// Log time after the last chapter found that no chapter shows, ms.
inline std::uint32_t ms_left_unconverted(const RunOutcome& o) {
    return o.have_samples && o.last_sample_ms > o.chapters_end_ms ? o.last_sample_ms - o.chapters_end_ms : 0;
}

// Log time after the last chapter that still counts as converted, ms. The
// recorder sees a recording end only at its next status checks, so its log
// normally runs a little past the video (about 0.03 to 0.12 s); a missing
// chapter leaves far more.
inline constexpr std::uint32_t LOG_PAST_VIDEO_ALLOWED_MS = 1000;

// At least one chapter written, and the log's last sample within the
// allowance after the last chapter.
inline bool converted_completely(const RunOutcome& o) {
    return o.chapters_written > 0 && ms_left_unconverted(o) <= LOG_PAST_VIDEO_ALLOWED_MS;
}

// How a conversion ended, in the process that ran it or in a child.
struct ConversionResult {
    int exit_status = -1;  // the conversion's exit status; -1 when it did not exit
    int signal = 0;        // the signal that ended it, or 0
    RunOutcome outcome;
};

// Whether the conversion converted its log completely.
bool conversion_converted(const ConversionResult& result);

// "<log>: converted, ..." or "<log>: failed, <reason>", then "; settings: <file>",
// the names in it made printable (printable_name.h).
std::string summary_line(const std::string& log, const ConversionResult& result, const std::string& settings);
// That line on stdout.
void print_summary_line(const std::string& log, const ConversionResult& result, const std::string& settings);

}  // namespace tarvex
