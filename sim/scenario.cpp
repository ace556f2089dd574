// The scenario file's parser: one directive per line, each looked up in a
// table that says how often it may appear, how many values it takes and
// which handler stores them. sim/README.md describes every directive.
#include "scenario.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <map>
#include <sstream>
#include <string_view>
#include <utility>

namespace tarvex::sim {

namespace {

// The latest time a scenario may name, seconds of simulated time (about 11.6
// days, far beyond a camera's battery): every time becomes nanoseconds in 64
// bits, and the run's deadline lies a minute past the last one.
constexpr double MAX_TIME_S = 1e6;

using Words = std::vector<std::string_view>;

Words split_words(std::string_view line) {
    constexpr std::string_view blanks = " \t\r\f\v";
    Words words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && blanks.find(line[i]) != std::string_view::npos) ++i;
        std::size_t j = i;
        while (j < line.size() && blanks.find(line[j]) == std::string_view::npos) ++j;
        if (j > i) words.push_back(line.substr(i, j - i));
        i = j;
    }
    return words;
}

// Messages are built by appending only: GCC 12 reports false -Wrestrict
// errors where a literal is prepended to a temporary string.
std::string concat(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view part : parts) out.append(part);
    return out;
}

// One directive line: its words (the directive first) and its number. Every
// failure records its message and returns false.
class Line {
public:
    Line(const Words& words, int number, std::string_view usage, std::string& error)
        : words_(words), number_(number), usage_(usage), error_(error) {}

    std::string_view directive() const { return words_[0]; }
    std::size_t count() const { return words_.size() - 1; }  // values after the directive
    std::string_view value(std::size_t i) const { return words_[i + 1]; }

    bool fail(std::string_view what) {
        error_ = concat({"line ", std::to_string(number_), ": ", what});
        return false;
    }
    bool fail_in_directive(std::string_view what) { return fail(concat({directive(), ": ", what})); }
    bool fail_usage() { return fail(concat({directive(), " takes ", usage_})); }

    bool number(std::size_t i, const char* what, double& out) {
        const std::string_view w = value(i);
        double v = 0.0;
        const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
        if (ec != std::errc() || end != w.data() + w.size() || !std::isfinite(v)) {
            return fail(concat({"'", w, "' is not ", what}));
        }
        out = v;
        return true;
    }

    bool time(std::size_t i, double& out) {
        if (!number(i, "a time in seconds", out)) return false;
        if (out < 0.0) return fail(concat({"time ", value(i), " is before power-on"}));
        if (out > MAX_TIME_S) {
            return fail(concat({"time ", value(i), " is later than ", std::to_string(std::lround(MAX_TIME_S)),
                                " s, the longest scenario"}));
        }
        return true;
    }

    // Decimal, or hexadecimal with 0x; an optional leading minus.
    bool integer(std::size_t i, long long lo, long long hi, const char* what, long long& out) {
        const std::string_view w = value(i);
        std::string_view digits = w;
        bool negative = false;
        if (!digits.empty() && digits.front() == '-') {
            negative = true;
            digits.remove_prefix(1);
        }
        int base = 10;
        if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
            base = 16;
            digits.remove_prefix(2);
        }
        unsigned long long magnitude = 0;
        const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude, base);
        if (digits.empty() || ec != std::errc() || end != digits.data() + digits.size() ||
            magnitude > 0x7fffffffffffffffULL) {
            return fail(concat({"'", w, "' is not ", what}));
        }
        const long long v = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
        if (v < lo || v > hi) {
            return fail(concat(
                {"'", w, "' is out of range for ", what, " (", std::to_string(lo), " to ", std::to_string(hi), ")"}));
        }
        out = v;
        return true;
    }

    template <std::size_t N>
    bool hex_bytes(std::size_t i, std::array<std::uint8_t, N>& out) {
        const std::string_view w = value(i);
        const auto refuse = [&] { return fail(concat({"'", w, "' is not ", std::to_string(2 * N), " hex digits"})); };
        if (w.size() != 2 * N) return refuse();
        for (std::size_t k = 0; k < N; ++k) {
            unsigned v = 0;
            const char* p = w.data() + 2 * k;
            const auto [end, ec] = std::from_chars(p, p + 2, v, 16);
            if (ec != std::errc() || end != p + 2) return refuse();
            out[k] = static_cast<std::uint8_t>(v);
        }
        return true;
    }

private:
    const Words& words_;
    int number_;
    std::string_view usage_;  // what follows the directive
    std::string& error_;
};

// --- Handlers shared by several directives ---

bool interval(Line& l, std::vector<Interval>& out) {
    Interval i;
    if (!l.time(0, i.from) || !l.time(1, i.to)) return false;
    if (i.to < i.from) return l.fail_in_directive(concat({"end ", l.value(1), " is before start ", l.value(0)}));
    out.push_back(i);
    return true;
}

bool absent(Line& l, bool& flag) {
    if (l.value(0) != "absent") return l.fail_in_directive(concat({"expected 'absent', got '", l.value(0), "'"}));
    flag = true;
    return true;
}

// Points of a piecewise-linear truth: groups of a time and `values` numbers,
// in time order.
template <typename Point, typename Fill>
bool points(Line& l, std::size_t values, std::vector<Point>& out, Fill fill) {
    const std::size_t group = values + 1;
    if (l.count() == 0 || l.count() % group != 0) return l.fail_usage();
    for (std::size_t i = 0; i < l.count(); i += group) {
        double t = 0.0;
        std::array<double, 3> v{};
        if (!l.time(i, t)) return false;
        for (std::size_t k = 0; k < values; ++k) {
            if (!l.number(i + 1 + k, "a number", v[k])) return false;
        }
        if (!out.empty() && t < out.back().t) {
            return l.fail_in_directive(concat({"time ", l.value(i), " is before the previous point"}));
        }
        out.push_back(fill(t, v));
    }
    return true;
}

// The first bytes of an EEPROM in hex, or "none" for no part on the bus.
template <std::size_t N>
bool eeprom_contents(Line& l, std::optional<std::array<std::uint8_t, N>>& out) {
    if (l.value(0) == "none") {
        out.reset();
        return true;
    }
    std::array<std::uint8_t, N> bytes{};
    if (!l.hex_bytes(0, bytes)) return false;
    out = bytes;
    return true;
}

// One of a few words, each standing for a value.
template <typename T, std::size_t N>
bool one_of(Line& l, const std::array<std::pair<std::string_view, T>, N>& words, std::string_view listed, T& out) {
    for (const auto& [word, v] : words) {
        if (l.value(0) == word) {
            out = v;
            return true;
        }
    }
    return l.fail_in_directive(concat({"'", l.value(0), "' is not ", listed}));
}

// --- The directives ---

constexpr std::size_t ANY_COUNT = SIZE_MAX;  // the handler checks the count itself

// Every directive the scenario file knows; keep sim/README.md in step.
struct Directive {
    std::string_view name;
    bool once;          // may be given on one line only
    std::size_t count;  // values after the name, or ANY_COUNT
    const char* usage;  // what follows the name, for "NAME takes USAGE"
    bool (*handle)(Line& l, Scenario& s);
};

constexpr bool ONCE = true;
constexpr bool REPEATS = false;

constexpr std::array<std::pair<std::string_view, Firmware>, 3> firmware_words{
    {{"rev3", Firmware::Rev3}, {"rev4", Firmware::Rev4}, {"rev1", Firmware::Rev1}}};
constexpr std::array<std::pair<std::string_view, int>, 2> addressing_words{{{"8", 8}, {"16", 16}}};

const Directive directives[] = {
    // The camera and its user.
    {"end", ONCE, 1, "one time: T", [](Line& l, Scenario& s) { return l.time(0, s.end.emplace()); }},
    {"accessory", ONCE, 1, "one word: absent", [](Line& l, Scenario& s) { return absent(l, s.accessory_absent); }},
    {"firmware", ONCE, 1, "one of rev3, rev4, rev1",
     [](Line& l, Scenario& s) { return one_of(l, firmware_words, "rev3, rev4 or rev1", s.firmware.emplace()); }},
    {"record", REPEATS, 2, "two times: T1 T2", [](Line& l, Scenario& s) { return interval(l, s.record); }},
    {"busy", REPEATS, 2, "two times: T1 T2", [](Line& l, Scenario& s) { return interval(l, s.busy); }},
    {"busy-state", ONCE, 1, "one state byte: VALUE",
     [](Line& l, Scenario& s) {
         long long v = 0;
         if (!l.integer(0, 0, 255, "a state byte", v)) return false;
         s.busy_state = static_cast<std::uint8_t>(v);
         return true;
     }},
    {"button", REPEATS, 2, "two times: T1 T2", [](Line& l, Scenario& s) { return interval(l, s.button); }},
    {"disturb", REPEATS, 2, "two times: T1 T2", [](Line& l, Scenario& s) { return interval(l, s.disturb); }},
    {"altitude", REPEATS, ANY_COUNT, "pairs: T FEET [T FEET ...]",
     [](Line& l, Scenario& s) {
         return points(l, 1, s.altitude_ft, [](double t, const std::array<double, 3>& v) {
             return TruthPoint{t, v[0]};
         });
     }},
    {"temperature", REPEATS, ANY_COUNT, "pairs: T CELSIUS [T CELSIUS ...]",
     [](Line& l, Scenario& s) {
         return points(l, 1, s.temperature_c, [](double t, const std::array<double, 3>& v) {
             return TruthPoint{t, v[0]};
         });
     }},
    {"accel", REPEATS, ANY_COUNT, "groups of four: T X Y Z [T X Y Z ...]",
     [](Line& l, Scenario& s) {
         return points(l, 3, s.accel_g, [](double t, const std::array<double, 3>& v) {
             return AccelPoint{t, v[0], v[1], v[2]};
         });
     }},
    {"ticks", ONCE, 1, "one counter value: T0",
     [](Line& l, Scenario& s) {
         long long v = 0;
         if (!l.integer(0, 0, 0xffffffffLL, "a counter value", v)) return false;
         s.ticks0 = static_cast<std::uint32_t>(v);
         return true;
     }},
    {"tick-phase", ONCE, 1, "one fraction of a second: P",
     [](Line& l, Scenario& s) {
         if (!l.number(0, "a fraction of a second", s.tick_phase)) return false;
         if (s.tick_phase < 0.0 || s.tick_phase > 1.0) {
             return l.fail(concat({"tick-phase ", l.value(0), " is not between 0 and 1"}));
         }
         return true;
     }},
    {"glitch", REPEATS, ANY_COUNT, "one or more times: T [T ...]",
     [](Line& l, Scenario& s) {
         if (l.count() == 0) return l.fail_usage();
         for (std::size_t i = 0; i < l.count(); ++i) {
             if (!l.time(i, s.glitch.emplace_back())) return false;
         }
         return true;
     }},
    {"hook-time", ONCE, 1, "one word or duration: real or SECONDS",
     [](Line& l, Scenario& s) {
         if (l.value(0) == "real") {
             s.hook_time.real = true;
             return true;
         }
         if (!l.number(0, "'real' or a duration in seconds", s.hook_time.seconds)) return false;
         if (s.hook_time.seconds < 0.0 || s.hook_time.seconds > MAX_TIME_S) {
             return l.fail(concat({"hook-time ", l.value(0), " is not between 0 and ",
                                   std::to_string(std::lround(MAX_TIME_S)), " seconds"}));
         }
         return true;
     }},

    // The sensor pack.
    {"baro-calibration", ONCE, 11, "eleven words: c0 ... c10",
     [](Line& l, Scenario& s) {
         for (std::size_t k = 0; k < s.baro_calibration.size(); ++k) {
             long long v = 0;
             if (!l.integer(k, -32768, 65535, "a 16-bit calibration word", v)) return false;
             s.baro_calibration[k] = static_cast<std::int32_t>(v);
         }
         return true;
     }},
    {"accelerometer", ONCE, 1, "one word: absent",
     [](Line& l, Scenario& s) { return absent(l, s.accelerometer_absent); }},
    {"accel-bias", ONCE, 3, "three values in g: X Y Z",
     [](Line& l, Scenario& s) {
         for (std::size_t k = 0; k < s.accel_bias.size(); ++k) {
             if (!l.number(k, "a number", s.accel_bias[k])) return false;
         }
         return true;
     }},
    {"eeprom-main", ONCE, 1, "32 hex digits or none",
     [](Line& l, Scenario& s) { return eeprom_contents(l, s.eeprom_main); }},
    {"eeprom-main-addressing", ONCE, 1, "8 or 16",
     [](Line& l, Scenario& s) { return one_of(l, addressing_words, "8 or 16", s.eeprom_main_addressing); }},
    {"eeprom-write-fail", ONCE, 0, "no values",
     [](Line&, Scenario& s) {
         s.eeprom_write_fail = true;
         return true;
     }},
    {"eeprom-expander", ONCE, 1, "12 hex digits or none",
     [](Line& l, Scenario& s) { return eeprom_contents(l, s.eeprom_expander); }},

    // Physical memory.
    {"dev-mem", ONCE, 1, "one word: absent", [](Line& l, Scenario& s) { return absent(l, s.phys_mem_unavailable); }},
    {"map-fail", REPEATS, 1, "one physical address: ADDR",
     [](Line& l, Scenario& s) {
         long long v = 0;
         if (!l.integer(0, 0, 0xffffffffLL, "a physical address", v)) return false;
         s.map_fail.push_back(static_cast<std::uint32_t>(v));
         return true;
     }},
};

const Directive* find_directive(std::string_view name) {
    for (const Directive& d : directives) {
        if (d.name == name) return &d;
    }
    return nullptr;
}

}  // namespace

std::optional<Scenario> parse_scenario(const std::string& text, std::string& error) {
    Scenario s;
    std::map<std::string_view, int> first_line;  // directives given once: where
    std::istringstream in(text);
    std::string raw;
    int line_no = 0;
    while (std::getline(in, raw)) {
        ++line_no;
        std::string_view text_part = raw;
        if (const auto hash = text_part.find('#'); hash != std::string_view::npos)
            text_part = text_part.substr(0, hash);
        const Words words = split_words(text_part);
        if (words.empty()) continue;
        const Directive* d = find_directive(words[0]);
        Line line(words, line_no, d != nullptr ? d->usage : "", error);
        if (d == nullptr) {
            line.fail(concat({"unknown directive '", line.directive(), "'"}));
            return std::nullopt;
        }
        if (d->once) {
            const auto [it, fresh] = first_line.emplace(d->name, line_no);
            if (!fresh) {
                line.fail(concat({d->name, " given twice (first on line ", std::to_string(it->second), ")"}));
                return std::nullopt;
            }
        }
        if (d->count != ANY_COUNT && line.count() != d->count) {
            line.fail_usage();
            return std::nullopt;
        }
        if (!d->handle(line, s)) return std::nullopt;
    }
    error.clear();
    return s;
}

std::optional<Scenario> load_scenario(const std::string& path, std::string& error) {
    std::ifstream f(path, std::ios::binary);
    if (!f) {
        error = "cannot read scenario file " + path;
        return std::nullopt;
    }
    std::ostringstream text;
    text << f.rdbuf();
    auto s = parse_scenario(text.str(), error);
    if (!s) error = path + ": " + error;
    return s;
}

double truth_at(const std::vector<TruthPoint>& points, double t, double fallback) {
    if (points.empty()) return fallback;
    if (t <= points.front().t) return points.front().value;
    if (t >= points.back().t) return points.back().value;
    const auto next =
        std::upper_bound(points.begin(), points.end(), t, [](double v, const TruthPoint& p) { return v < p.t; });
    const TruthPoint& b = *next;
    const TruthPoint& a = *(next - 1);
    return a.value + (b.value - a.value) * (t - a.t) / (b.t - a.t);
}

}  // namespace tarvex::sim
