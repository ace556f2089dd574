// Ride statistics and highlights, gathered sample by sample from the
// pipeline's events in bounded memory (a few records per highlight, whatever
// the log's length), so that the converter can afford it as a first pass.
// Floating point throughout: these are reports, not the subtitles' integers.
#include "ride_stats.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

#include "byte_order.h"
#include "pipeline.h"
#include "regular_input.h"
#include "stdio_file.h"
#include "units.h"

namespace tarvex {

namespace {

std::int64_t time_apart(const HighlightFix& f, std::int64_t t_ms) {
    return f.log_time_ms > t_ms ? f.log_time_ms - t_ms : t_ms - f.log_time_ms;
}

// The last few positions: a moment placed a little in the past (the middle
// of a climb-rate window) still finds the fixes taken up since.
struct RecentFixes {
    static constexpr std::size_t SLOTS = 16;  // 3 s of fixes at 5 per second
    std::array<HighlightFix, SLOTS> fixes{};
    std::size_t count = 0, next = 0;

    void add(const HighlightFix& f) {
        fixes[next] = f;
        next = (next + 1) % SLOTS;
        count = std::min(count + 1, SLOTS);
    }
    std::optional<HighlightFix> nearest(std::int64_t t_ms) const {
        std::optional<HighlightFix> best;
        for (std::size_t i = 0; i < count; ++i)
            if (!best || time_apart(fixes[i], t_ms) < time_apart(*best, t_ms)) best = fixes[i];
        return best;
    }
};

// A candidate highlight and the fix nearest to it so far. Fixes come in log
// order, so once one lies after the moment and is no nearer than the best,
// none later can be nearer.
struct Moment {
    bool set = false;
    double value = 0.0;
    std::int64_t t_ms = 0;
    std::optional<HighlightFix> fix;
    bool fix_final = false;

    void place(double v, std::int64_t t, const RecentFixes& recent) {
        set = true;
        value = v;
        t_ms = t;
        fix = recent.nearest(t);
        fix_final = false;
    }
    void note_fix(const HighlightFix& f) {
        if (!set || fix_final) return;
        if (!fix || time_apart(f, t_ms) < time_apart(*fix, t_ms)) fix = f;
        else if (f.log_time_ms > t_ms) fix_final = true;
    }
};

bool is_kind(const LogEntry& e, EntryKind k) { return e.type == static_cast<std::uint16_t>(k); }

// The position of a record a conversion writes as a track point.
std::optional<HighlightFix> position_of(const LogEvent& rec, std::int64_t sample_ms) {
    HighlightFix f;
    if (is_kind(rec, EntryKind::GpsFix)) {
        const GpsFix g = decode_gps_fix(rec);
        // The whole degrees carry the sign, the fraction adds away from zero.
        const auto deg = [](std::int16_t whole, std::uint32_t frac) {
            return whole < 0 ? whole - frac / 1e6 : whole + frac / 1e6;
        };
        f.lat_deg = deg(g.lat_deg, g.lat_frac);
        f.lon_deg = deg(g.lon_deg, g.lon_frac);
        f.ele_m = g.gps_alt / 100.0;
    } else if (is_kind(rec, EntryKind::GpsNavData)) {
        const GpsNavData n = decode_gps_nav_data(rec);
        f.lat_deg = n.lat / 1e7;
        f.lon_deg = n.lon / 1e7;
        f.ele_m = n.gps_alt / 100.0;
    } else {
        return std::nullopt;
    }
    f.log_time_ms = rec.vid_timestamp;
    f.sample_ms = sample_ms;
    f.record = rec;
    return f;
}

// Ground speed of a record in km/h; GpsFix2's was moved to the GpsFix place when read.
std::optional<double> speed_of(const LogEvent& rec) {
    if (is_kind(rec, EntryKind::GpsFix) || is_kind(rec, EntryKind::GpsFix2))
        return load_le_i16(rec.payload.data() + fix_off::gps_speed);
    if (is_kind(rec, EntryKind::GpsNavData)) return load_le_i32(rec.payload.data() + nav_off::h_speed);
    return std::nullopt;
}

// The odometer as a conversion shows it, in metres: GpsFix counts 10 m units
// since the log's first fix, GpsNavData the pipeline's running total in cm.
std::optional<double> odometer_of(const LogEvent& rec) {
    if (is_kind(rec, EntryKind::GpsFix)) return load_le_i32(rec.payload.data() + fix_off::dist) * 10.0;
    if (is_kind(rec, EntryKind::GpsNavData)) return rec.dist / 100.0;
    return std::nullopt;
}

void keep_min_max(std::optional<double>& lo, std::optional<double>& hi, double v) {
    if (!lo || v < *lo) lo = v;
    if (!hi || v > *hi) hi = v;
}

}  // namespace

const char* highlight_kind_name(HighlightKind kind) {
    switch (kind) {
        case HighlightKind::G: return "g";
        case HighlightKind::Height: return "height";
        case HighlightKind::Speed: return "speed";
        case HighlightKind::Climb: return "climb";
        case HighlightKind::Sink: return "sink";
    }
    return "g";
}

struct RideStatsBuilder::State {
    RideOptions options;
    double per_g = 2048.0;
    RideReport r;
    RecentFixes recent;

    Moment highest, climb, sink, fastest;
    std::vector<Moment> hits;  // at least HIT_SEPARATION_MS apart

    // Climb and descent: a turning point counts once the height has come
    // back from the extreme by the dead band; the rise or fall up to that
    // extreme then counts whole.
    enum class Trend { Unknown, Up, Down };
    Trend trend = Trend::Unknown;
    std::optional<double> turn_m;  // the last turning point (first: the first height)
    double extreme_m = 0.0;        // highest (Up) or lowest (Down) height since it
    double climb_m = 0.0, descent_m = 0.0;

    struct Past {
        std::int64_t t_ms;
        std::int32_t alt_ft;
    };
    std::vector<Past> past;  // the last rate_window + 1 smoothed heights
    std::uint64_t n = 0;

    std::optional<double> speed_max, distance;
    std::optional<std::int64_t> prev_speed_ms;
    double prev_speed = 0.0, moving_ms = 0.0, moving_sum = 0.0;

    void note_position(const HighlightFix& f) {
        for (Moment* m : {&highest, &climb, &sink, &fastest}) m->note_fix(f);
        for (Moment& m : hits) m.note_fix(f);
        recent.add(f);
        if (options.keep_track) r.track.push_back({f.log_time_ms, f.lat_deg, f.lon_deg});
    }

    void note_speed(double kmh, std::int64_t t) {
        if (!speed_max || kmh > *speed_max) {
            speed_max = kmh;
            fastest.place(kmh, t, recent);
        }
        if (prev_speed_ms && t > *prev_speed_ms && t - *prev_speed_ms <= FIX_GAP_MS && prev_speed >= MOVING_KMH) {
            const double dt = static_cast<double>(t - *prev_speed_ms);
            moving_ms += dt;
            moving_sum += prev_speed * dt;
        }
        prev_speed_ms = t;
        prev_speed = kmh;
    }

    void note_gps(const LogEvent& ev) {
        if (ev.gps == nullptr || ev.gps_new != 1) return;
        const LogEvent& rec = *ev.gps;
        if (const auto f = position_of(rec, ev.vid_timestamp)) note_position(*f);
        if (const auto kmh = speed_of(rec)) note_speed(*kmh, rec.vid_timestamp);
        if (const auto m = odometer_of(rec); m && (!distance || *m > *distance)) distance = *m;
    }

    // Hits closer than HIT_SEPARATION_MS are one: a harder one moves it.
    // Every kept hit is then at least that far from the others.
    void note_g(double g, std::int64_t t) {
        for (Moment& h : hits) {
            if (t - h.t_ms < HIT_SEPARATION_MS) {
                if (g > h.value) h.place(g, t, recent);
                return;
            }
        }
        if (hits.size() < MAX_HITS) {
            hits.emplace_back().place(g, t, recent);
            return;
        }
        const auto weakest = std::min_element(hits.begin(), hits.end(),
                                              [](const Moment& a, const Moment& b) { return a.value < b.value; });
        if (g > weakest->value) weakest->place(g, t, recent);
    }

    void note_height(std::int32_t alt_ft, std::int64_t t) {
        const double m = alt_ft * METRES_PER_FOOT;
        if (!r.stats.height_max_m || m > *r.stats.height_max_m) highest.place(m, t, recent);
        keep_min_max(r.stats.height_min_m, r.stats.height_max_m, m);
        if (!turn_m) {
            turn_m = extreme_m = m;
            return;
        }
        switch (trend) {
            case Trend::Unknown:
                if (m - *turn_m >= CLIMB_DEAD_BAND_M) trend = Trend::Up, extreme_m = m;
                else if (*turn_m - m >= CLIMB_DEAD_BAND_M) trend = Trend::Down, extreme_m = m;
                break;
            case Trend::Up:
                if (m > extreme_m) {
                    extreme_m = m;
                } else if (extreme_m - m >= CLIMB_DEAD_BAND_M) {
                    climb_m += extreme_m - *turn_m;
                    turn_m = extreme_m;
                    trend = Trend::Down;
                    extreme_m = m;
                }
                break;
            case Trend::Down:
                if (m < extreme_m) {
                    extreme_m = m;
                } else if (m - extreme_m >= CLIMB_DEAD_BAND_M) {
                    descent_m += *turn_m - extreme_m;
                    turn_m = extreme_m;
                    trend = Trend::Up;
                    extreme_m = m;
                }
                break;
        }
    }

    // The rise or fall under way at the end of the log counts too.
    void finish_climb() {
        if (trend == Trend::Up) climb_m += extreme_m - *turn_m;
        if (trend == Trend::Down) descent_m += *turn_m - extreme_m;
    }

    // The smoothed height's change over rate_window samples, placed in the
    // middle of the window.
    void note_rate(std::int32_t alt_ft, std::int64_t t) {
        const std::size_t slots = past.size();
        if (n + 1 >= slots) {
            const Past& old = past[(n + 1) % slots];
            if (alt_ft != NO_VALUE && old.alt_ft != NO_VALUE && t > old.t_ms) {
                const double rate = (static_cast<double>(alt_ft) - old.alt_ft) * METRES_PER_FOOT * 1000.0 /
                                    static_cast<double>(t - old.t_ms);
                const std::int64_t mid = old.t_ms + (t - old.t_ms) / 2;
                if (rate > 0.0 && (!climb.set || rate > climb.value)) climb.place(rate, mid, recent);
                if (rate < 0.0 && (!sink.set || -rate > sink.value)) sink.place(-rate, mid, recent);
            }
        }
        past[n % slots] = {t, alt_ft};
        ++n;
    }
};

RideStatsBuilder::RideStatsBuilder(const Settings& settings, const RideOptions& options)
    : s_(std::make_unique<State>()) {
    s_->options = options;
    s_->per_g = counts_per_g(options.high_g);
    s_->r.rate_window = settings.speed_window > 0 ? settings.speed_window : RATE_WINDOW_SAMPLES;
    s_->past.resize(static_cast<std::size_t>(s_->r.rate_window) + 1);
}

RideStatsBuilder::~RideStatsBuilder() = default;

void RideStatsBuilder::add(const LogEvent& ev) {
    State& s = *s_;
    RideReport& r = s.r;
    const std::int64_t t = ev.vid_timestamp;
    if (r.samples == 0 || t < r.first_ms) r.first_ms = t;
    if (r.samples == 0 || t > r.last_ms) r.last_ms = t;
    ++r.samples;

    s.note_gps(ev);
    if (ev.filt_altitude != NO_VALUE) s.note_height(ev.filt_altitude, t);
    s.note_rate(ev.filt_altitude, t);
    if (ev.filt_accel_x != NO_ACCEL && ev.filt_accel_y != NO_ACCEL && ev.filt_accel_z != NO_ACCEL) {
        const double x = ev.filt_accel_x, y = ev.filt_accel_y, z = ev.filt_accel_z;
        const double g = std::sqrt(x * x + y * y + z * z) / s.per_g;
        if (!r.stats.g_max || g > *r.stats.g_max) r.stats.g_max = g;
        if (g >= HIT_MIN_G) s.note_g(g, t);
    }
    const SensorSample sample = decode_sensor_sample(ev);
    if (sample.temp != NO_VALUE) keep_min_max(r.stats.temperature_min_c, r.stats.temperature_max_c, sample.temp / 10.0);
}

RideReport RideStatsBuilder::finish() {
    State& s = *s_;
    RideReport r = std::move(s.r);
    RideStats& st = r.stats;
    if (r.samples > 0) st.duration_s = static_cast<double>(r.last_ms - r.first_ms) / 1000.0;
    if (st.height_max_m) {
        s.finish_climb();
        st.climb_m = s.climb_m;
        st.descent_m = s.descent_m;
    }
    if (s.climb.set || s.sink.set) {
        st.climb_rate_max_m_s = s.climb.set ? s.climb.value : 0.0;
        st.sink_rate_max_m_s = s.sink.set ? s.sink.value : 0.0;
    }
    st.speed_max_kmh = s.speed_max;
    if (s.speed_max) st.speed_avg_kmh = s.moving_ms > 0.0 ? s.moving_sum / s.moving_ms : 0.0;
    st.distance_m = s.distance;

    const auto add = [&r](HighlightKind kind, const char* unit, const Moment& m) {
        if (!m.set) return;
        Highlight h;
        h.kind = kind;
        h.value = m.value;
        h.unit = unit;
        h.log_time_ms = m.t_ms;
        h.fix = m.fix;
        r.highlights.push_back(std::move(h));
    };
    std::stable_sort(s.hits.begin(), s.hits.end(), [](const Moment& a, const Moment& b) { return a.value > b.value; });
    for (const Moment& m : s.hits) add(HighlightKind::G, "G", m);
    add(HighlightKind::Height, "m", s.highest);
    add(HighlightKind::Speed, "km/h", s.fastest);
    add(HighlightKind::Climb, "m/s", s.climb);
    add(HighlightKind::Sink, "m/s", s.sink);
    return r;
}

bool compute_ride(const char* log_path, const Settings& settings, const RideOptions& options, RideReport& report) {
    // A second reader of a FIFO would take the bytes the conversion itself
    // reads: a first pass is for regular files only.
    InputOpen opened = InputOpen::CannotOpen;
    File f(open_regular_input(log_path, opened));
    if (!f || std::fseek(f.get(), static_cast<long>(DAT_HEADER_SIZE), SEEK_SET) != 0) return false;
    std::setvbuf(f.get(), nullptr, _IONBF, 0);     // the pipeline reads in blocks of its own
    auto pipeline = std::make_unique<Pipeline>();  // three rings of 256 records
    pipeline->quiet = true;
    RunOptions run;
    run.high_g = options.high_g ? 1 : 0;
    run.alt_adjust = options.alt_adjust;
    RideStatsBuilder builder(settings, options);
    while (const LogEvent* ev = next_event(*pipeline, f.get(), settings, run)) builder.add(*ev);
    report = builder.finish();
    return true;
}

std::vector<RideChapter> find_ride_chapters(const char* first_chapter, ChapterNaming naming, std::int64_t last_ms) {
    constexpr std::int32_t MAX_CHAPTERS = 10000;  // far beyond any card; ends a hostile loop
    std::vector<RideChapter> chapters;
    std::int64_t offset = 0;
    std::array<char, PATH_BUFFER_SIZE> path{};
    for (std::int32_t k = 0; k < MAX_CHAPTERS; ++k) {
        if (chapter_file_name(path.data(), first_chapter, k, "MP4", naming) != 0) break;
        InputOpen opened = InputOpen::CannotOpen;
        File f(open_regular_input(path.data(), opened));  // never waits on a FIFO
        if (!f) break;
        const std::int32_t len = mp4_duration_of(f.get());
        if (len < 0) break;
        const char* slash = std::strrchr(path.data(), '/');
        chapters.push_back({offset, len, slash != nullptr ? slash + 1 : path.data(), path.data()});
        if (last_ms - offset <= len) break;  // no sample passes this chapter's end
        offset += len;
    }
    return chapters;
}

void place_in_chapters(RideReport& report, std::vector<RideChapter> chapters) {
    report.chapters = std::move(chapters);
    report.placed = true;
    for (Highlight& h : report.highlights) {
        h.chapter.clear();
        h.chapter_time_ms.reset();
        for (const RideChapter& c : report.chapters) {
            // A moment exactly at a chapter's end still belongs to it, as in a conversion.
            if (h.log_time_ms >= c.start_ms && h.log_time_ms - c.start_ms <= c.len_ms) {
                h.chapter = c.name;
                h.chapter_time_ms = h.log_time_ms - c.start_ms;
                break;
            }
        }
    }
}

}  // namespace tarvex
