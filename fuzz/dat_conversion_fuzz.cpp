// Fuzz target: one whole conversion held in memory. The input is a short
// block of run choices (settings, command-line options, chapter lengths)
// followed by the DAT log; the log is read from memory and the SRT, CSV and
// GPX text goes to /dev/null, in the converter's own order of calls.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "csv_writer.h"
#include "dat_format.h"
#include "gpx_writer.h"
#include "log_event.h"
#include "log_settings.h"
#include "pipeline.h"
#include "run_options.h"
#include "settings.h"
#include "srt_writer.h"
#include "text_out.h"

namespace {

using namespace tarvex;

// Values a settings file can give each key, applied through the settings
// parser so that only reachable settings are tried.
struct Choice {
    const char* key;
    const char* values[6];
};
constexpr Choice setting_choices[] = {
    {"altitude", {"off", "ft", "m", "both"}},
    {"temperature", {"off", "c", "f"}},
    {"accel", {"off", "mag", "full", "xyz"}},
    {"gbar", {"off", "on"}},
    {"csv", {"off", "on"}},
    {"gpx", {"on", "off"}},
    {"accel_places", {"short", "long"}},
    {"min_sub_delay", {"150", "0", "1", "10000"}},
    {"gps_lag", {"500", "0", "9000"}},
    {"gps_hw_lag", {"0", "9000", "1"}},
    {"gps_speed", {"mph", "kmh", "off"}},
    {"gps_dist", {"miles", "km", "off"}},
    {"gps_dist_places", {"short", "long"}},
    {"gps_speed_type", {"both", "h", "v"}},
    {"alt_filter", {"medium", "off", "low", "high", "1", "250"}},
    {"accel_filter", {"low", "off", "medium", "high", "1", "250"}},
    {"speed_window", {"0", "1", "5", "250"}},
    {"heading", {"off", "on"}},
    {"glide", {"off", "on"}},
    {"id_pins", {"off", "on"}},
    {"gps_dist_interval", {"50", "0", "1500"}},
    {"gps_speed_limit", {"483", "16", "3220"}},
};

std::size_t value_count(const Choice& c) {
    std::size_t n = 0;
    while (n < std::size(c.values) && c.values[n] != nullptr) ++n;
    return n;
}

// Layout of the choice block in front of the log (little-endian fields).
constexpr std::size_t CHOICE_BYTES = 18;
namespace choice_off {
constexpr std::size_t settings = 0;     // u64, mixed radix over setting_choices
constexpr std::size_t flags = 8;        // u8, see FLAG_*
constexpr std::size_t chapters = 9;     // u8, chapters found on the card minus one
constexpr std::size_t alt_adjust = 10;  // i32 ft, the -a option
constexpr std::size_t chapter_ms = 14;  // u32, every chapter's duration (31 bits used)
}  // namespace choice_off
constexpr std::uint8_t FLAG_HIGH_G = 1;       // -g
constexpr std::uint8_t FLAG_NO_CSV_FILE = 2;  // the CSV file could not be opened
constexpr std::uint8_t FLAG_NO_GPX_FILE = 4;  // the GPX file could not be opened

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

void apply_choices(Settings& s, std::uint64_t word) {
    for (const Choice& c : setting_choices) {
        const std::size_t n = value_count(c);
        settings_apply(s, c.key, c.values[word % n]);
        word /= n;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < CHOICE_BYTES) return 0;
    const std::uint8_t* choice = data;
    std::vector<std::uint8_t> log(data + CHOICE_BYTES, data + size);
    if (log.empty()) return 0;

    // Everything a run keeps is fresh per input.
    static Pipeline pipeline;  // too large for the stack
    pipeline = Pipeline{};
    Settings settings;
    RunOptions run;
    std::uint32_t last_sub_time = NO_SUB_TIME;

    std::uint64_t word = 0;
    for (int i = 7; i >= 0; --i) word = word << 8 | choice[choice_off::settings + static_cast<std::size_t>(i)];
    apply_choices(settings, word);
    const std::uint8_t flags = choice[choice_off::flags];
    run.high_g = (flags & FLAG_HIGH_G) != 0 ? 1 : 0;
    run.alt_adjust = static_cast<std::int32_t>(le32(choice + choice_off::alt_adjust));
    const int chapters_on_card = choice[choice_off::chapters] + 1;
    const auto chapter_len = static_cast<std::int32_t>(le32(choice + choice_off::chapter_ms) & 0x7FFFFFFFu);

    std::FILE* dat = fmemopen(log.data(), log.size(), "rb");
    if (dat == nullptr) std::abort();
    DatHeader header;
    if (read_dat_header(dat, header) != 0) {
        std::fclose(dat);
        return 0;
    }
    settings_for_log(settings, header, nullptr);

    // All three outputs share one text that is dropped: the text itself is
    // not checked here, only that producing it stays within bounds and
    // defined behaviour.
    TextOut out;
    const bool csv = (flags & FLAG_NO_CSV_FILE) == 0;
    const bool gpx = (flags & FLAG_NO_GPX_FILE) == 0;

    int chapter = -1;                  // none open yet
    std::uint32_t chapter_offset = 0;  // ms
    std::int32_t len = -1;             // ms; -1 so that the first event opens chapter 0
    std::int32_t number = 1;
    bool gpx_open = false;
    while (LogEvent* ev = next_event(pipeline, dat, settings, run)) {
        if (static_cast<std::int32_t>(ev->vid_timestamp - chapter_offset) > len) {
            if (chapter >= 0) chapter_offset += static_cast<std::uint32_t>(len);
            if (gpx_open) gpx_write_footer(out);
            gpx_open = false;
            if (++chapter == chapters_on_card) break;
            len = chapter_len;
            last_sub_time = NO_SUB_TIME;
            if (settings.csv == on_off::ON && csv) csv_write_header(out, header);
            number = 1;
        }
        if (ev->vid_timestamp < chapter_offset) break;  // the converter stops with an error
        ev->vid_timestamp -= chapter_offset;
        if (settings.csv == on_off::ON && csv) csv_write_row(out, *ev);
        if (settings.gpx == on_off::ON && gpx && ev->gps != nullptr && ev->gps_new == 1) {
            if (!gpx_open) gpx_write_header(out, "GOPR0001.GPX", header);
            gpx_open = true;
            gpx_write_point(out, *ev);
        }
        srt_write_entry(out, *ev, number, settings, run, last_sub_time);
        number = static_cast<std::int32_t>(static_cast<std::uint32_t>(number) + 1u);
    }
    if (gpx_open) gpx_write_footer(out);
    std::fclose(dat);
    return 0;
}
