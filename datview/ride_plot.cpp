// The plot command: settings, the ride's readings, the chapters, then the
// picture. The output is written only once everything is gathered, and never
// over the log, the settings file or a chapter video.
#include "ride_plot.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

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

// A chapter video, by its name (GOPR0001.MP4, any case) or by what it holds
// (an MP4 starts with its file-type box).
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

std::string base_name(const char* path) {
    const std::string p = path;
    const auto slash = p.rfind('/');
    return slash == std::string::npos ? p : p.substr(slash + 1);
}

}  // namespace

int plot_ride(const PlotOptions& o) {
    if (same_file(o.out_path, o.log_path) || same_file(o.out_path, o.settings_path) || is_video(o.out_path)) {
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
    if (o.first_chapter != nullptr) ride->chapters = find_chapters(o.first_chapter, ride->t1_ms);

    // Written beside its name and renamed onto it once complete: a failed
    // run leaves an earlier picture as it was.
    const std::string temp = std::string(o.out_path) + ".part";
    std::remove(temp.c_str());  // left by a killed run; "x": never through a link
    std::FILE* out = std::fopen(temp.c_str(), "wx");
    if (out == nullptr) {
        std::fprintf(stderr, "datview: cannot write %s\n", o.out_path);
        return EXIT_UNUSABLE;
    }
    draw_ride(out, *ride, base_name(o.log_path));
    const long size = std::ftell(out);
    const bool failed = std::ferror(out) != 0;
    if (std::fclose(out) != 0 || failed || std::rename(temp.c_str(), o.out_path) != 0) {
        std::remove(temp.c_str());
        std::fprintf(stderr, "datview: writing %s failed\n", o.out_path);
        return EXIT_UNUSABLE;
    }
    std::printf("Wrote %s: %ld bytes\n", o.out_path, size);
    return EXIT_OK;
}

}  // namespace tarvex::datview
