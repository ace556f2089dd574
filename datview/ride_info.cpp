// The info command: the health report as before, then the ride section.
// The ride is read through the converter's pipeline with the settings a
// conversion of this log would use, so its smoothed values are the
// subtitles'. Everything the shared code prints on stdout (the settings dump,
// the pipeline's messages) is kept out of the report.
#include "ride_info.h"

#include <array>
#include <memory>

#include "chapters.h"
#include "log_settings.h"
#include "quiet_stdout.h"
#include "ride_stats.h"
#include "settings.h"
#include "text_format.h"

namespace tarvex::datview {

namespace {

std::string quoted(std::string_view s) { return "\"" + json_escape(s) + "\""; }

std::string steps_json(const std::vector<TimeStep>& list) {
    std::string j = "[";
    for (const TimeStep& s : list) {
        if (j.size() > 1) j += ',';
        j += "{\"at_ms\":" + std::to_string(s.at_ms) + ",\"length_ms\":" + std::to_string(s.length_ms) + "}";
    }
    return j + "]";
}

std::string verdict_text(const LogHealth& h, const std::vector<std::string>& problems) {
    if (h.header_status != HeaderStatus::Ok) return std::string("unreadable: ") + header_status_text(h.header_status);
    if (problems.empty()) return "healthy";
    std::string line;
    for (const std::string& p : problems) line += (line.empty() ? "" : "; ") + p;
    return std::to_string(problems.size()) + (problems.size() == 1 ? " problem: " : " problems: ") + line;
}

// The ride of a readable log, with the settings a conversion of it uses.
RideReport ride_of(const char* log_path, const LogHealth& h, const InfoOptions& o) {
    Settings settings;
    {
        QuietStdout quiet;  // the settings dump is not part of the report
        settings_load(o.settings_path, settings);
    }
    settings_for_log(settings, h.header, nullptr);
    RideOptions options;
    options.high_g = o.high_g;
    RideReport report;
    compute_ride(log_path, settings, options, report);
    if (o.first_chapter != nullptr) {
        QuietStdout quiet;  // a damaged chapter file's probe messages
        place_in_chapters(report,
                          find_ride_chapters(o.first_chapter, chapter_naming(o.first_chapter, true), report.last_ms));
    }
    return report;
}

}  // namespace

std::string health_json_members(const char* path, const LogHealth& h) {
    std::string j = "\"file\":" + quoted(path);
    j += ",\"header_status\":" + quoted(header_status_text(h.header_status));
    const auto num = [&j](const char* key, auto v) { j += std::string(",\"") + key + "\":" + std::to_string(v); };
    const bool has_header = h.header_status != HeaderStatus::CannotOpen && h.header_status != HeaderStatus::Short;
    if (has_header) {
        const DatHeader& d = h.header;
        std::array<std::uint8_t, 4> m{};
        store_le32(m.data(), d.magic);
        j += ",\"magic\":" + quoted(std::string(m.begin(), m.end()));
        num("version", d.version);
    }
    if (h.header_status == HeaderStatus::Ok) {
        const DatHeader& d = h.header;
        num("hw_revision", d.hw_revision);
        num("rec_date", d.rec_date);
        j += ",\"recorded_utc\":" + quoted(utc_iso(static_cast<std::int64_t>(d.rec_date) * 1000));
        num("ground_offset_ft", d.ground_offset);
        num("expander_id", d.expander_id);
        j += ",\"serial\":" + quoted(serial_bytes(d.serial.data()));
        num("entries", h.entries);
        num("samples", h.samples);
        num("gps_fix", h.gps_fix);
        num("gps_fix2", h.gps_fix2);
        num("gps_nav", h.gps_nav);
        num("unknown", h.unknown);
        j += ",\"unknown_types\":[";
        for (std::size_t i = 0; i < h.unknown_types.size(); ++i)
            j += (i ? "," : "") + std::to_string(h.unknown_types[i]);
        j += "]";
        if (h.samples > 0) {
            num("first_sample_ms", h.min_sample_ms);
            num("last_sample_ms", h.max_sample_ms);
            num("duration_ms", h.max_sample_ms - h.min_sample_ms);
        }
        if (!h.periods.empty()) {
            j += ",\"sample_period_ms\":{\"median\":" + std::to_string(median_period(h)) +
                 ",\"min\":" + std::to_string(h.periods.begin()->first) +
                 ",\"max\":" + std::to_string(h.periods.rbegin()->first) + "}";
        }
        num("gaps", h.gaps);
        j += ",\"gap_list\":" + steps_json(h.gap_list);
        num("steps_back", h.steps_back);
        j += ",\"back_list\":" + steps_json(h.back_list);
        num("size0_entries", h.zero_size);
        num("oversize_entries", h.oversize);
        num("short_payloads", h.undersize);
        num("cut_off_bytes", h.cut_bytes);
        j += ",\"samples_without\":{\"pressure\":" + std::to_string(h.no_pressure) +
             ",\"temperature\":" + std::to_string(h.no_temperature) + ",\"altitude\":" + std::to_string(h.no_altitude) +
             ",\"acceleration\":" + std::to_string(h.no_accel) + "}";
        num("samples_with_axis_minus_one", h.accel_minus_one);
        if (h.gps_entries == 0) {
            j += ",\"gps\":null";
        } else {
            j += ",\"gps\":{\"entries\":" + std::to_string(h.gps_entries) +
                 ",\"first_fix_ms\":" + std::to_string(h.first_gps_ms) +
                 ",\"last_fix_ms\":" + std::to_string(h.last_gps_ms) +
                 ",\"samples_with_fix\":" + std::to_string(h.samples_with_fix) + "}";
        }
    }
    const std::vector<std::string> problems =
        h.header_status == HeaderStatus::Ok ? health_problems(h) : std::vector<std::string>{};
    j += ",\"problems\":[";
    for (std::size_t i = 0; i < problems.size(); ++i) j += (i ? "," : "") + quoted(problems[i]);
    j += "],\"verdict\":" + quoted(verdict_text(h, problems));
    return j;
}

int info_command(std::FILE* out, const char* log_path, const InfoOptions& o) {
    const LogHealth h = check_log(log_path);
    const bool readable = h.header_status == HeaderStatus::Ok;
    std::unique_ptr<RideReport> ride;
    if (readable) ride = std::make_unique<RideReport>(ride_of(log_path, h, o));
    if (o.json) {
        std::string j = "{" + health_json_members(log_path, h);
        j += ",\"ride\":" + (ride ? ride_stats_json(ride->stats) : std::string("null"));
        j += ",\"highlights\":" + (ride ? highlights_json(ride->highlights) : std::string("[]"));
        std::fprintf(out, "%s}\n", j.c_str());
    } else {
        print_health(out, log_path, h);
        if (ride) print_ride_text(out, *ride);
    }
    return health_exit_status(h);
}

}  // namespace tarvex::datview
