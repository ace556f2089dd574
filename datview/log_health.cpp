// Health checks of `datview info`. Everything but the GPS coverage comes from
// one walk over the entries; the coverage runs the converter's own pipeline,
// so "samples with a fix" means what a conversion would attach (default
// settings: GPS lag 500 ms, or the expander's gps_hw_lag 0).
#include "log_health.h"

#include <algorithm>
#include <memory>

#include "byte_order.h"
#include "log_settings.h"
#include "pipeline.h"
#include "quiet_stdout.h"
#include "text_format.h"

namespace tarvex::datview {

namespace {

void note_sample(LogHealth& h, const WalkedEntry& e) {
    const std::uint32_t t = e.vid_timestamp;
    if (h.samples == 0) {
        h.first_sample_ms = h.min_sample_ms = h.max_sample_ms = t;
    } else {
        const std::int64_t step = static_cast<std::int64_t>(t) - h.last_sample_ms;
        if (step < 0) {
            if (h.back_list.size() < LISTED_STEPS) h.back_list.push_back({t, -step});
            ++h.steps_back;
        } else {
            ++h.periods[step];
            if (step > GAP_MS) {
                if (h.gap_list.size() < LISTED_STEPS) h.gap_list.push_back({h.last_sample_ms, step});
                ++h.gaps;
            }
        }
        h.min_sample_ms = std::min(h.min_sample_ms, t);
        h.max_sample_ms = std::max(h.max_sample_ms, t);
    }
    h.last_sample_ms = t;
    ++h.samples;
    const SensorSample s = decode_sensor_sample(e.payload.data());
    h.no_pressure += s.abs_press == NO_VALUE;
    h.no_temperature += s.temp == NO_VALUE;
    h.no_altitude += s.altitude == NO_VALUE;
    const int minus_ones = (s.accel_x == -1) + (s.accel_y == -1) + (s.accel_z == -1);
    h.no_accel += minus_ones == 3;
    h.accel_minus_one += minus_ones == 1 || minus_ones == 2;
}

void note_entry(LogHealth& h, const WalkedEntry& e) {
    switch (e.problem) {  // a size-0 header and a cut-off tail are no entries
        case EntryProblem::ZeroSize: ++h.zero_size; return;
        case EntryProblem::CutOff: h.cut_bytes = e.cut_bytes; return;
        default: break;
    }
    ++h.entries;
    switch (e.problem) {
        case EntryProblem::ZeroSize:
        case EntryProblem::CutOff: return;
        case EntryProblem::Oversize: ++h.oversize; break;
        case EntryProblem::Undersize: ++h.undersize; break;
        case EntryProblem::UnknownKind:
            ++h.unknown;
            if (h.unknown_types.size() < 8 &&
                std::find(h.unknown_types.begin(), h.unknown_types.end(), e.type) == h.unknown_types.end())
                h.unknown_types.push_back(e.type);
            return;
        case EntryProblem::None: break;
    }
    switch (static_cast<EntryKind>(e.type)) {
        case EntryKind::SensorSample: note_sample(h, e); return;
        case EntryKind::GpsFix: ++h.gps_fix; break;
        case EntryKind::GpsFix2: ++h.gps_fix2; break;
        case EntryKind::GpsNavData: ++h.gps_nav; break;
    }
    if (h.gps_entries == 0) h.first_gps_ms = e.vid_timestamp;
    h.last_gps_ms = e.vid_timestamp;
    ++h.gps_entries;
}

// Samples that a conversion with default settings would show with a fix.
// The pipeline reports damaged entries on stdout; the report lists them
// already, so its messages are kept out of it.
std::uint64_t samples_with_fix(const char* path, const DatHeader& header) {
    std::FILE* f = std::fopen(path, "rb");
    if (f == nullptr) return 0;
    std::uint64_t n = 0;
    if (std::fseek(f, static_cast<long>(DAT_HEADER_SIZE), SEEK_SET) == 0) {
        Settings settings;
        settings.alt_filter = settings.accel_filter = filter_level::OFF;  // no smoothing needed here
        settings_for_log(settings, header, nullptr);
        const RunOptions run;
        auto pipeline = std::make_unique<Pipeline>();  // three rings of 256 records
        QuietStdout quiet;
        while (const LogEvent* ev = next_event(*pipeline, f, settings, run)) n += ev->gps != nullptr;
    }
    std::fclose(f);
    return n;
}

std::string count_text(std::uint64_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
}

void print_steps(std::FILE* out, const char* label, std::uint64_t total, const std::vector<TimeStep>& list,
                 const char* what) {
    if (total == 0) {
        std::fprintf(out, "%-18s none\n", label);
        return;
    }
    std::fprintf(out, "%-18s %llu\n", label, static_cast<unsigned long long>(total));
    for (const TimeStep& s : list)
        std::fprintf(out, "  at %s: %s %.3f s\n", elapsed_text(s.at_ms).c_str(), what,
                     static_cast<double>(s.length_ms) / 1000.0);
    if (total > list.size())
        std::fprintf(out, "  ... and %llu more\n", static_cast<unsigned long long>(total - list.size()));
}

}  // namespace

std::int64_t median_period(const LogHealth& h) {
    std::uint64_t total = 0;
    for (const auto& [ms, n] : h.periods) total += n;
    std::uint64_t seen = 0;
    for (const auto& [ms, n] : h.periods) {
        seen += n;
        if (seen * 2 >= total) return ms;
    }
    return 0;
}

LogHealth check_log(const char* path) {
    LogHealth h;
    LogWalk walk(path);
    h.header_status = walk.status();
    h.header = walk.header();
    WalkedEntry e;
    while (walk.next(e)) note_entry(h, e);
    if (h.header_status == HeaderStatus::Ok && h.gps_entries > 0) h.samples_with_fix = samples_with_fix(path, h.header);
    return h;
}

std::vector<std::string> health_problems(const LogHealth& h) {
    std::vector<std::string> p;
    if (h.samples == 0) p.push_back("no sensor samples");
    if (h.zero_size) p.push_back(count_text(h.zero_size, "entry", "entries") + " of size 0");
    if (h.oversize) p.push_back(count_text(h.oversize, "entry", "entries") + " over 96 bytes");
    if (h.undersize) p.push_back(count_text(h.undersize, "entry", "entries") + " shorter than their kind");
    if (h.unknown) p.push_back(count_text(h.unknown, "entry", "entries") + " of unknown kind");
    if (h.cut_bytes) p.push_back("cut-off tail of " + count_text(h.cut_bytes, "byte", "bytes"));
    if (h.steps_back) p.push_back(count_text(h.steps_back, "timestamp", "timestamps") + " going back");
    if (h.gaps) p.push_back(count_text(h.gaps, "gap", "gaps") + " over 1 s");
    if (h.no_pressure) p.push_back(count_text(h.no_pressure, "sample", "samples") + " without pressure");
    if (h.no_temperature) p.push_back(count_text(h.no_temperature, "sample", "samples") + " without temperature");
    if (h.no_accel) p.push_back(count_text(h.no_accel, "sample", "samples") + " without acceleration");
    return p;
}

int health_exit_status(const LogHealth& h) {
    if (h.header_status != HeaderStatus::Ok) return EXIT_UNUSABLE;
    return health_problems(h).empty() ? EXIT_OK : EXIT_PROBLEMS;
}

void print_health(std::FILE* out, const char* path, const LogHealth& h) {
    std::fprintf(out, "%-18s %s\n", "file:", path);
    if (h.header_status == HeaderStatus::CannotOpen || h.header_status == HeaderStatus::Short) {
        std::fprintf(out, "verdict: unreadable: %s\n", header_status_text(h.header_status));
        return;
    }
    const DatHeader& d = h.header;
    std::array<std::uint8_t, 4> m{};
    store_le32(m.data(), d.magic);
    std::string magic(m.begin(), m.end());
    std::fprintf(out, "%-18s \"%s\" (0x%08x)\n", "magic:", json_escape(magic).c_str(), d.magic);
    std::fprintf(out, "%-18s %u\n", "version:", d.version);
    if (h.header_status != HeaderStatus::Ok) {
        std::fprintf(out, "verdict: unreadable: %s\n", header_status_text(h.header_status));
        return;
    }
    std::fprintf(out, "%-18s %u\n", "hardware revision:", d.hw_revision);
    const std::string date = utc_date_time(d.rec_date);
    std::fprintf(out, "%-18s %s (%u)\n", "recorded:", date.c_str(), d.rec_date);
    std::fprintf(out, "%-18s %d ft\n", "ground offset:", d.ground_offset);
    std::fprintf(out, "%-18s %u%s\n", "expander:", d.expander_id,
                 d.expander_id == EXPANDER_NONE  ? " (none)"
                 : d.expander_id == EXPANDER_GPS ? " (GPS)"
                                                 : "");
    const std::string serial = serial_text(d.serial.data());
    std::fprintf(out, "%-18s %s\n", "serial:", serial.empty() ? "(none)" : json_escape(serial).c_str());

    std::fprintf(out, "%-18s %llu: %llu samples, %llu GpsFix, %llu GpsFix2, %llu GpsNavData, %llu unknown\n",
                 "entries:", static_cast<unsigned long long>(h.entries), static_cast<unsigned long long>(h.samples),
                 static_cast<unsigned long long>(h.gps_fix), static_cast<unsigned long long>(h.gps_fix2),
                 static_cast<unsigned long long>(h.gps_nav), static_cast<unsigned long long>(h.unknown));
    if (h.samples > 0) {
        std::fprintf(out, "%-18s %s (samples from %s to %s)\n",
                     "duration:", elapsed_text(h.max_sample_ms - h.min_sample_ms).c_str(),
                     elapsed_text(h.min_sample_ms).c_str(), elapsed_text(h.max_sample_ms).c_str());
    }
    if (!h.periods.empty()) {
        std::fprintf(out, "%-18s median %lld ms, min %lld ms, max %lld ms\n",
                     "sample period:", static_cast<long long>(median_period(h)),
                     static_cast<long long>(h.periods.begin()->first),
                     static_cast<long long>(h.periods.rbegin()->first));
    }
    print_steps(out, "gaps over 1 s:", h.gaps, h.gap_list, "no samples for");
    print_steps(out, "time going back:", h.steps_back, h.back_list, "back by");
    std::fprintf(out, "%-18s %llu\n", "size-0 entries:", static_cast<unsigned long long>(h.zero_size));
    std::fprintf(out, "%-18s %llu\n", "over 96 bytes:", static_cast<unsigned long long>(h.oversize));
    std::fprintf(out, "%-18s %llu\n", "short payloads:", static_cast<unsigned long long>(h.undersize));
    std::fprintf(out, "%-18s", "unknown kinds:");
    if (h.unknown_types.empty()) std::fprintf(out, " none");
    for (const std::uint16_t t : h.unknown_types) std::fprintf(out, " %u", t);
    std::fprintf(out, "\n");
    if (h.cut_bytes == 0) std::fprintf(out, "%-18s none\n", "cut-off tail:");
    else
        std::fprintf(out, "%-18s %llu bytes after the last whole entry\n",
                     "cut-off tail:", static_cast<unsigned long long>(h.cut_bytes));
    std::fprintf(out, "%-18s pressure %llu, temperature %llu, altitude %llu, acceleration %llu\n",
                 "samples without:", static_cast<unsigned long long>(h.no_pressure),
                 static_cast<unsigned long long>(h.no_temperature), static_cast<unsigned long long>(h.no_altitude),
                 static_cast<unsigned long long>(h.no_accel));
    if (h.accel_minus_one > 0)
        std::fprintf(out, "%-18s %llu samples with an axis at -1 count (smoothing skips them)\n",
                     "note:", static_cast<unsigned long long>(h.accel_minus_one));
    if (h.gps_entries == 0) {
        std::fprintf(out, "%-18s none\n", "GPS:");
    } else {
        const double share =
            h.samples ? 100.0 * static_cast<double>(h.samples_with_fix) / static_cast<double>(h.samples) : 0.0;
        std::fprintf(out, "%-18s first fix at %s, last at %s; %llu of %llu samples (%.1f%%) with a fix\n",
                     "GPS:", elapsed_text(h.first_gps_ms).c_str(), elapsed_text(h.last_gps_ms).c_str(),
                     static_cast<unsigned long long>(h.samples_with_fix), static_cast<unsigned long long>(h.samples),
                     share);
    }
    const std::vector<std::string> problems = health_problems(h);
    if (problems.empty()) {
        std::fprintf(out, "verdict: healthy\n");
        return;
    }
    std::string line;
    for (const std::string& p : problems) line += (line.empty() ? "" : "; ") + p;
    std::fprintf(out, "verdict: %zu %s: %s\n", problems.size(), problems.size() == 1 ? "problem" : "problems",
                 line.c_str());
}

}  // namespace tarvex::datview
