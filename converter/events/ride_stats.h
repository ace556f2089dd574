// The ride in numbers: statistics (height range, climb, hardest G, speed,
// distance...) and the highlights a rider looks for in the video, computed
// from one run of the event pipeline with the conversion's settings, so that
// every smoothed value is the one the subtitles show. Shared by datview
// (report, picture) and the converter (GPX waypoints); plain records, SI units.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "chapters.h"
#include "log_event.h"
#include "settings.h"

namespace tarvex {

// Dead band of climb and descent, m: a high or low point of the smoothed
// height counts as a turning point only once the height has come back from
// it by this much. Barometric noise of a few decimetres on level ground then
// adds nothing, while every real rise and fall between turning points counts
// whole.
inline constexpr double CLIMB_DEAD_BAND_M = 2.0;
// G peaks closer than this are one hit (the harder counts).
inline constexpr std::int64_t HIT_SEPARATION_MS = 3000;
// A hit stands out from riding: at rest the pack reads 1 G, and ordinary
// vibration stays well below this (smoothed magnitude, G).
inline constexpr double HIT_MIN_G = 1.5;
inline constexpr std::size_t MAX_HITS = 5;
// A fix at this speed or more counts towards the moving average.
inline constexpr double MOVING_KMH = 2.0;
// Samples over which the climb rate is taken when the settings'
// speed_window is 0 (about one second at ten samples per second).
inline constexpr std::int32_t RATE_WINDOW_SAMPLES = 10;
// A GPS record older than this is no longer attached (the pipeline's rule),
// so longer steps between fixes are not moving time.
inline constexpr std::int64_t FIX_GAP_MS = 5000;

// Every field is empty when the log has no data for it.
struct RideStats {
    std::optional<double> duration_s;                  // first to last sample
    std::optional<double> height_max_m, height_min_m;  // smoothed, above the ground calibration
    std::optional<double> climb_m, descent_m;          // smoothed height, CLIMB_DEAD_BAND_M
    std::optional<double> climb_rate_max_m_s;          // upwards, > 0 when climbing
    std::optional<double> sink_rate_max_m_s;           // downwards, > 0 when sinking
    std::optional<double> g_max;                       // smoothed acceleration magnitude
    std::optional<double> temperature_min_c, temperature_max_c;
    std::optional<double> speed_max_kmh, speed_avg_kmh;  // GPS; average over moving time
    std::optional<double> distance_m;                    // the conversion's odometer
};

enum class HighlightKind { G, Height, Speed, Climb, Sink };
// "g", "height", "speed", "climb", "sink".
const char* highlight_kind_name(HighlightKind kind);

// The GPS fix nearest in time to a highlight, among those a conversion
// writes as track points (GpsFix and GpsNavData records taken up fresh).
struct HighlightFix {
    double lat_deg = 0.0, lon_deg = 0.0, ele_m = 0.0;
    std::int64_t log_time_ms = 0;  // the fix's own time (moved earlier by the GPS lag)
    std::int64_t sample_ms = 0;    // the sample that takes it up: where its track point is written
    LogEntry record;               // as the pipeline holds it, for writers that print it as the track does
};

struct Highlight {
    HighlightKind kind = HighlightKind::G;
    double value = 0.0;      // in `unit`
    const char* unit = "G";  // "G", "m", "km/h", "m/s"
    std::int64_t log_time_ms = 0;
    std::string chapter;                          // file name of the video showing it; empty: none
    std::optional<std::int64_t> chapter_time_ms;  // time inside that chapter
    std::optional<HighlightFix> fix;              // none when the log has no position near it
};

// A fresh position of the track, for maps.
struct TrackPoint {
    std::int64_t log_time_ms = 0;
    double lat_deg = 0.0, lon_deg = 0.0;
};

// A video chapter on the log's time line: it shows log times start_ms to
// start_ms + len_ms inclusive, as a conversion places them.
struct RideChapter {
    std::int64_t start_ms = 0;
    std::int32_t len_ms = 0;
    std::string name;  // file name without folder, e.g. GP010042.MP4
    std::string path;  // as opened
};

struct RideReport {
    RideStats stats;
    // The hits, hardest first; then the highest point, the fastest point,
    // the steepest climb and the steepest sink, those the log has.
    std::vector<Highlight> highlights;
    std::vector<TrackPoint> track;      // filled with RideOptions::keep_track
    std::vector<RideChapter> chapters;  // set by place_in_chapters
    bool placed = false;                // place_in_chapters ran (chapters asked for, found or not)
    std::uint64_t samples = 0;
    std::int64_t first_ms = 0, last_ms = 0;          // earliest and latest sample time
    std::int32_t rate_window = RATE_WINDOW_SAMPLES;  // samples per climb rate
};

struct RideOptions {
    bool high_g = false;          // 200 G accelerometer
    std::int32_t alt_adjust = 0;  // ft, as the converter's -a
    bool keep_track = false;
};

// Reads the log at `log_path` through a pipeline of its own with `settings`
// as a conversion of this log uses them (filter presets resolved, the
// expander's GPS lag applied). The pipeline's messages about damaged entries
// are not printed (the caller's own pass, or report, says them). False when
// the log cannot be opened or is not a regular file (a FIFO's bytes are the
// conversion's).
bool compute_ride(const char* log_path, const Settings& settings, const RideOptions& options, RideReport& report);

// The same for a caller that runs the pipeline itself: add every event in
// order, before changing it, then finish.
class RideStatsBuilder {
public:
    RideStatsBuilder(const Settings& settings, const RideOptions& options);
    ~RideStatsBuilder();
    RideStatsBuilder(const RideStatsBuilder&) = delete;
    RideStatsBuilder& operator=(const RideStatsBuilder&) = delete;
    void add(const LogEvent& ev);
    RideReport finish();

private:
    struct State;
    std::unique_ptr<State> s_;
};

// The chapters from the first one's name, as a conversion finds them (the
// converter's naming and MP4 probe), while the log reaches into them. Probes
// each file once, without the conversion's waiting for a file still being
// written.
std::vector<RideChapter> find_ride_chapters(const char* first_chapter, ChapterNaming naming, std::int64_t last_ms);
// Keeps the chapters in the report and sets each highlight's chapter and
// time inside it; a moment after the last chapter has none.
void place_in_chapters(RideReport& report, std::vector<RideChapter> chapters);

// {"ride":{...},"highlights":[...]}: SI units, null for what is missing.
std::string ride_json(const RideReport& report);
// The two members alone, to go into a larger object.
std::string ride_stats_json(const RideStats& stats);
std::string highlights_json(const std::vector<Highlight>& highlights);

// The text form: a "ride:" block of label lines, then one line per highlight.
void print_ride_text(std::FILE* out, const RideReport& report);
// "hardest hit", "hit", "highest point", "top speed", "steepest climb", "steepest sink".
std::string highlight_label(const Highlight& h, bool first_hit);
// A short name for maps and pictures: "2.8 G", "top speed 42 km/h".
std::string highlight_name(const Highlight& h);
// "1:10" under an hour, "1:02:03" from one on.
std::string clock_text(std::int64_t ms);

}  // namespace tarvex
