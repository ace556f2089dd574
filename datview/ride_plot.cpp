// The plot command: settings, the ride's readings, the chapters, then the
// picture. The output is written only once everything is gathered, never
// over the log, the settings file or a chapter's video it was made from.
#include "ride_plot.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

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

// A chapter video even when no chapter was named: by its name (GOPR0001.MP4,
// any case) or by what it holds (an MP4 starts with its file-type box).
bool is_video(const char* path) {
    const std::string name = path;
    if (name.size() >= 4) {
        std::string ext = name.substr(name.size() - 4);
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        if (ext == ".mp4") return true;
    }
    char head[8] = {};
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return false;
    const bool mp4 = std::fread(head, 1, sizeof head, f) == sizeof head && std::memcmp(head + 4, "ftyp", 4) == 0;
    std::fclose(f);
    return mp4;
}

int refuse(const char* out_path) {
    std::fprintf(stderr, "datview: refusing to write the picture over its input %s\n", out_path);
    return EXIT_UNUSABLE;
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
    // The guard of the converter's outputs: by name, or by the file itself.
    InputFile log, settings, first_chapter;
    log.set(o.log_path);
    settings.set(o.settings_path);
    if (o.first_chapter != nullptr) first_chapter.set(o.first_chapter);
    for (const InputFile* in : {&log, &settings, &first_chapter})
        if (in->is(o.out_path)) return refuse(o.out_path);
    if (is_video(o.out_path)) return refuse(o.out_path);
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
    if (ride->video_given)
        ride->chapters = find_ride_chapters(o.first_chapter, chapter_naming(o.first_chapter, true), ride->t1_ms);
    RideOptions ride_options;
    ride_options.high_g = o.high_g;
    ride_options.keep_track = true;
    compute_ride(o.log_path, ride->settings, ride_options, ride->report);
    if (ride->video_given) place_in_chapters(ride->report, ride->chapters);

    for (const RideChapter& c : ride->chapters) {
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
