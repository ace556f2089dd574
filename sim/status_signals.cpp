// A pattern is a train of equal pulses at one level with equal gaps between
// them; the first pulse may be longer, as the acknowledge after a recording
// starts while the output is still on. It is named when its last pulse ends.
#include "status_signals.h"

#include <cstddef>

namespace tarvex::sim {

namespace {

struct Pattern {
    const char* name;
    int pulse_level;  // level of the pulses
    std::uint64_t pulse_us;
    std::uint64_t gap_us;
    std::size_t pulses;
};

constexpr Pattern patterns[] = {
    {"acknowledge", 1, 150000, 150000, 3},            // ends off
    {"error", 1, 50000, 50000, 10},                   // ends off
    {"accelerometer warning", 0, 500000, 100000, 7},  // ends on
};

// Within a tenth: the recorder's sleeps dominate its timing.
bool about(std::uint64_t us, std::uint64_t want) { return us * 10 >= want * 9 && us * 10 <= want * 11; }

constexpr std::size_t MAX_EDGES = 2 * 10 - 1;  // the longest pattern's

}  // namespace

const char* StatusSignals::change(std::uint64_t time_us, int level) {
    if (edges_.size() == MAX_EDGES) {
        level_since_us_ = edges_.front().time_us;
        edges_.erase(edges_.begin());
    }
    edges_.push_back({time_us, level});
    const std::size_t n = edges_.size();
    // When the level changed that edges_[i] ends.
    const auto began = [&](std::size_t i) { return i == 0 ? level_since_us_ : edges_[i - 1].time_us; };
    for (const Pattern& p : patterns) {
        const std::size_t needed = 2 * p.pulses - 1;  // the last edges: every pulse's end, and the gaps' ends
        if (level == p.pulse_level || n < needed) continue;
        bool match = true;
        for (std::size_t k = 0; k < p.pulses && match; ++k) {
            const std::size_t end = n - 1 - 2 * (p.pulses - 1 - k);  // edge ending pulse k
            const std::uint64_t length = edges_[end].time_us - began(end);
            match = k == 0 ? length * 10 >= p.pulse_us * 9 : about(length, p.pulse_us);
            if (match && k > 0) match = about(edges_[end - 1].time_us - began(end - 1), p.gap_us);
        }
        if (match) {
            level_since_us_ = time_us;
            edges_.clear();
            return p.name;
        }
    }
    return nullptr;
}

}  // namespace tarvex::sim
