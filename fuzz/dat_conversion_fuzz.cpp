// Fuzz target: the converter's own conversion of one log, held in memory.
// The input is a block of run choices (flags, naming, chapters, an output
// budget, one byte per setting) followed by the DAT log. The log is read
// from memory; the chapters' lengths come from the choices instead of MP4
// files; the outputs go to a place that keeps no bytes and fails on request
// (an output that cannot be opened, a full card, a failed close or rename).

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "driver.h"
#include "exit_status.h"
#include "output_place.h"
#include "run_outcome.h"
#include "settings.h"

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
    {"gpx_time", {"off", "on"}},
    {"gpx_outing", {"off", "on"}},
    {"ass_overlay", {"off", "on"}},
    {"overlay_corner", {"bottom-left", "bottom-right", "top-left", "top-right"}},
    {"gbar_max", {"0", "1", "4", "20"}},  // 0: out of range, not set
};
constexpr std::size_t SETTING_COUNT = std::size(setting_choices);

std::size_t value_count(const Choice& c) {
    std::size_t n = 0;
    while (n < std::size(c.values) && c.values[n] != nullptr) ++n;
    return n;
}

// Layout of the choice block in front of the log (little-endian fields).
namespace choice_off {
constexpr std::size_t flags = 0;          // u8, see FLAG_*
constexpr std::size_t naming = 1;         // u8, an index into BASE_PATHS (modulo)
constexpr std::size_t chapters = 2;       // u8, chapters found minus one
constexpr std::size_t alt_adjust = 3;     // i32 ft, the -a option
constexpr std::size_t chapter_ms = 7;     // u32, every chapter's length (31 bits used)
constexpr std::size_t write_budget = 11;  // u32 bytes all outputs may take before writes fail; 0: no limit
constexpr std::size_t settings = 15;      // one byte per setting_choices entry (value index, modulo)
}  // namespace choice_off
constexpr std::size_t CHOICE_BYTES = choice_off::settings + SETTING_COUNT;

constexpr std::uint8_t FLAG_HIGH_G = 1;         // -g
constexpr std::uint8_t FLAG_NO_CSV = 2;         // the CSV and ASS files cannot be opened
constexpr std::uint8_t FLAG_NO_GPX = 4;         // a chapter's GPX file cannot be opened
constexpr std::uint8_t FLAG_NO_SRT = 8;         // the subtitle file cannot be opened
constexpr std::uint8_t FLAG_NO_OUTING = 16;     // the outing track cannot be opened
constexpr std::uint8_t FLAG_CLOSE_FAILS = 32;   // every close reports a failed write-back
constexpr std::uint8_t FLAG_RENAME_FAILS = 64;  // no output can be put in place
constexpr std::uint8_t FLAG_OUTCOME = 128;      // the run records its outcome (card mode, --strict)

// The log's name and the base path of the outputs: without -v, and with -v
// naming a first chapter, a lower-case one and a single video.
struct BasePath {
    const char* path;
    bool named_video;
};
constexpr BasePath BASE_PATHS[] = {
    {"GOPR0001.DAT", false}, {"GOPR0001.MP4", true}, {"gopr0001.mp4", true}, {"ride.mp4", true}};

std::uint32_t le32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
           static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

bool ends_with(const std::string& s, const char* tail) {
    const std::string t = tail;
    return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// Every chapter as long as the choices say, as many as they say.
class ChoiceChapters final : public ChapterLengths {
public:
    ChoiceChapters(std::int32_t count, std::int32_t len_ms) : count_(count), len_ms_(len_ms) {}
    std::int32_t length_ms(const char*, std::int32_t index) override { return index < count_ ? len_ms_ : -1; }

private:
    std::int32_t count_, len_ms_;
};

// Keeps no bytes; counts them against the budget and fails as the flags say.
class FailingPlace final : public OutputPlace {
public:
    FailingPlace(std::uint8_t flags, std::uint32_t budget) : flags_(flags), budget_(budget) {}

    int create(const std::string& final_path, const std::string&, bool) override {
        std::uint8_t flag = FLAG_NO_SRT;
        if (ends_with(final_path, "-outing.GPX") || ends_with(final_path, "-outing.gpx")) flag = FLAG_NO_OUTING;
        else if (ends_with(final_path, ".CSV") || ends_with(final_path, ".csv")) flag = FLAG_NO_CSV;
        else if (ends_with(final_path, ".ASS") || ends_with(final_path, ".ass")) flag = FLAG_NO_CSV;  // optional too
        else if (ends_with(final_path, ".GPX") || ends_with(final_path, ".gpx")) flag = FLAG_NO_GPX;
        if ((flags_ & flag) != 0) {
            errno = EACCES;
            return -1;
        }
        return next_handle_++;
    }
    int write_all(int, const char*, std::size_t n) override {
        if (budget_ != 0 && n > budget_ - written_) {
            written_ = budget_;
            return fail(ENOSPC);
        }
        written_ += n;
        return 0;
    }
    int close(int) override { return (flags_ & FLAG_CLOSE_FAILS) != 0 ? fail(EIO) : 0; }
    int rename(const std::string&, const std::string&) override {
        return (flags_ & FLAG_RENAME_FAILS) != 0 ? fail(EACCES) : 0;
    }
    void remove(const std::string&) override {}

    // A write, close or rename failed.
    bool failed() const { return failed_; }

private:
    int fail(int error) {
        failed_ = true;
        return error;
    }

    bool failed_ = false;
    std::uint8_t flags_;
    std::uint64_t budget_;
    std::uint64_t written_ = 0;
    int next_handle_ = 0;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < CHOICE_BYTES) return 0;
    const std::uint8_t* choice = data;
    std::vector<std::uint8_t> log(data + CHOICE_BYTES, data + size);
    if (log.empty()) return 0;

    Settings settings;
    for (std::size_t i = 0; i < SETTING_COUNT; ++i) {
        const Choice& c = setting_choices[i];
        settings_apply(settings, c.key, c.values[choice[choice_off::settings + i] % value_count(c)]);
    }
    const std::uint8_t flags = choice[choice_off::flags];
    const BasePath& base = BASE_PATHS[choice[choice_off::naming] % std::size(BASE_PATHS)];
    LogCommand command;
    command.dat_path = "GOPR0001.DAT";
    command.base_path = base.path;
    command.named_video = base.named_video;
    command.alt_adjust = static_cast<std::int32_t>(le32(choice + choice_off::alt_adjust));
    command.high_g = (flags & FLAG_HIGH_G) != 0;

    ChoiceChapters chapters(choice[choice_off::chapters] + 1,
                            static_cast<std::int32_t>(le32(choice + choice_off::chapter_ms) & 0x7FFFFFFFu));
    FailingPlace place(flags, le32(choice + choice_off::write_budget));
    RunOutcome outcome;

    std::FILE* dat = fmemopen(log.data(), log.size(), "rb");
    if (dat == nullptr) std::abort();
    const int status = convert_open_log(command, dat, settings, ConversionSeams{&chapters, &place},
                                        (flags & FLAG_OUTCOME) != 0 ? &outcome : nullptr);
    std::fclose(dat);
    // The conversion's promises: one of its statuses; an output that could
    // not be written is never reported as success; a failed run says why.
    if (status != EXIT_CONVERTED && status != EXIT_FATAL && status != EXIT_WRITE_FAILED) std::abort();
    if (place.failed() && status == EXIT_CONVERTED) std::abort();
    if ((flags & FLAG_OUTCOME) != 0 && status != EXIT_CONVERTED && outcome.failure[0] == '\0') std::abort();
    return 0;
}
