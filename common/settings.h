// The settings record shared by both programs, and its plain-text file:
// one "key = value" per line, case-insensitive, ';' starts a comment line.
#pragma once

#include <cstdint>

namespace tarvex {

// Field order is the dump order; names are the settings-file keys.
struct Settings {
    std::int32_t altitude = 1;          // 0 hidden, 1 ft, 2 m, 3 both
    std::int32_t temperature = 0;       // 0 hidden, 1 C, 2 F
    std::int32_t accel = 1;             // 0 hidden, 1 magnitude, 2 magnitude+axes, 3 axes
    std::int32_t gbar = 0;
    std::int32_t csv = 0;
    std::int32_t accel_places = 0;      // decimal places minus one
    std::int32_t min_sub_delay = 150;   // ms
    std::int32_t gps_lag = 500;         // ms
    std::int32_t gps_speed = 2;         // 0 hidden, 1 km/h, 2 mph
    std::int32_t gps_dist = 2;          // 0 hidden, 1 km, 2 mi
    std::int32_t gps_dist_places = 0;   // decimal places minus one
    std::int32_t alt_filter = -2;       // 0 off, -1/-2/-3 level, or samples
    std::int32_t accel_filter = -1;
    std::int32_t id_pins = 0;
    std::int32_t gpx = 1;
    std::int32_t heading = 0;
    std::int32_t speed_window = 0;      // samples
    std::int32_t haptics = 1;
    std::int32_t gps_dist_interval = 50;
    std::int32_t gps_speed_limit = 483; // km/h
    std::int32_t glide = 0;
    std::int32_t gps_rate = 25;
    std::int32_t gps_nav_mode = 5;
    std::int32_t gps_speed_type = 2;    // 0 horizontal, 1 vertical, 2 both
    std::int32_t gps_hw_lag = 0;        // ms
};

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

// Reads `path` and applies every line; prints the dump at the end. A file
// that cannot be opened changes nothing and prints nothing; one that is not a
// regular file (a FIFO, a device) changes nothing and prints one line why.
// Lines of any length are read in fixed memory; keys and values keep their
// first 255 characters.
void settings_load(const char* path, Settings& settings);
// `key` and `value` are NUL-terminated and already lower case.
void settings_apply(Settings& settings, const char* key, const char* value);
void settings_print(const Settings& settings);
int lookup_value_word(std::int32_t& field, const char* token, const ValueWords* list);
void parse_filter_value(std::int32_t& field, const char* token);

// strtol as the camera's 32-bit C library does it: base 10, leading blanks
// and sign accepted, stops at the first non-digit, saturates at the 32-bit
// limits. Same result on 32- and 64-bit hosts.
std::int32_t strtol32(const char* text);

}  // namespace tarvex
