// The settings record shared by both programs, and its plain-text file:
// one "key = value" per line, case-insensitive, ';' starts a comment line.
#pragma once

#include <cstdint>

namespace tarvex {

// The values each field may hold, named beside it. The fields stay plain
// 32-bit integers: the dump prints them as numbers, and the filter fields
// also hold sample counts.
namespace altitude_unit {  // `altitude` in the subtitles
inline constexpr std::int32_t HIDDEN = 0, FEET = 1, METRES = 2, BOTH = 3;
}
namespace temperature_unit {  // `temperature` in the subtitles
inline constexpr std::int32_t HIDDEN = 0, CELSIUS = 1, FAHRENHEIT = 2;
}
namespace accel_shown {  // `accel` in the subtitles
inline constexpr std::int32_t HIDDEN = 0, MAGNITUDE = 1, MAGNITUDE_AND_AXES = 2, AXES = 3;
}
// `gbar`, `id_pins`, `heading` (any nonzero shows), `glide`, `gpx_time`, `gpx_outing`, `gpx_highlights`,
// `ass_overlay`, `ride_page`
namespace show_hide {
inline constexpr std::int32_t HIDDEN = 0, SHOWN = 1;
}
namespace on_off {  // `csv`, `gpx`, `haptics`
inline constexpr std::int32_t OFF = 0, ON = 1;
}
namespace decimal_places {  // `accel_places`, `gps_dist_places`: stored as places minus one
inline constexpr std::int32_t ONE = 0, TWO = 1;
}
namespace speed_unit {  // `gps_speed` in the subtitles
inline constexpr std::int32_t HIDDEN = 0, KMH = 1, MPH = 2;
}
namespace distance_unit {  // `gps_dist` in the subtitles
inline constexpr std::int32_t HIDDEN = 0, KM = 1, MILES = 2;
}
namespace speed_type {  // `gps_speed_type`: which GpsNavData speeds are shown
inline constexpr std::int32_t HORIZONTAL = 0, VERTICAL = 1, BOTH = 2;
}
namespace overlay_corner {  // `overlay_corner`: where the ASS overlay's block sits in the frame
inline constexpr std::int32_t BOTTOM_LEFT = 0, BOTTOM_RIGHT = 1, TOP_LEFT = 2, TOP_RIGHT = 3;
}
namespace filter_level {  // `alt_filter`, `accel_filter`: a level, or a half-width of 1..250 samples
inline constexpr std::int32_t OFF = 0, LOW = -1, MEDIUM = -2, HIGH = -3;
}

// Field order is the dump order; names are the settings-file keys.
struct Settings {
    std::int32_t altitude = altitude_unit::FEET;
    std::int32_t temperature = temperature_unit::HIDDEN;
    std::int32_t accel = accel_shown::MAGNITUDE;
    std::int32_t gbar = show_hide::HIDDEN;
    std::int32_t csv = on_off::OFF;
    std::int32_t accel_places = decimal_places::ONE;
    std::int32_t min_sub_delay = 150;  // ms
    std::int32_t gps_lag = 500;        // ms
    std::int32_t gps_speed = speed_unit::MPH;
    std::int32_t gps_dist = distance_unit::MILES;
    std::int32_t gps_dist_places = decimal_places::ONE;
    std::int32_t alt_filter = filter_level::MEDIUM;
    std::int32_t accel_filter = filter_level::LOW;
    std::int32_t id_pins = show_hide::HIDDEN;
    std::int32_t gpx = on_off::ON;
    std::int32_t heading = show_hide::HIDDEN;
    std::int32_t speed_window = 0;  // samples
    std::int32_t haptics = on_off::ON;
    std::int32_t gps_dist_interval = 50;  // GpsNavData fixes per distance step
    std::int32_t gps_speed_limit = 483;   // km/h
    std::int32_t glide = show_hide::HIDDEN;
    std::int32_t gps_rate = 25;  // Hz
    std::int32_t gps_nav_mode = 5;
    std::int32_t gps_speed_type = speed_type::BOTH;
    std::int32_t gps_hw_lag = 0;  // ms
    // Later keys: read like the others, left out of the dump so that its
    // lines stay what older tools parse.
    std::int32_t gpx_time = show_hide::HIDDEN;        // UTC times in the GPX files
    std::int32_t gpx_outing = show_hide::HIDDEN;      // one GPX track for the whole log
    std::int32_t gpx_highlights = show_hide::HIDDEN;  // the ride's highlights as waypoints of that track
    std::int32_t ass_overlay = show_hide::HIDDEN;     // a styled ASS overlay beside each SRT
    std::int32_t overlay_corner = overlay_corner::BOTTOM_LEFT;
    std::int32_t gbar_max = 0;                   // G at the bar's full scale, 1..20; 0: not set
    std::int32_t ride_page = show_hide::HIDDEN;  // an HTML page per recording beside its chapters
};

// Which acceleration items the subtitles show, for every subtitle format.
inline bool shows_accel_magnitude(const Settings& s) {
    return s.accel == accel_shown::MAGNITUDE || s.accel == accel_shown::MAGNITUDE_AND_AXES;
}
inline bool shows_accel_axes(const Settings& s) {
    return s.accel == accel_shown::MAGNITUDE_AND_AXES || s.accel == accel_shown::AXES;
}

// One word list: entries of a value and up to eight words, ended by an entry
// without words.
struct ValueWords {
    std::int32_t value;
    const char* words[8];
};

extern const ValueWords filter_level_words[];
extern const ValueWords altitude_words[];
extern const ValueWords temperature_words[];
extern const ValueWords accel_words[];
extern const ValueWords show_hide_words[];
extern const ValueWords enable_words[];
extern const ValueWords places_words[];
extern const ValueWords speed_unit_words[];
extern const ValueWords distance_unit_words[];
extern const ValueWords speed_type_words[];
extern const ValueWords corner_words[];

// What applying one "key = value" pair did to the record.
enum class SettingResult { Applied, NotUnderstood, OutOfRange, UnknownKey };

// Reads `path` and applies every line; prints the dump at the end. A file
// that cannot be opened changes nothing and prints nothing; one that is not a
// regular file (a FIFO, a device) changes nothing and prints one line why.
// Lines of any length are read in fixed memory; keys and values keep their
// first 255 characters. With `line_notes`, every line that was not applied as
// written is followed by a line naming the file, line number and key, so a
// user can find it.
void settings_load(const char* path, Settings& settings, bool line_notes = false);
// `key` and `value` are NUL-terminated and already lower case.
SettingResult settings_apply(Settings& settings, const char* key, const char* value);
void settings_print(const Settings& settings);
int lookup_value_word(std::int32_t& field, const char* token, const ValueWords* list);
// 0 when the token was taken, -1 when the field was left unchanged.
int parse_filter_value(std::int32_t& field, const char* token);

// strtol as the camera's 32-bit C library does it: base 10, leading blanks
// and sign accepted, stops at the first non-digit, saturates at the 32-bit
// limits. Same result on 32- and 64-bit hosts.
std::int32_t strtol32(const char* text);

}  // namespace tarvex
