// The plot command: settings, the ride's readings, the chapters, then the
// picture. The output is written only once everything is gathered, never
// over the log, the settings file or a chapter's video it was made from.
#include "ride_plot.h"

#include <sys/stat.h>

#include <cstdio>
#include <memory>

#include "input_file.h"
#include "log_health.h"
#include "output_file.h"
#include "plot_layout.h"
#include "ride_series.h"
#include "settings.h"

namespace tarvex::datview {

namespace {

std::string base_name(const char* path) {
    const std::string p = path;
    const auto slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

int refuse(const char* out_path) {
    std::fprintf(stderr, "datview: refusing to write the picture over its input %s\n", out_path);
    return EXIT_UNUSABLE;
}

}  // namespace

int plot_ride(const PlotOptions& o) {
    // The guard of the converter's outputs: by name, or by the file itself.
    InputFile log, settings, first_chapter;
    log.set(o.log_path);
    settings.set(o.settings_path);
    if (o.first_chapter != nullptr) first_chapter.set(o.first_chapter);
    for (const InputFile* in : {&log, &settings, &first_chapter})
        if (in->is(o.out_path)) return refuse(o.out_path);
    auto ride = std::make_unique<RideData>(PLOT_COLUMNS);
    settings_load(o.settings_path, ride->settings);
    if (!collect_ride(o.log_path, *ride, o.high_g)) {
        std::fprintf(stderr, "datview: %s: not a readable DAT log (see datview info)\n", o.log_path);
        return EXIT_UNUSABLE;
    }
    if (ride->samples == 0) {
        std::fprintf(stderr, "datview: %s holds no sensor samples: nothing to plot\n", o.log_path);
        return EXIT_PROBLEMS;
    }
    if (o.first_chapter != nullptr) ride->chapters = find_chapters(o.first_chapter, ride->t1_ms);
    for (const Chapter& c : ride->chapters) {
        InputFile video;
        video.set(c.path.c_str());
        if (video.is(o.out_path)) return refuse(o.out_path);
    }
    // Written whole or not at all, as the converter's outputs are.
    OutputFile out;
    if (!out.open(o.out_path)) {
        std::fprintf(stderr, "datview: cannot write %s\n", o.out_path);
        return EXIT_UNUSABLE;
    }
    draw_ride(out.text(), *ride, base_name(o.log_path));
    struct stat st {};
    if (!out.close() || !out.publish() || stat(o.out_path, &st) != 0) {
        out.discard();
        std::fprintf(stderr, "datview: writing %s failed\n", o.out_path);
        return EXIT_UNUSABLE;
    }
    const long size = static_cast<long>(st.st_size);
    std::printf("Wrote %s: %ld bytes\n", o.out_path, size);
    return EXIT_OK;
}

}  // namespace tarvex::datview
