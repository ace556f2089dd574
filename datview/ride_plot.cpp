// The plot command: settings, the ride's readings, the chapters, then the
// picture. The output is written only once everything is gathered, and never
// over the log or the settings file it was made from.
#include "ride_plot.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <memory>

#include "log_health.h"
#include "plot_layout.h"
#include "ride_series.h"
#include "settings.h"

namespace tarvex::datview {

namespace {

bool same_file(const char* a, const char* b) {
    struct stat sa {
    }, sb{};
    return stat(a, &sa) == 0 && stat(b, &sb) == 0 && sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

std::string base_name(const char* path) {
    const std::string p = path;
    const auto slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

// The picture is SVG only: a name asking for a raster or print format is
// refused rather than given SVG bytes under that name.
bool names_other_format(const char* path) {
    std::string ext = path;
    const auto dot = ext.rfind('.');
    if (dot == std::string::npos || ext.find('/', dot) != std::string::npos) return false;
    ext.erase(0, dot + 1);
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* other : {"png", "jpg", "jpeg", "gif", "webp", "pdf"})
        if (ext == other) return true;
    return false;
}

}  // namespace

int plot_ride(const PlotOptions& o) {
    if (names_other_format(o.out_path)) {
        std::fprintf(stderr,
                     "datview: %s: plot writes SVG only; write PICTURE.svg and convert it, e.g. "
                     "rsvg-convert PICTURE.svg -o PICTURE.png\n",
                     o.out_path);
        return EXIT_UNUSABLE;
    }
    if (same_file(o.out_path, o.log_path) || same_file(o.out_path, o.settings_path)) {
        std::fprintf(stderr, "datview: refusing to write the picture over its input %s\n", o.out_path);
        return EXIT_UNUSABLE;
    }
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
    ride->video_given = o.first_chapter != nullptr;
    if (ride->video_given) ride->chapters = find_chapters(o.first_chapter, ride->t1_ms);
    RideOptions ride_options;
    ride_options.high_g = o.high_g;
    ride_options.keep_track = true;
    compute_ride(o.log_path, ride->settings, ride_options, ride->report);
    if (o.first_chapter != nullptr) {
        std::vector<RideChapter> chapters;
        for (const Chapter& c : ride->chapters) chapters.push_back({c.start_ms, c.len_ms, c.name});
        place_in_chapters(ride->report, std::move(chapters));
    }

    std::FILE* out = std::fopen(o.out_path, "w");
    if (out == nullptr) {
        std::fprintf(stderr, "datview: cannot write %s\n", o.out_path);
        return EXIT_UNUSABLE;
    }
    draw_ride(out, *ride, base_name(o.log_path));
    const long size = std::ftell(out);
    const bool failed = std::ferror(out) != 0;
    if (std::fclose(out) != 0 || failed) {
        std::fprintf(stderr, "datview: writing %s failed\n", o.out_path);
        return EXIT_UNUSABLE;
    }
    std::printf("Wrote %s: %ld bytes\n", o.out_path, size);
    return EXIT_OK;
}

}  // namespace tarvex::datview
