// The ride page: one self-contained HTML file that plays a recording's video
// chapters as one time line beside the ride's plot, track map, live values,
// statistics and highlights. Written by `datview page` and, with the
// settings key `ride_page`, by the converter beside the chapters; it lives in
// the converter's event library, which datview links, so that both programs
// share one writer without datview reaching the conversion or the program.
#pragma once

#include <cstdint>
#include <string>

#include "chapters.h"
#include "settings.h"

namespace tarvex {

struct RidePageRequest {
    const char* log_path = nullptr;
    const char* out_path = nullptr;
    const char* settings_path = nullptr;  // the settings' file, if any: never replaced by the page
    const char* first_chapter = nullptr;  // nullptr: a page without video
    ChapterNaming naming{};
    bool high_g = false;          // 200 G accelerometer
    std::int32_t alt_adjust = 0;  // ft, as the converter's -a
};

enum class RidePageResult {
    Written,
    NoSamples,    // nothing to show: no page written
    Unreadable,   // the log cannot be opened or its header read
    OverInput,    // the page's name is one of its inputs (log, settings, a chapter)
    WriteFailed,  // the output routine's failure; nothing replaced
};

// Gathers the ride in one pass of the event pipeline with `settings` (as
// loaded) made the log's as a conversion makes them, then writes the page
// through a temporary file and rename.
// `message` says what was written, or why not, in one line.
RidePageResult write_ride_page(const RidePageRequest& request, const Settings& settings, std::string& message);

}  // namespace tarvex
