// Reduces a series of any length to what a plot's pixel columns can show:
// per column the smallest and the largest value, in the order they came, so
// that a single spike (a hard landing) survives any amount of reduction.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace tarvex::datview {

struct Bucket {
    bool used = false;
    double lo = 0.0, hi = 0.0;
    std::uint64_t lo_seq = 0, hi_seq = 0;    // arrival order of lo and hi
    std::int64_t first_ms = 0, last_ms = 0;  // log times of the first and last value
};

// One point of the reduced series: a column and a value.
struct ColumnPoint {
    std::size_t column;
    double value;
    bool starts_run;  // the series was interrupted before this point
};

class ColumnSeries {
public:
    explicit ColumnSeries(std::size_t columns) : buckets_(columns) {}

    void add(std::size_t column, std::int64_t t_ms, double v);
    std::size_t columns() const { return buckets_.size(); }
    bool empty() const { return count_ == 0; }
    double min() const { return min_; }
    double max() const { return max_; }

    // Each used column's minimum and maximum in arrival order (one point when
    // they are equal). A run is broken where more than `break_ms` of log time
    // has no value.
    std::vector<ColumnPoint> points(std::int64_t break_ms) const;

private:
    std::vector<Bucket> buckets_;
    std::uint64_t count_ = 0;
    double min_ = 0.0, max_ = 0.0;
};

}  // namespace tarvex::datview
