#include "scenario.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <fstream>
#include <map>
#include <sstream>
#include <string_view>

namespace tarvex::sim {

namespace {

using Words = std::vector<std::string_view>;

Words split_words(std::string_view line) {
    Words words;
    std::size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && std::string_view(" \t\r\f\v").find(line[i]) != std::string_view::npos) ++i;
        std::size_t j = i;
        while (j < line.size() && std::string_view(" \t\r\f\v").find(line[j]) == std::string_view::npos) ++j;
        if (j > i) words.push_back(line.substr(i, j - i));
        i = j;
    }
    return words;
}

// One line's parse: every failure records its message and returns false.
class LineParser {
public:
    LineParser(int line, std::string& error) : line_(line), error_(error) {}

    bool fail(const std::string& what) {
        error_ = "line " + std::to_string(line_) + ": " + what;
        return false;
    }

    bool number(std::string_view w, const char* what, double& out) {
        double v = 0.0;
        const auto [end, ec] = std::from_chars(w.data(), w.data() + w.size(), v);
        if (ec != std::errc() || end != w.data() + w.size() || !std::isfinite(v)) {
            return fail("'" + std::string(w) + "' is not " + what);
        }
        out = v;
        return true;
    }

    bool time(std::string_view w, double& out) {
        if (!number(w, "a time in seconds", out)) return false;
        if (out < 0.0) return fail("time " + std::string(w) + " is before power-on");
        return true;
    }

    // Decimal, or hexadecimal with 0x; an optional leading minus.
    bool integer(std::string_view w, long long lo, long long hi, const char* what, long long& out) {
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
            return fail("'" + std::string(w) + "' is not " + what);
        }
        const long long v = negative ? -static_cast<long long>(magnitude) : static_cast<long long>(magnitude);
        if (v < lo || v > hi) {
            return fail("'" + std::string(w) + "' is out of range for " + what + " (" + std::to_string(lo) + " to " +
                        std::to_string(hi) + ")");
        }
        out = v;
        return true;
    }

    template <std::size_t N>
    bool hex_bytes(std::string_view w, std::array<std::uint8_t, N>& out) {
        if (w.size() != 2 * N) {
            return fail("'" + std::string(w) + "' is not " + std::to_string(2 * N) + " hex digits");
        }
        for (std::size_t i = 0; i < N; ++i) {
            unsigned v = 0;
            const char* p = w.data() + 2 * i;
            const auto [end, ec] = std::from_chars(p, p + 2, v, 16);
            if (ec != std::errc() || end != p + 2) {
                return fail("'" + std::string(w) + "' is not " + std::to_string(2 * N) + " hex digits");
            }
            out[i] = static_cast<std::uint8_t>(v);
        }
        return true;
    }

private:
    int line_;
    std::string& error_;
};

bool expect_count(LineParser& p, const Words& w, std::size_t n, const char* usage) {
    if (w.size() - 1 != n) return p.fail(std::string(w[0]) + " takes " + usage);
    return true;
}

bool parse_interval(LineParser& p, const Words& w, std::vector<Interval>& out) {
    if (!expect_count(p, w, 2, "two times: T1 T2")) return false;
    Interval i;
    if (!p.time(w[1], i.from) || !p.time(w[2], i.to)) return false;
    if (i.to < i.from) return p.fail(std::string(w[0]) + ": end " + std::string(w[2]) + " is before start " +
                                     std::string(w[1]));
    out.push_back(i);
    return true;
}

// Points of a piecewise-linear truth: groups of a time and `values` numbers.
template <typename Point, typename Fill>
bool parse_points(LineParser& p, const Words& w, std::size_t values, const char* usage, std::vector<Point>& out,
                  Fill fill) {
    const std::size_t group = values + 1;
    if (w.size() < 1 + group || (w.size() - 1) % group != 0) {
        return p.fail(std::string(w[0]) + " takes " + usage);
    }
    for (std::size_t i = 1; i < w.size(); i += group) {
        double t = 0.0;
        std::array<double, 3> v{};
        if (!p.time(w[i], t)) return false;
        for (std::size_t k = 0; k < values; ++k) {
            if (!p.number(w[i + 1 + k], "a number", v[k])) return false;
        }
        if (!out.empty() && t < out.back().t) {
            return p.fail(std::string(w[0]) + ": time " + std::string(w[i]) + " is before the previous point");
        }
        out.push_back(fill(t, v));
    }
    return true;
}

}  // namespace

std::optional<Scenario> parse_scenario(const std::string& text, std::string& error) {
    Scenario s;
    std::map<std::string, int, std::less<>> seen;  // directives allowed once: first line
    std::istringstream in(text);
    std::string raw;
    int line_no = 0;
    while (std::getline(in, raw)) {
        ++line_no;
        std::string_view line = raw;
        if (const auto hash = line.find('#'); hash != std::string_view::npos) line = line.substr(0, hash);
        const Words w = split_words(line);
        if (w.empty()) continue;
        LineParser p(line_no, error);
        const std::string_view d = w[0];

        auto once = [&]() {
            const auto [it, fresh] = seen.emplace(std::string(d), line_no);
            if (!fresh) return p.fail(std::string(d) + " given twice (first on line " + std::to_string(it->second) + ")");
            return true;
        };
        auto word_arg = [&](const char* usage) -> std::optional<std::string_view> {
            if (w.size() != 2) {
                p.fail(std::string(d) + " takes " + usage);
                return std::nullopt;
            }
            return w[1];
        };

        bool ok = true;
        if (d == "end") {
            double t = 0.0;
            ok = once() && expect_count(p, w, 1, "one time: T") && p.time(w[1], t);
            if (ok) s.end = t;
        } else if (d == "accessory" || d == "accelerometer" || d == "dev-mem") {
            const auto a = word_arg("one word: absent");
            ok = a.has_value() && once();
            if (ok && *a != "absent") ok = p.fail(std::string(d) + ": expected 'absent', got '" + std::string(*a) + "'");
            if (ok) {
                if (d == "accessory") s.accessory_absent = true;
                if (d == "accelerometer") s.accelerometer_absent = true;
                if (d == "dev-mem") s.phys_mem_unavailable = true;
            }
        } else if (d == "firmware") {
            const auto a = word_arg("one of rev3, rev4, rev1");
            ok = a.has_value() && once();
            if (ok) {
                if (*a == "rev3") {
                    s.firmware = Firmware::Rev3;
                } else if (*a == "rev4") {
                    s.firmware = Firmware::Rev4;
                } else if (*a == "rev1") {
                    s.firmware = Firmware::Rev1;
                } else {
                    ok = p.fail("firmware: '" + std::string(*a) + "' is not rev3, rev4 or rev1");
                }
            }
        } else if (d == "record") {
            ok = parse_interval(p, w, s.record);
        } else if (d == "busy") {
            ok = parse_interval(p, w, s.busy);
        } else if (d == "busy-state") {
            long long v = 0;
            ok = once() && expect_count(p, w, 1, "one state byte: VALUE") &&
                 p.integer(w[1], 0, 255, "a state byte", v);
            if (ok) s.busy_state = static_cast<std::uint8_t>(v);
        } else if (d == "button") {
            ok = parse_interval(p, w, s.button);
        } else if (d == "disturb") {
            ok = parse_interval(p, w, s.disturb);
        } else if (d == "altitude" || d == "temperature") {
            auto& points = d == "altitude" ? s.altitude_ft : s.temperature_c;
            ok = parse_points(p, w, 1, d == "altitude" ? "pairs: T FEET [T FEET ...]" : "pairs: T CELSIUS [T CELSIUS ...]",
                              points, [](double t, const std::array<double, 3>& v) { return TruthPoint{t, v[0]}; });
        } else if (d == "accel") {
            ok = parse_points(p, w, 3, "groups of four: T X Y Z [T X Y Z ...]", s.accel_g,
                              [](double t, const std::array<double, 3>& v) { return AccelPoint{t, v[0], v[1], v[2]}; });
        } else if (d == "ticks") {
            long long v = 0;
            ok = once() && expect_count(p, w, 1, "one counter value: T0") &&
                 p.integer(w[1], 0, 0xffffffffLL, "a counter value", v);
            if (ok) s.ticks0 = static_cast<std::uint32_t>(v);
        } else if (d == "tick-phase") {
            double v = 0.0;
            ok = once() && expect_count(p, w, 1, "one fraction of a second: P") &&
                 p.number(w[1], "a fraction of a second", v);
            if (ok && (v < 0.0 || v > 1.0)) ok = p.fail("tick-phase " + std::string(w[1]) + " is not between 0 and 1");
            if (ok) s.tick_phase = v;
        } else if (d == "glitch") {
            ok = w.size() >= 2 || p.fail("glitch takes one or more times: T [T ...]");
            for (std::size_t i = 1; ok && i < w.size(); ++i) {
                double t = 0.0;
                ok = p.time(w[i], t);
                if (ok) s.glitch.push_back(t);
            }
        } else if (d == "baro-calibration") {
            ok = once() && expect_count(p, w, 11, "eleven words: c0 ... c10");
            for (std::size_t k = 0; ok && k < 11; ++k) {
                long long v = 0;
                ok = p.integer(w[k + 1], -32768, 65535, "a 16-bit calibration word", v);
                if (ok) s.baro_calibration[k] = static_cast<std::int32_t>(v);
            }
        } else if (d == "accel-bias") {
            ok = once() && expect_count(p, w, 3, "three values in g: X Y Z");
            for (std::size_t k = 0; ok && k < 3; ++k) ok = p.number(w[k + 1], "a number", s.accel_bias[k]);
        } else if (d == "eeprom-main") {
            const auto a = word_arg("32 hex digits or none");
            ok = a.has_value() && once();
            if (ok && *a == "none") {
                s.eeprom_main.reset();
            } else if (ok) {
                std::array<std::uint8_t, 16> bytes{};
                ok = p.hex_bytes(*a, bytes);
                if (ok) s.eeprom_main = bytes;
            }
        } else if (d == "eeprom-expander") {
            const auto a = word_arg("12 hex digits or none");
            ok = a.has_value() && once();
            if (ok && *a == "none") {
                s.eeprom_expander.reset();
            } else if (ok) {
                std::array<std::uint8_t, 6> bytes{};
                ok = p.hex_bytes(*a, bytes);
                if (ok) s.eeprom_expander = bytes;
            }
        } else if (d == "eeprom-main-addressing") {
            const auto a = word_arg("8 or 16");
            ok = a.has_value() && once();
            if (ok && *a == "8") {
                s.eeprom_main_addressing = 8;
            } else if (ok && *a == "16") {
                s.eeprom_main_addressing = 16;
            } else if (ok) {
                ok = p.fail("eeprom-main-addressing: '" + std::string(*a) + "' is not 8 or 16");
            }
        } else if (d == "eeprom-write-fail") {
            ok = once() && expect_count(p, w, 0, "no values");
            if (ok) s.eeprom_write_fail = true;
        } else if (d == "map-fail") {
            long long v = 0;
            ok = expect_count(p, w, 1, "one physical address: ADDR") &&
                 p.integer(w[1], 0, 0xffffffffLL, "a physical address", v);
            if (ok) s.map_fail.push_back(static_cast<std::uint32_t>(v));
        } else {
            ok = p.fail("unknown directive '" + std::string(d) + "'");
        }
        if (!ok) return std::nullopt;
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
    const auto next = std::upper_bound(points.begin(), points.end(), t,
                                       [](double v, const TruthPoint& p) { return v < p.t; });
    const TruthPoint& b = *next;
    const TruthPoint& a = *(next - 1);
    return a.value + (b.value - a.value) * (t - a.t) / (b.t - a.t);
}

}  // namespace tarvex::sim
