// The ASS overlay's script: header and styles, one event per SRT entry (a
// block of fixed-width lines, the G bar drawn among them), and the box
// behind the block. Every position and length is an integer count of script
// pixels, worked out in integer arithmetic: the camera has no FPU.
#include "ass_writer.h"

#include <algorithm>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <string>

#include "fixed_point.h"
#include "printable_text.h"
#include "srt_writer.h"

namespace tarvex {

namespace {

// Script resolution: the renderer scales positions, sizes and drawings from
// it to the video's size.
constexpr std::int32_t PLAY_RES_X = 1920, PLAY_RES_Y = 1080;
// DejaVu Sans Mono: a renderer sizes a font by its ascent plus descent
// (2384 font units), so at size 36 the lines are 36 px apart and every glyph
// advances 1233 units, 18.6 px.
constexpr std::int32_t FONT_SIZE = 36;
constexpr std::int32_t LINE_HEIGHT = FONT_SIZE;  // px
constexpr std::int32_t GLYPH_ADVANCE_UNITS = 1233, FONT_HEIGHT_UNITS = 2384;
constexpr std::int32_t MARGIN = 40;             // px from the frame's edges to the box
constexpr std::int32_t PADDING = 14;            // px from the box's edges to the text
constexpr std::int32_t BAR_LENGTH = 320;        // px of the G bar at full scale
constexpr std::int32_t DEFAULT_FULL_SCALE = 4;  // G, when gbar_max is not set
// The bar's drawing, px from the top of its 28 px: scale lines above and
// below the fill, ticks outside them at 0, 1 G and full scale.
constexpr std::int32_t TICK_TOP = 0, LINE_TOP = 4, FILL_TOP = 8, FILL_BOTTOM = 20, LINE_BOTTOM = 24, TICK_BOTTOM = 28;
constexpr std::int32_t SCALE_LINE = 2, TICK_WIDTH = 3;  // px

// Characters of a value's column: "-346.41" (a 200 G magnitude), "1234567" ft.
constexpr std::size_t VALUE_WIDTH = 7;
// Widest GPS lines: "   25.0 glide" (13), "H    62 km/h" (12).
constexpr std::int32_t GPS_LINE_CHARS = 13;

// Colours, &HAABBGGRR (alpha 0 is opaque).
#define TEXT_COLOUR "&H00FFFFFF&"
#define BAR_COLOUR  "&H0000B0FF&"  // amber
#define OVER_COLOUR "&H004040FF&"  // red: the value is above full scale

// px of `chars` characters, rounded up.
constexpr std::int32_t text_width(std::int32_t chars) {
    return (chars * FONT_SIZE * GLYPH_ADVANCE_UNITS + FONT_HEIGHT_UNITS - 1) / FONT_HEIGHT_UNITS;
}

// Decimal digits of v, by comparisons: no division, which the camera's
// processor does by a library call for 64-bit values.
std::size_t digit_count(std::uint64_t v) {
    if (v < 100u) return v < 10u ? 1 : 2;  // most readings
    if (v < 10000u) return v < 1000u ? 3 : 4;
    std::size_t n = 5;
    for (std::uint64_t power = 100000; n < 20 && v >= power; power *= 10) ++n;
    return n;
}

// Padding of n characters: hard spaces, as renderers drop plain spaces at
// the start of a line.
void pad(Row& t, std::size_t n) {
    for (; n >= 4; n -= 4) t.lit("\\h\\h\\h\\h");
    for (; n > 0; --n) t.lit("\\h");
}

// "%d", right-aligned in `width` characters; a longer value takes the room
// it needs.
void put_number(Row& t, std::int64_t v, std::size_t width = VALUE_WIDTH) {
    const std::uint64_t mag = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    const std::size_t n = digit_count(mag) + (v < 0 ? 1u : 0u);
    if (n < width) pad(t, width - n);
    t.dec(v);
}

// The signed fixed-point form right-aligned in `width` characters; the sign
// space of a value >= 0 is written as padding. Magnitudes here fit 32 bits
// (G, km), so the divisions are 32-bit ones by a constant.
template <int PLACES>
void put_fixed(Row& t, std::int64_t v, std::size_t width = VALUE_WIDTH) {
    static_assert(PLACES == 1 || PLACES == 2);
    constexpr std::uint32_t unit = PLACES == 1 ? 10u : 100u;
    const std::uint64_t mag64 = v < 0 ? 0 - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
    if (mag64 > UINT32_MAX) {  // not a reading: as wide as it is
        t.fixed<PLACES>(v);
        return;
    }
    const auto mag = static_cast<std::uint32_t>(mag64);
    const std::size_t n = 1 + digit_count(mag / unit) + 1 + PLACES;  // sign, whole, '.', places
    const std::size_t room = n < width ? width - n : 0;
    if (v < 0) {
        pad(t, room);
        t.put('-');
    } else {
        pad(t, room + 1);
    }
    t.udec(mag / unit);
    t.put('.');
    t.udec_padded<PLACES>(mag % unit);
}

void put_g(Row& t, std::int64_t v, bool hundredths, std::size_t width = VALUE_WIDTH) {
    if (hundredths) put_fixed<2>(t, v, width);
    else put_fixed<1>(t, v, width);
}

// A dash form right-aligned in `width` characters.
template <std::size_t N>
void put_dash(Row& t, const char (&dash)[N], std::size_t width = VALUE_WIDTH) {
    if (N - 1 < width) pad(t, width - (N - 1));
    t.lit(dash);
}

// "H:MM:SS.cc": ASS counts centiseconds, so the SRT's milliseconds are
// rounded to the nearest; entries that abut there abut here.
void put_time(Row& t, std::uint32_t ms) {
    const std::uint32_t cs = ms / 10u + (ms % 10u >= 5u ? 1u : 0u);
    const std::uint32_t hours = cs / 360000u;
    std::uint32_t rest = cs - hours * 360000u;
    const std::uint32_t minutes = rest / 6000u;
    rest -= minutes * 6000u;
    const std::uint32_t seconds = rest / 100u;
    t.udec(hours);
    t.put(':');
    t.udec_padded<2>(minutes);
    t.put(':');
    t.udec_padded<2>(seconds);
    t.put('.');
    t.udec_padded<2>(rest - seconds * 100u);
}

bool shows_speed(const Settings& s) { return s.gps_speed == speed_unit::KMH || s.gps_speed == speed_unit::MPH; }
bool shows_dist(const Settings& s) { return s.gps_dist == distance_unit::KM || s.gps_dist == distance_unit::MILES; }
bool shows_h_speed(const Settings& s) {
    return shows_speed(s) && (s.gps_speed_type == speed_type::HORIZONTAL || s.gps_speed_type == speed_type::BOTH);
}
bool shows_v_speed(const Settings& s) {
    return shows_speed(s) && (s.gps_speed_type == speed_type::VERTICAL || s.gps_speed_type == speed_type::BOTH);
}

// Characters of an axis value: " 16.00", "-16.0"; the 200 G part one more.
std::size_t axis_width(const Settings& s, const RunOptions& run) {
    return (s.accel_places != decimal_places::ONE ? 6u : 5u) + (run.high_g ? 1u : 0u);
}

std::int32_t full_scale(const Settings& s) { return s.gbar_max > 0 ? s.gbar_max : DEFAULT_FULL_SCALE; }

// A mile is taken as 1.61 km, as in the SRT.
std::int64_t km_to_miles(std::int64_t v) { return mul_div<100, 161>(v); }

}  // namespace

AssOverlay::AssOverlay(const Settings& settings, const RunOptions& run) : settings_(settings), run_(run) {
    const Settings& s = settings;
    std::int32_t lines = 0, chars = 0;
    const auto slot = [&](bool shown, std::size_t width) {
        if (!shown) return;
        ++lines;
        chars = std::max(chars, static_cast<std::int32_t>(width));
    };
    const std::size_t unit_chars = s.altitude == altitude_unit::METRES ? 2 : 3;  // " m", " ft"
    slot(s.altitude == altitude_unit::FEET || s.altitude == altitude_unit::METRES, VALUE_WIDTH + unit_chars);
    slot(s.altitude == altitude_unit::BOTH, 2 * VALUE_WIDTH + 5);
    slot(s.speed_window > 0, VALUE_WIDTH + 5);  // the pipeline's climb rate, " ft/s"
    slot(s.temperature == temperature_unit::CELSIUS || s.temperature == temperature_unit::FAHRENHEIT, VALUE_WIDTH + 2);
    slot(shows_accel_magnitude(s), VALUE_WIDTH + 2);
    slot(shows_accel_axes(s), 3 * axis_width(s, run) + 7);  // "X" " Y" " Z" " G"
    const std::int32_t full = full_scale(s);
    const std::int32_t label_chars = full >= 10 ? 6 : 5;  // "  4 G", " >20 G"
    std::int32_t content = 0;
    if (s.gbar == show_hide::SHOWN) {
        ++lines;
        content = BAR_LENGTH + text_width(label_chars);
    }
    slot(s.id_pins == show_hide::SHOWN, 15);  // "ID1: 1   ID2: 0"

    const std::int32_t fix_lines =
        (shows_speed(s) ? 1 : 0) + (shows_dist(s) ? 1 : 0) + (s.heading != show_hide::HIDDEN ? 1 : 0);
    const std::int32_t nav_lines = (shows_h_speed(s) ? 1 : 0) + (shows_v_speed(s) ? 1 : 0) + (shows_dist(s) ? 1 : 0) +
                                   (s.glide == show_hide::SHOWN ? 1 : 0);
    block_.most_gps_lines = std::max(fix_lines, nav_lines);
    if (block_.most_gps_lines > 0) chars = std::max(chars, GPS_LINE_CHARS);

    content = std::max(content, text_width(chars));
    block_.fixed_lines = lines;
    block_.width = content + 2 * PADDING;
    const std::int32_t most_height = (lines + block_.most_gps_lines) * LINE_HEIGHT + 2 * PADDING;
    const bool left = s.overlay_corner == overlay_corner::BOTTOM_LEFT || s.overlay_corner == overlay_corner::TOP_LEFT;
    const bool top = s.overlay_corner == overlay_corner::TOP_LEFT || s.overlay_corner == overlay_corner::TOP_RIGHT;
    block_.x = left ? MARGIN : PLAY_RES_X - MARGIN - block_.width;
    block_.y = top ? MARGIN : PLAY_RES_Y - MARGIN - most_height;

    event_style_ = ",Readings,,0,0,0,,{\\an7\\pos(" + std::to_string(block_.x + PADDING) + ',' +
                   std::to_string(block_.y + PADDING) + ")}";
    // The bar's scale: the same on every entry, so the drawing always spans
    // full scale and the label after it stays put. Two combs: a line with
    // ticks above the fill at 0, 1 G and full scale, and its mirror below.
    // At a full scale of 1 G the end tick is the 1 G mark.
    const std::int32_t one_g = full > 1 ? BAR_LENGTH / full - 1 : 0;
    const std::int32_t ticks[] = {0, one_g, BAR_LENGTH - TICK_WIDTH};
    bar_scale_ = "{\\1c" BAR_COLOUR "\\p1}";
    const auto comb = [&](std::int32_t tick_end, std::int32_t line_edge, std::int32_t line_far) {
        const auto point = [&](std::int32_t x, std::int32_t y) {
            bar_scale_ += ' ' + std::to_string(x) + ' ' + std::to_string(y);
        };
        bar_scale_ += " m";
        point(0, tick_end);
        bar_scale_ += " l";
        for (std::size_t i = 0; i < 3; ++i) {
            const std::int32_t x = ticks[i];
            if (i == 1 && x == 0) continue;
            if (x > 0) {
                point(x, line_edge);
                point(x, tick_end);
            }
            point(x + TICK_WIDTH, tick_end);
            point(x + TICK_WIDTH, line_edge);
        }
        point(BAR_LENGTH, line_far);
        point(0, line_far);
    };
    comb(TICK_TOP, LINE_TOP, LINE_TOP + SCALE_LINE);
    comb(TICK_BOTTOM, LINE_BOTTOM, LINE_BOTTOM - SCALE_LINE);
}

// The header spells these out.
static_assert(PLAY_RES_X == 1920 && PLAY_RES_Y == 1080 && FONT_SIZE == 36 && MARGIN == 40);

void AssOverlay::start(TextOut& out, const char* title) {
    last_sub_time_ = NO_SUB_TIME;
    gps_lines_ = 0;
    // A file name may hold any byte; a header line must stay one line.
    std::string name(title);
    printable_copy(name.data(), title, name.size());
    out.str(
        "[Script Info]\n"
        "; Sensor readings for the video of the same name. Fonts: DejaVu Sans Mono.\n"
        "Title: ");
    out.str(name.c_str());
    out.str(
        "\nScriptType: v4.00+\n"
        "WrapStyle: 2\n"
        "ScaledBorderAndShadow: yes\n"
        "YCbCr Matrix: None\n"
        "PlayResX: 1920\n"
        "PlayResY: 1080\n"
        "\n"
        "[V4+ Styles]\n"
        "Format: Name, Fontname, Fontsize, PrimaryColour, SecondaryColour, OutlineColour, BackColour, Bold, "
        "Italic, Underline, StrikeOut, ScaleX, ScaleY, Spacing, Angle, BorderStyle, Outline, Shadow, "
        "Alignment, MarginL, MarginR, MarginV, Encoding\n"
        // White with a thin black outline; the box: black, 38 % transparent.
        "Style: Readings,DejaVu Sans Mono,36," TEXT_COLOUR "," TEXT_COLOUR
        ",&H00000000&,&H00000000&,0,0,0,0,100,100,0,0,1,2,0,7,40,40,40,1\n"
        "Style: Box,DejaVu Sans Mono,36,&H60000000&,&H60000000&,&H00000000&,&H00000000&,"
        "0,0,0,0,100,100,0,0,1,0,0,7,40,40,40,1\n"
        "\n"
        "[Events]\n"
        "Format: Layer, Start, End, Style, Name, MarginL, MarginR, MarginV, Effect, Text\n");
}

void AssOverlay::write_entry(TextOut& out, const LogEvent& ev) {
    std::uint32_t t_start = 0;
    if (!take_subtitle_slot(ev.vid_timestamp, settings_.min_sub_delay, last_sub_time_, t_start)) return;
    Row t(out);
    t.lit("Dialogue: 1,");
    put_time(t, t_start);
    t.put(',');
    put_time(t, ev.vid_timestamp);
    t.put(event_style_.data(), event_style_.size());
    put_lines(t, ev);
    t.put('\n');
}

void AssOverlay::finish(TextOut& out) {
    const std::int32_t lines = block_.fixed_lines + gps_lines_;
    if (last_sub_time_ == NO_SUB_TIME || lines == 0) return;
    Row t(out);
    t.lit("Dialogue: 0,0:00:00.00,");
    put_time(t, last_sub_time_);
    t.lit(",Box,,0,0,0,,{\\an7\\pos(");
    t.dec(block_.x);
    t.put(',');
    t.dec(block_.y);
    t.lit(")\\p1}m 0 0 l ");
    const std::int32_t height = lines * LINE_HEIGHT + 2 * PADDING;
    t.dec(block_.width);
    t.lit(" 0 ");
    t.dec(block_.width);
    t.put(' ');
    t.dec(height);
    t.lit(" 0 ");
    t.dec(height);
    t.lit("{\\p0}\n");
}

// The entry's lines, separated by "\N". Each item has a line of its own,
// its value right-aligned in a fixed column and followed by its unit; an
// item the SRT shows only sometimes keeps its line with a dash form, so no
// line moves. The GPS lines come last: they appear with the first record.
void AssOverlay::put_lines(Row& t, const LogEvent& ev) {
    const Settings& s = settings_;
    bool first = true;
    const auto next_line = [&] {
        if (!first) t.lit("\\N");
        first = false;
    };
    const SensorSample sample = decode_sensor_sample(ev);

    const std::int32_t alt = ev.filt_altitude;
    const bool alt_known = alt != NO_VALUE;
    const std::int64_t metres = mul_div<1000, 3281>(alt);  // as in the SRT
    if (s.altitude == altitude_unit::FEET || s.altitude == altitude_unit::BOTH) {
        next_line();
        if (alt_known) put_number(t, alt);
        else put_dash(t, "---");
        t.lit(" ft");
    }
    if (s.altitude == altitude_unit::METRES || s.altitude == altitude_unit::BOTH) {
        if (s.altitude == altitude_unit::METRES) next_line();
        if (alt_known) put_number(t, metres);
        else put_dash(t, "---");
        t.lit(" m");
    }
    if (s.speed_window > 0) {
        next_line();
        if (ev.baro_vspeed != NO_VSPEED) put_number(t, ev.baro_vspeed);
        else put_dash(t, "---");
        t.lit(" ft/s");
    }
    const bool temp_known = sample.temp != NO_VALUE;  // tenths of a degree Celsius
    if (s.temperature == temperature_unit::CELSIUS) {
        next_line();
        if (temp_known) put_number(t, sample.temp / 10);
        else put_dash(t, "--");
        t.lit(" C");
    } else if (s.temperature == temperature_unit::FAHRENHEIT) {
        next_line();
        if (temp_known) put_number(t, mul_div<9, 50>(sample.temp) + 32);
        else put_dash(t, "--");
        t.lit(" F");
    }

    if (shows_accel_magnitude(s) || shows_accel_axes(s) || s.gbar == show_hide::SHOWN) {
        const bool valid = ev.filt_accel_x != NO_ACCEL && ev.filt_accel_y != NO_ACCEL && ev.filt_accel_z != NO_ACCEL;
        const bool hundredths = s.accel_places != decimal_places::ONE;
        // The SRT writer rescales the event in place after this; a copy here.
        LogEvent scaled = ev;
        if (hundredths) accel_scale_hundredths(scaled, run_);
        else accel_scale_tenths(scaled, run_);
        const auto sq = [](std::int32_t v) {
            const auto u = static_cast<std::uint32_t>(v);
            return u * u;
        };
        const std::uint32_t m = isqrt(sq(scaled.filt_accel_x) + sq(scaled.filt_accel_y) + sq(scaled.filt_accel_z));

        if (shows_accel_magnitude(s)) {
            next_line();
            if (valid) put_g(t, m, hundredths);
            else put_dash(t, "---");
            t.lit(" G");
        }
        if (shows_accel_axes(s)) {
            next_line();
            const std::size_t w = axis_width(s, run_);
            const char names[] = {'X', 'Y', 'Z'};
            const std::int32_t axes[] = {scaled.filt_accel_x, scaled.filt_accel_y, scaled.filt_accel_z};
            for (int i = 0; i < 3; ++i) {
                if (i > 0) t.put(' ');
                t.put(names[i]);
                if (valid) put_g(t, axes[i], hundredths, w);
                else put_dash(t, "---", w);
            }
            t.lit(" G");
        }
        if (s.gbar == show_hide::SHOWN) {
            next_line();
            // Hundredths of a G, up to 655.36 G: times the bar's length it fits 32 bits.
            const std::uint32_t g100 = valid ? (hundredths ? m : m * 10u) : 0u;
            const std::int32_t full = full_scale(s);
            const auto full100 = static_cast<std::uint32_t>(full) * 100u;
            const bool over = g100 > full100;
            const auto fill = static_cast<std::int32_t>(over ? BAR_LENGTH : g100 * BAR_LENGTH / full100);
            t.put(bar_scale_.data(), bar_scale_.size());
            if (fill > 0) {
                t.lit(" m 0 ");
                t.dec(FILL_TOP);
                t.lit(" l ");
                t.dec(fill);
                t.put(' ');
                t.dec(FILL_TOP);
                t.put(' ');
                t.dec(fill);
                t.put(' ');
                t.dec(FILL_BOTTOM);
                t.lit(" 0 ");
                t.dec(FILL_BOTTOM);
            }
            t.lit("{\\p0\\1c" TEXT_COLOUR "} ");
            if (over) {
                t.lit("{\\1c" OVER_COLOUR "}>");
                t.dec(full);
                t.lit(" G{\\1c" TEXT_COLOUR "}");
            } else {
                t.put(' ');
                t.dec(full);
                t.lit(" G");
            }
        }
    }

    if (s.id_pins == show_hide::SHOWN) {
        next_line();
        t.lit("ID1: ");
        t.udec(sample.flags & 1u);
        t.lit("   ID2: ");
        t.udec((sample.flags >> 1) & 1u);
    }

    gps_lines_ = std::max(gps_lines_, put_gps_lines(t, ev, first));
}

// The GPS items of the record in effect, one per line, as the SRT's layout
// for the record's kind has them; nothing before the first record. Returns
// the number of lines.
std::int32_t AssOverlay::put_gps_lines(Row& t, const LogEvent& ev, bool& first) {
    const Settings& s = settings_;
    // The SRT writer, which runs after this, keeps the kind of the last record.
    const std::uint16_t kind = ev.gps != nullptr ? ev.gps->type : run_.last_gps_kind;
    const LogEvent* rec = ev.gps;
    std::int32_t lines = 0;
    const auto next_line = [&] {
        if (!first) t.lit("\\N");
        first = false;
        ++lines;
    };
    const bool mph = s.gps_speed == speed_unit::MPH;
    const bool miles = s.gps_dist == distance_unit::MILES;
    const auto speed_unit = [&] {
        if (mph) t.lit(" mph");
        else t.lit(" km/h");
    };
    const auto dist_unit = [&] {
        if (miles) t.lit(" mi");
        else t.lit(" km");
    };

    if (kind == static_cast<std::uint16_t>(EntryKind::GpsFix)) {
        GpsFix fix{};
        if (rec != nullptr) fix = decode_gps_fix(*rec);
        if (shows_speed(s)) {  // km/h
            next_line();
            if (rec != nullptr) put_number(t, mph ? km_to_miles(fix.gps_speed) : fix.gps_speed);
            else put_dash(t, "---");
            speed_unit();
        }
        if (shows_dist(s)) {  // hundredths of a km
            next_line();
            const std::int64_t v = fix.dist;
            if (rec == nullptr) put_dash(t, "---");
            else if (s.gps_dist_places != decimal_places::ONE) put_fixed<2>(t, miles ? km_to_miles(v) : v);
            else put_fixed<1>(t, miles ? mul_div<10, 161>(v) : mul_div<1, 10>(v));
            dist_unit();
        }
        if (s.heading != show_hide::HIDDEN) {
            next_line();
            if (rec != nullptr) put_number(t, fix.heading);
            else put_dash(t, "---");
            t.lit(" deg");
        }
    } else if (kind == static_cast<std::uint16_t>(EntryKind::GpsNavData)) {
        GpsNavData nav{};
        if (rec != nullptr) nav = decode_gps_nav_data(*rec);
        const std::int64_t h = nav.h_speed, v = nav.vspeed;  // km/h
        if (shows_h_speed(s)) {
            next_line();
            t.put('H');
            if (rec != nullptr) put_number(t, mph ? km_to_miles(h) : h, VALUE_WIDTH - 1);
            else put_dash(t, "---", VALUE_WIDTH - 1);
            speed_unit();
        }
        if (shows_v_speed(s)) {
            next_line();
            t.put('V');
            if (rec != nullptr) put_number(t, mph ? km_to_miles(v) : v, VALUE_WIDTH - 1);
            else put_dash(t, "---", VALUE_WIDTH - 1);
            speed_unit();
        }
        if (shows_dist(s)) {
            next_line();
            if (rec == nullptr) {
                put_dash(t, "---");
                dist_unit();
            } else {
                // The running total in cm, a double: the C library rounds it, as in the SRT.
                const double d = ev.dist / (miles ? 161000.0 : 100000.0);
                char text[32];
                const int n =
                    std::snprintf(text, sizeof text, s.gps_dist_places != decimal_places::ONE ? "%.2f" : "%.1f", d);
                const std::size_t size = n < 0 ? 0 : std::min(static_cast<std::size_t>(n), sizeof text - 1);
                if (size < VALUE_WIDTH) pad(t, VALUE_WIDTH - size);
                t.put(text, size);
                dist_unit();
            }
        }
        if (s.glide == show_hide::SHOWN) {
            next_line();
            if (rec == nullptr) {
                put_dash(t, "---");
            } else if (v == 0) {
                put_dash(t, "--");
            } else {
                // Tenths of the glide ratio, truncated toward zero, as in the SRT.
                const std::int64_t q = 10 * h / v;
                const std::int64_t whole = h / v;
                const auto mag = static_cast<std::uint64_t>(whole < 0 ? -whole : whole);
                const std::size_t size = 1 + digit_count(mag) + 2;  // sign, whole, '.', tenth
                const std::size_t room = size < VALUE_WIDTH ? VALUE_WIDTH - size : 0;
                if (q < 0) {
                    pad(t, room);
                    t.put('-');
                } else {
                    pad(t, room + 1);  // the sign space as padding
                }
                t.udec(mag);
                t.put('.');
                t.put(static_cast<char>('0' + (q < 0 ? -q : q) % 10));
            }
            t.lit(" glide");
        }
    }
    return lines;
}

}  // namespace tarvex
