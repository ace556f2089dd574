#include "srt_writer.h"

#include "fixed_point.h"
#include "srt_gps_lines.h"
#include "text_out.h"

namespace tarvex {

namespace {

constexpr char SEPARATOR[] = "   ";

// Rounds K * c / D half away from zero; 64-bit so no count can overflow.
// The factors are constants, so the division is a shift on any processor.
template <std::int64_t K, std::int64_t D>
std::int32_t scale_axis(std::int32_t c) {
    const std::int64_t kc = K * c;
    return static_cast<std::int32_t>(c >= 0 ? (kc + D / 2) / D : (kc - D / 2) / D);
}

template <std::int64_t K, std::int64_t D>
void scale_all(LogEvent& ev) {
    ev.filt_accel_x = scale_axis<K, D>(ev.filt_accel_x);
    ev.filt_accel_y = scale_axis<K, D>(ev.filt_accel_y);
    ev.filt_accel_z = scale_axis<K, D>(ev.filt_accel_z);
}

// "HH:MM:SS,mmm"; hours are not wrapped. Inlined, like put_g: the row's
// write position then stays in a register for the whole entry.
[[gnu::always_inline]] inline void put_time(Row& t, std::uint32_t ms) {
    const std::uint32_t hours = ms / 3600000u;
    std::uint32_t rest = ms - hours * 3600000u;
    const std::uint32_t minutes = rest / 60000u;
    rest -= minutes * 60000u;
    const std::uint32_t seconds = rest / 1000u;
    t.udec_padded<2>(hours);
    t.put(':');
    t.udec_padded<2>(minutes);
    t.put(':');
    t.udec_padded<2>(seconds);
    t.put(',');
    t.udec_padded<3>(rest - seconds * 1000u);
}

// Tenths or hundredths of a G in the fixed-point form.
template <bool HUNDREDTHS>
[[gnu::always_inline]] inline void put_g(Row& t, std::int32_t v) {
    if constexpr (HUNDREDTHS) t.fixed<2>(v);
    else t.fixed<1>(v);
}

// Altitude, climb and temperature items; returns whether any was written.
// Inlined for the same reason as put_time.
[[gnu::always_inline]] inline bool put_reading_items(Row& t, const LogEvent& ev, const SensorSample& sample,
                                                     const Settings& settings) {
    bool has_item = false;
    const auto separate = [&] {
        if (has_item) t.lit(SEPARATOR);
        has_item = true;
    };

    const std::int32_t alt = ev.filt_altitude;
    const bool alt_known = alt != NO_VALUE;
    // Metres = ft * 1000 / 3281, truncated, without overflow for any
    // altitude; smaller than the altitude, so 32-bit again.
    const auto metres = static_cast<std::int32_t>(mul_div<1000, 3281>(alt));
    switch (settings.altitude) {
        case altitude_unit::FEET:
            separate();
            if (alt_known) {
                t.dec(alt);
                t.lit(" ft");
            } else {
                t.lit("--- ft");
            }
            break;
        case altitude_unit::METRES:
            separate();
            if (alt_known) {
                t.dec(metres);
                t.lit(" m");
            } else {
                t.lit("--- m");
            }
            break;
        case altitude_unit::BOTH:
            separate();
            if (alt_known) {
                t.dec(alt);
                t.lit(" ft   ");
                t.dec(metres);
                t.lit(" m");
            } else {
                t.lit("--- ft   --- m");
            }
            break;
        default: break;
    }

    if (ev.baro_vspeed != NO_VSPEED) {
        separate();
        t.dec(ev.baro_vspeed);
        t.lit(" ft/s");
    }

    const bool temp_known = sample.temp != NO_VALUE;
    switch (settings.temperature) {
        case temperature_unit::CELSIUS:  // temp is in tenths of a degree Celsius
            separate();
            if (temp_known) {
                t.dec(sample.temp / 10);
                t.lit(" C");
            } else {
                t.lit("-- C");
            }
            break;
        case temperature_unit::FAHRENHEIT:
            separate();
            if (temp_known) {
                t.dec(static_cast<std::int32_t>(mul_div<9, 50>(sample.temp)) + 32);  // |temp| 9/50 + 32 fits
                t.lit(" F");
            } else {
                t.lit("-- F");
            }
            break;
        default: break;
    }
    return has_item;
}

// n times '|'. A bar is short unless a reading is damaged (6.4 G at most
// is 64 bytes), so the common case takes no room check. Inlined, like the
// accelerations' part that writes it, for the same reason as put_time.
[[gnu::always_inline]] inline void put_bar(Row& t, std::uint32_t n) {
    if (n <= 64) t.short_fill<'|'>(n);
    else t.repeat('|', n);
}

// Magnitude item (ends the reading line), axes line and bar line.
template <bool HUNDREDTHS>
[[gnu::always_inline]] inline void put_accel_part(Row& t, LogEvent& ev, bool has_item, const Settings& settings,
                                                  const RunOptions& run) {
    const bool valid = ev.filt_accel_x != NO_ACCEL && ev.filt_accel_y != NO_ACCEL && ev.filt_accel_z != NO_ACCEL;
    if constexpr (HUNDREDTHS) accel_scale_hundredths(ev, run);
    else accel_scale_tenths(ev, run);

    // The sum of squares is taken modulo 2^32, as on the camera.
    const auto sq = [](std::int32_t v) {
        const std::uint32_t u = static_cast<std::uint32_t>(v);
        return u * u;
    };
    const std::uint32_t m = isqrt(sq(ev.filt_accel_x) + sq(ev.filt_accel_y) + sq(ev.filt_accel_z));

    if (shows_accel_magnitude(settings)) {
        if (has_item) t.lit(SEPARATOR);
        if (valid) {
            put_g<HUNDREDTHS>(t, static_cast<std::int32_t>(m));  // at most 65536
            t.lit(" G");
        } else {
            t.lit("--- G");
        }
        t.put('\n');
    } else if (has_item) {
        t.put('\n');
    }

    if (shows_accel_axes(settings)) {
        if (!valid) {
            t.lit("X: ---  Y: ---  Z: ---\n");
            return;
        }
        t.lit("X: ");
        put_g<HUNDREDTHS>(t, ev.filt_accel_x);
        t.lit("  Y: ");
        put_g<HUNDREDTHS>(t, ev.filt_accel_y);
        t.lit("  Z: ");
        put_g<HUNDREDTHS>(t, ev.filt_accel_z);
        t.put('\n');
    }

    if (settings.gbar == show_hide::SHOWN && valid) {
        // One '|' per tenth of a G; with gbar_max, a hard landing's bar stops
        // at its full scale and says so with one '+', instead of running off
        // the frame.
        const std::uint32_t n = HUNDREDTHS ? m / 10 : m;
        const std::uint32_t cap = 10u * static_cast<std::uint32_t>(settings.gbar_max);
        if (settings.gbar_max > 0 && n > cap) {
            put_bar(t, cap);
            t.put('+');
        } else {
            put_bar(t, n);
        }
        t.put('\n');
    }
}

// The entry itself, one copy for each number of places of the accelerations,
// which take several choices each entry otherwise. Kept out of line: most
// events of a dense log are skipped by the minimum spacing, and their path
// stays short.
template <bool HUNDREDTHS>
[[gnu::noinline]] void put_entry(TextOut& out, LogEvent& ev, std::int32_t number, std::uint32_t t_start,
                                 const Settings& settings, RunOptions& run) {
    const std::uint32_t t_end = ev.vid_timestamp;
    const SensorSample sample = decode_sensor_sample(ev);
    {
        Row t(out);
        t.dec(number);
        t.put('\n');
        put_time(t, t_start);
        t.lit(" --> ");
        put_time(t, t_end);
        t.put('\n');

        const bool has_item = put_reading_items(t, ev, sample, settings);
        if (settings.accel == accel_shown::HIDDEN && settings.gbar == show_hide::HIDDEN) {
            if (has_item) t.put('\n');
        } else {
            put_accel_part<HUNDREDTHS>(t, ev, has_item, settings, run);
        }
    }

    put_gps_lines(out, ev, settings, run);

    Row t(out);
    if (settings.id_pins == show_hide::SHOWN) {
        const std::uint32_t flags = sample.flags;
        t.lit("ID1: ");
        t.put(static_cast<char>('0' + (flags & 1u)));  // one bit: one digit
        t.lit("   ID2: ");
        t.put(static_cast<char>('0' + ((flags >> 1) & 1u)));
        t.put('\n');
    }
    t.put('\n');
}

}  // namespace

void accel_scale_tenths(LogEvent& ev, const RunOptions& run) {
    // 16 G part: 2048 counts per G; 200 G part: 32768 counts are 200 G.
    if (run.high_g) scale_all<125, 2048>(ev);
    else scale_all<5, 1024>(ev);
}

void accel_scale_hundredths(LogEvent& ev, const RunOptions& run) {
    if (run.high_g) scale_all<625, 1024>(ev);
    else scale_all<25, 512>(ev);
}

void srt_put_entry(TextOut& out, LogEvent& ev, std::int32_t number, std::uint32_t t_start, const Settings& settings,
                   RunOptions& run) {
    if (settings.accel_places != decimal_places::ONE) put_entry<true>(out, ev, number, t_start, settings, run);
    else put_entry<false>(out, ev, number, t_start, settings, run);
}

}  // namespace tarvex
