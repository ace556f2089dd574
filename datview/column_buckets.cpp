// Min/max reduction per pixel column: memory is fixed by the plot width,
// whatever the length of the log.
#include "column_buckets.h"

namespace tarvex::datview {

void ColumnSeries::add(std::size_t column, std::int64_t t_ms, double v) {
    if (column >= buckets_.size()) return;
    Bucket& b = buckets_[column];
    const std::uint64_t seq = count_++;
    if (!b.used) {
        b = {true, v, v, seq, seq, t_ms, t_ms};
    } else {
        if (v < b.lo) b.lo = v, b.lo_seq = seq;
        if (v > b.hi) b.hi = v, b.hi_seq = seq;
        if (t_ms < b.first_ms) b.first_ms = t_ms;
        if (t_ms > b.last_ms) b.last_ms = t_ms;
    }
    if (seq == 0 || v < min_) min_ = v;
    if (seq == 0 || v > max_) max_ = v;
}

std::vector<ColumnPoint> ColumnSeries::points(std::int64_t break_ms) const {
    std::vector<ColumnPoint> out;
    const Bucket* prev = nullptr;
    for (std::size_t c = 0; c < buckets_.size(); ++c) {
        const Bucket& b = buckets_[c];
        if (!b.used) continue;
        const bool run = prev == nullptr || b.first_ms - prev->last_ms > break_ms;
        const bool lo_first = b.lo_seq <= b.hi_seq;
        out.push_back({c, lo_first ? b.lo : b.hi, run});
        if (b.lo != b.hi) out.push_back({c, lo_first ? b.hi : b.lo, false});
        prev = &b;
    }
    return out;
}

}  // namespace tarvex::datview
