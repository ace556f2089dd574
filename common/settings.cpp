#include "settings.h"

#include <array>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "regular_input.h"
#include "stdio_file.h"

namespace tarvex {

const ValueWords filter_level_words[] = {
    {filter_level::OFF, {"none", "no", "off", "disable", "disabled"}},
    {filter_level::LOW, {"low", "lo"}},
    {filter_level::MEDIUM, {"medium", "med"}},
    {filter_level::HIGH, {"high", "hi"}},
    {0, {}},
};
const ValueWords altitude_words[] = {
    {altitude_unit::FEET, {"ft", "feet", "imperial", "us"}},
    {altitude_unit::METRES, {"m", "meters", "metric"}},
    {altitude_unit::BOTH, {"both"}},
    {altitude_unit::HIDDEN, {"no", "none", "off", "hidden", "hide"}},
    {0, {}},
};
const ValueWords temperature_words[] = {
    {temperature_unit::CELSIUS, {"c", "celcius", "celsius", "centigrade", "metric"}},
    {temperature_unit::FAHRENHEIT, {"f", "fahrenheit", "imperial", "us"}},
    {temperature_unit::HIDDEN, {"no", "none", "off", "hidden", "hide"}},
    {0, {}},
};
const ValueWords accel_words[] = {
    {accel_shown::MAGNITUDE_AND_AXES, {"full", "yes", "on", "show", "enable", "enabled", "true"}},
    {accel_shown::AXES, {"axisonly", "xyzonly", "xyz"}},
    {accel_shown::MAGNITUDE, {"compact", "small", "mag", "magnitude", "mini", "rss", "sum"}},
    {accel_shown::HIDDEN, {"no", "off", "hide", "hidden", "disable", "disabled", "none"}},
    {0, {}},
};
const ValueWords show_hide_words[] = {
    {show_hide::SHOWN, {"yes", "on", "show", "enable", "enabled", "true"}},
    {show_hide::HIDDEN, {"no", "off", "hide", "hidden", "disable", "disabled", "false"}},
    {0, {}},
};
const ValueWords enable_words[] = {
    {on_off::ON, {"yes", "on", "enable", "enabled", "true"}},
    {on_off::OFF, {"no", "off", "disable", "disabled", "false"}},
    {0, {}},
};
const ValueWords places_words[] = {
    {decimal_places::ONE, {"short", "1", "one"}},
    {decimal_places::TWO, {"long", "2", "two"}},
    {0, {}},
};
const ValueWords speed_unit_words[] = {
    {speed_unit::MPH, {"miles", "mph", "imperial"}},
    {speed_unit::KMH, {"kilometers", "km", "kmh", "km/h", "kph", "metric"}},
    {speed_unit::HIDDEN, {"no", "off", "hide", "hidden", "disable", "disabled", "none"}},
    {0, {}},
};
const ValueWords distance_unit_words[] = {
    {distance_unit::MILES, {"miles", "imperial"}},
    {distance_unit::KM, {"kilometers", "km", "metric"}},
    {distance_unit::HIDDEN, {"no", "off", "hide", "hidden", "disable", "disabled", "none"}},
    {0, {}},
};
const ValueWords speed_type_words[] = {
    {speed_type::HORIZONTAL, {"h", "hor", "horiz", "horizontal", "ground"}},
    {speed_type::VERTICAL, {"v", "vert", "vertical"}},
    {speed_type::BOTH, {"both", "3d"}},
    {0, {}},
};
const ValueWords corner_words[] = {
    {overlay_corner::BOTTOM_LEFT, {"bottom-left"}},
    {overlay_corner::BOTTOM_RIGHT, {"bottom-right"}},
    {overlay_corner::TOP_LEFT, {"top-left"}},
    {overlay_corner::TOP_RIGHT, {"top-right"}},
    {0, {}},
};

namespace {

constexpr std::size_t TOKEN_SIZE = 256;  // 255 characters and the terminator
constexpr std::int32_t gps_rate_values[] = {1, 2, 4, 5, 8, 10, 20, 25, -1};

enum class KeyKind { Word, Number, Filter, Rate };

// One settings key's description: the field it sets and how its value is read.
struct SettingsKey {
    const char* key;
    std::int32_t Settings::*field;
    KeyKind kind;
    const ValueWords* words;  // word keys
    std::uint32_t min, max;   // number keys, compared unsigned
    std::int32_t fallback;    // number keys
};

constexpr SettingsKey key_table[] = {
    {"altitude", &Settings::altitude, KeyKind::Word, altitude_words, 0, 0, 0},
    {"temperature", &Settings::temperature, KeyKind::Word, temperature_words, 0, 0, 0},
    {"accel", &Settings::accel, KeyKind::Word, accel_words, 0, 0, 0},
    {"gbar", &Settings::gbar, KeyKind::Word, show_hide_words, 0, 0, 0},
    {"csv", &Settings::csv, KeyKind::Word, enable_words, 0, 0, 0},
    {"accel_places", &Settings::accel_places, KeyKind::Word, places_words, 0, 0, 0},
    {"min_sub_delay", &Settings::min_sub_delay, KeyKind::Number, nullptr, 0, 10000, 150},
    {"gps_lag", &Settings::gps_lag, KeyKind::Number, nullptr, 0, 9000, 1000},
    {"gps_speed", &Settings::gps_speed, KeyKind::Word, speed_unit_words, 0, 0, 0},
    {"gps_dist", &Settings::gps_dist, KeyKind::Word, distance_unit_words, 0, 0, 0},
    {"gps_dist_places", &Settings::gps_dist_places, KeyKind::Word, places_words, 0, 0, 0},
    {"alt_filter", &Settings::alt_filter, KeyKind::Filter, nullptr, 0, 0, 0},
    {"accel_filter", &Settings::accel_filter, KeyKind::Filter, nullptr, 0, 0, 0},
    {"id_pins", &Settings::id_pins, KeyKind::Word, show_hide_words, 0, 0, 0},
    {"gpx", &Settings::gpx, KeyKind::Word, enable_words, 0, 0, 0},
    {"heading", &Settings::heading, KeyKind::Word, show_hide_words, 0, 0, 0},
    {"speed_window", &Settings::speed_window, KeyKind::Number, nullptr, 0, 250, 0},
    {"gps_dist_interval", &Settings::gps_dist_interval, KeyKind::Number, nullptr, 0, 1500, 50},
    {"gps_speed_limit", &Settings::gps_speed_limit, KeyKind::Number, nullptr, 16, 3220, 483},
    {"haptics", &Settings::haptics, KeyKind::Word, enable_words, 0, 0, 0},
    {"glide", &Settings::glide, KeyKind::Word, show_hide_words, 0, 0, 0},
    {"gps_rate", &Settings::gps_rate, KeyKind::Rate, nullptr, 0, 0, 25},
    {"gps_nav_mode", &Settings::gps_nav_mode, KeyKind::Number, nullptr, 0, 6, 6},
    {"gps_speed_type", &Settings::gps_speed_type, KeyKind::Word, speed_type_words, 0, 0, 0},
    {"gps_hw_lag", &Settings::gps_hw_lag, KeyKind::Number, nullptr, 0, 9000, 0},
    {"gpx_time", &Settings::gpx_time, KeyKind::Word, show_hide_words, 0, 0, 0},
    {"gpx_outing", &Settings::gpx_outing, KeyKind::Word, show_hide_words, 0, 0, 0},
    {"gpx_highlights", &Settings::gpx_highlights, KeyKind::Word, show_hide_words, 0, 0, 0},
    {"ass_overlay", &Settings::ass_overlay, KeyKind::Word, show_hide_words, 0, 0, 0},
    {"overlay_corner", &Settings::overlay_corner, KeyKind::Word, corner_words, 0, 0, 0},
    // Out of range: not set, so the SRT bar stays uncapped.
    {"gbar_max", &Settings::gbar_max, KeyKind::Number, nullptr, 1, 20, 0},
    {"ride_page", &Settings::ride_page, KeyKind::Word, show_hide_words, 0, 0, 0},
};

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

// One token buffer: keeps the first 255 characters, drops the rest.
struct Token {
    char text[TOKEN_SIZE] = {};
    std::size_t length = 0;

    void add(char c) {
        if (length < TOKEN_SIZE - 1) text[length++] = c;
    }
    const char* c_str() {
        text[length] = '\0';
        return text;
    }
};

// Reads one line a byte at a time, so a line of any length (a file without
// a newline, hundreds of megabytes long) costs the two token buffers only.
//   leading blanks, then ';' (comment) or the key up to a blank or '=';
//   anything up to the first '=' is skipped (no '=': empty value);
//   blanks after '=', then the value up to a blank; the rest is ignored.
// An embedded NUL ends what is read of the line.
class LineParser {
public:
    void feed(char raw) {
        const char c = static_cast<char>(std::tolower(static_cast<unsigned char>(raw)));
        if (c == '\0') {
            phase_ = Phase::Ignore;
            return;
        }
        switch (phase_) {
            case Phase::Blank:
                if (is_space(c)) break;
                if (c == ';') {
                    phase_ = Phase::Ignore;
                    break;
                }
                has_key_ = true;
                if (c == '=') {
                    phase_ = Phase::BeforeValue;  // empty key
                } else {
                    key_.add(c);
                    phase_ = Phase::Key;
                }
                break;
            case Phase::Key:
                if (is_space(c)) phase_ = Phase::BeforeEquals;
                else if (c == '=') phase_ = Phase::BeforeValue;
                else key_.add(c);
                break;
            case Phase::BeforeEquals:
                if (c == '=') phase_ = Phase::BeforeValue;
                break;
            case Phase::BeforeValue:
                if (is_space(c)) break;
                value_.add(c);
                phase_ = Phase::Value;
                break;
            case Phase::Value:
                if (is_space(c)) phase_ = Phase::Ignore;
                else value_.add(c);
                break;
            case Phase::Ignore: break;
        }
    }

    // Applies the line's pair, if it had a key, and starts the next line.
    // `key` receives the key (empty for a blank or comment line, which
    // counts as applied).
    SettingResult end_line(Settings& settings, Token& key) {
        const SettingResult result =
            has_key_ ? settings_apply(settings, key_.c_str(), value_.c_str()) : SettingResult::Applied;
        key = key_;
        *this = LineParser{};
        return result;
    }

private:
    enum class Phase { Blank, Key, BeforeEquals, BeforeValue, Value, Ignore };
    Phase phase_ = Phase::Blank;
    bool has_key_ = false;
    Token key_, value_;
};

void print_line_note(const char* path, std::int32_t line_number, const char* key, SettingResult result,
                     std::int32_t stored) {
    switch (result) {
        case SettingResult::Applied: break;
        case SettingResult::NotUnderstood:
            std::printf("%s line %d: key %s: value not understood, left as before\n", path, line_number, key);
            break;
        case SettingResult::OutOfRange:
            std::printf("%s line %d: key %s: value out of range, %d used instead\n", path, line_number, key, stored);
            break;
        case SettingResult::UnknownKey:
            std::printf("%s line %d: key %s: not a known setting, ignored\n", path, line_number, key);
            break;
    }
}

// The field a key names, or nullptr for an unknown key.
const std::int32_t* field_of(const Settings& settings, const char* key) {
    for (const SettingsKey& k : key_table) {
        if (std::strcmp(k.key, key) == 0) return &(settings.*(k.field));
    }
    return nullptr;
}

}  // namespace

std::int32_t strtol32(const char* text) {
    errno = 0;
    const long long v = std::strtoll(text, nullptr, 10);
    if (v > INT32_MAX) return INT32_MAX;
    if (v < INT32_MIN) return INT32_MIN;
    return static_cast<std::int32_t>(v);
}

int lookup_value_word(std::int32_t& field, const char* token, const ValueWords* list) {
    for (const ValueWords* entry = list; entry->words[0] != nullptr; ++entry) {
        for (const char* word : entry->words) {
            if (word == nullptr) break;
            if (std::strcmp(word, token) == 0) {
                field = entry->value;
                return 0;
            }
        }
    }
    std::printf("Unknown value: <%s>\n", token);
    return -1;
}

int parse_filter_value(std::int32_t& field, const char* token) {
    std::int32_t level = 0;
    if (lookup_value_word(level, token, filter_level_words) == 0) {
        field = level;
        std::puts("Filter string value detected");
        return 0;
    }
    const std::int32_t n = strtol32(token);
    if (static_cast<std::uint32_t>(n) <= 250u) {
        field = n;
        std::puts("Filter numeric value detected");
        return 0;
    }
    std::printf("Invalid filter setting: <%s>\n", token);
    return -1;
}

SettingResult settings_apply(Settings& settings, const char* key, const char* value) {
    std::printf("Parsing: %s %s\n", key, value);
    for (const SettingsKey& k : key_table) {
        if (std::strcmp(k.key, key) != 0) continue;
        std::int32_t& field = settings.*(k.field);
        switch (k.kind) {
            case KeyKind::Word:
                return lookup_value_word(field, value, k.words) == 0 ? SettingResult::Applied
                                                                     : SettingResult::NotUnderstood;
            case KeyKind::Filter:
                return parse_filter_value(field, value) == 0 ? SettingResult::Applied : SettingResult::NotUnderstood;
            case KeyKind::Number: {
                const std::int32_t n = strtol32(value);
                const auto u = static_cast<std::uint32_t>(n);  // negatives compare as huge
                const bool in_range = u >= k.min && u <= k.max;
                field = in_range ? n : k.fallback;
                return in_range ? SettingResult::Applied : SettingResult::OutOfRange;
            }
            case KeyKind::Rate: {
                const std::int32_t n = strtol32(value);
                field = k.fallback;
                for (const std::int32_t* r = gps_rate_values; *r != -1; ++r) {
                    if (*r == n) field = n;
                }
                return field == n ? SettingResult::Applied : SettingResult::OutOfRange;
            }
        }
    }
    return SettingResult::UnknownKey;
}

void settings_print(const Settings& s) {
    std::printf("Alt:\t\t\t%d\n", s.altitude);
    std::printf("Temp:\t\t\t%d\n", s.temperature);
    std::printf("Accel:\t\t\t%d\n", s.accel);
    std::printf("G-bar:\t\t\t%d\n", s.gbar);
    std::printf("CSV:\t\t\t%d\n", s.csv);
    std::printf("Accel places:\t\t%d\n", s.accel_places + 1);
    std::printf("Min delta:\t\t%d\n", s.min_sub_delay);
    std::printf("GPS lag:\t\t%d\n", s.gps_lag);
    std::printf("GPS speed:\t\t%d\n", s.gps_speed);
    std::printf("GPS distance:\t\t%d\n", s.gps_dist);
    std::printf("GPS distance places:\t%d\n", s.gps_dist_places + 1);
    std::printf("Alt filter:\t\t%d\n", s.alt_filter);
    std::printf("Accel fiter:\t\t%d\n", s.accel_filter);
    std::printf("ID pins:\t\t%d\n", s.id_pins);
    std::printf("GPX:\t\t\t%d\n", s.gpx);
    std::printf("Heading:\t\t%d\n", s.heading);
    std::printf("Speed window:\t\t%d\n", s.speed_window);
    std::printf("Haptics:\t\t%d\n", s.haptics);
    std::printf("GPS dist interval:\t%d\n", s.gps_dist_interval);
    std::printf("GPS speed_limit:\t%d\n", s.gps_speed_limit);
    std::printf("Glide:\t\t\t%d\n", s.glide);
    std::printf("Venus rate:\t\t%d\n", s.gps_rate);
    std::printf("Venus nav mode:\t\t%d\n", s.gps_nav_mode);
    std::printf("GPS speed type:\t\t%d\n", s.gps_speed_type);
    std::printf("GPS HW lag:\t\t%d\n", s.gps_hw_lag);
}

void settings_load(const char* path, Settings& settings, bool line_notes) {
    InputOpen opened = InputOpen::CannotOpen;
    File f(open_regular_input(path, opened));
    if (opened == InputOpen::NotRegular) {
        // Reading a FIFO or a device could block for ever or never end.
        std::printf("Settings file %s is not a regular file; using the defaults.\n", path);
        return;
    }
    if (!f) return;
    std::puts("Opened settings file");
    LineParser line;
    bool line_open = false;  // bytes read since the last newline
    std::int32_t line_number = 0;
    // Ends the line; with notes, says where a line was not taken as written.
    const auto end_line = [&] {
        ++line_number;
        Token key;
        const SettingResult result = line.end_line(settings, key);
        if (!line_notes) return;
        const std::int32_t* field = field_of(settings, key.c_str());
        print_line_note(path, line_number, key.c_str(), result, field != nullptr ? *field : 0);
    };
    std::array<char, 4096> chunk;
    std::size_t n;
    while ((n = std::fread(chunk.data(), 1, chunk.size(), f.get())) > 0) {
        for (std::size_t i = 0; i < n; ++i) {
            line.feed(chunk[i]);
            line_open = true;
            if (chunk[i] == '\n') {
                end_line();
                line_open = false;
            }
        }
    }
    if (line_open) end_line();  // a last line without a newline
    f.reset();
    settings_print(settings);
}

}  // namespace tarvex
