// `datview plot`: the ride as one SVG picture.
#pragma once

namespace tarvex::datview {

struct PlotOptions {
    const char* log_path = nullptr;
    const char* out_path = nullptr;
    const char* settings_path = "settings.txt";  // as the converter: in the working folder
    const char* first_chapter = nullptr;         // marks the video chapters when given
    bool high_g = false;                         // 200 G accelerometer instead of 16 G
};

// Returns the exit status: 0 written, 1 nothing to plot (no samples), 2 the
// log cannot be read or the picture not written.
int plot_ride(const PlotOptions& options);

}  // namespace tarvex::datview
