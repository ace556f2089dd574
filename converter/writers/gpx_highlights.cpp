// Highlights to waypoints. A waypoint stands exactly on a point of the track
// (the same record, so the same text for its position and time), which is
// what map programs and their users expect of a marked moment.
#include "gpx_highlights.h"

#include "ride_stats.h"

namespace tarvex {

std::vector<GpxWaypoint> highlight_waypoints(const char* dat_path, const char* base_path, ChapterNaming naming,
                                             const Settings& settings, const RunOptions& run) {
    RideOptions options;
    options.high_g = run.high_g != 0;
    options.alt_adjust = run.alt_adjust;
    RideReport report;
    if (!compute_ride(dat_path, settings, options, report)) return {};
    place_in_chapters(report, find_ride_chapters(base_path, naming, report.last_ms));
    if (report.chapters.empty()) return {};
    const RideChapter& last = report.chapters.back();
    const std::int64_t converted_to_ms = last.start_ms + last.len_ms;  // later samples reach no output

    std::vector<GpxWaypoint> waypoints;
    bool first_hit = true;
    for (const Highlight& h : report.highlights) {
        const std::string label = highlight_label(h, first_hit && h.kind == HighlightKind::G);
        if (h.kind == HighlightKind::G) first_hit = false;
        if (!h.fix || h.fix->sample_ms > converted_to_ms) continue;
        GpxWaypoint w;
        w.fix = h.fix->record;
        w.name = highlight_name(h);
        w.desc = label + ": " +
                 (h.chapter.empty() ? "log time " + clock_text(h.log_time_ms) + ", after the last video chapter"
                                    : h.chapter + " at " + clock_text(*h.chapter_time_ms));
        waypoints.push_back(std::move(w));
    }
    return waypoints;
}

}  // namespace tarvex
