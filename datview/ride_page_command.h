// `datview page`: the ride page (video, plot, map, values, highlights) as one
// self-contained HTML file, written by the converter library's page writer.
#pragma once

namespace tarvex::datview {

struct PageOptions {
    const char* log_path = nullptr;
    const char* out_path = nullptr;
    const char* settings_path = "settings.txt";  // as the converter: in the working folder
    const char* first_chapter = nullptr;         // the page plays the chapters from this one on
    bool high_g = false;                         // 200 G accelerometer instead of 16 G
};

// Returns the exit status: 0 written, 1 nothing to show (no samples), 2 the
// log cannot be read, or the page would replace an input or was not written.
int page_command(const PageOptions& options);

}  // namespace tarvex::datview
