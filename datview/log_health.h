// `datview info`: what a log holds and what is wrong with it, gathered in one
// pass over the entries (and a pipeline pass for the GPS coverage), then
// printed as a report ending in a one-line verdict.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "log_walk.h"

namespace tarvex::datview {

// Exit statuses of every datview command.
inline constexpr int EXIT_OK = 0;        // healthy log / command done
inline constexpr int EXIT_PROBLEMS = 1;  // the log has problems (damage, gaps, missing readings)
inline constexpr int EXIT_UNUSABLE = 2;  // usage error, unreadable log, output not written

// A moment in the log and a length, both ms: a gap (time without samples) or
// a step back in time.
struct TimeStep {
    std::uint32_t at_ms = 0;
    std::int64_t length_ms = 0;
};

inline constexpr std::size_t LISTED_STEPS = 10;  // gaps / steps back listed one by one

struct LogHealth {
    HeaderStatus header_status = HeaderStatus::CannotOpen;
    DatHeader header;

    std::uint64_t entries = 0;
    std::uint64_t samples = 0, gps_fix = 0, gps_fix2 = 0, gps_nav = 0, unknown = 0;
    std::vector<std::uint16_t> unknown_types;  // distinct, first few
    std::uint64_t zero_size = 0, oversize = 0, undersize = 0;
    std::uint64_t cut_bytes = 0;  // bytes after the last whole entry

    std::uint32_t first_sample_ms = 0, last_sample_ms = 0;  // in file order
    std::uint32_t min_sample_ms = 0, max_sample_ms = 0;
    std::map<std::int64_t, std::uint64_t> periods;  // ms between samples -> how often (steps forward)
    std::uint64_t gaps = 0, steps_back = 0;
    std::vector<TimeStep> gap_list, back_list;  // the first LISTED_STEPS of each

    std::uint64_t no_pressure = 0, no_temperature = 0, no_altitude = 0;
    std::uint64_t no_accel = 0;         // all three axes -1: the recorder had no reading
    std::uint64_t accel_minus_one = 0;  // a real reading with an axis at -1 count, which
                                        // the conversion's smoothing takes as missing

    std::uint64_t gps_entries = 0;  // kinds 241..243
    std::uint32_t first_gps_ms = 0, last_gps_ms = 0;
    std::uint64_t samples_with_fix = 0;  // as the converter attaches them
};

inline constexpr std::int64_t GAP_MS = 1000;  // longer steps between samples are gaps

LogHealth check_log(const char* path);
// One text per problem; empty for a healthy log. Unreadable headers have
// their own verdict.
std::vector<std::string> health_problems(const LogHealth& h);
void print_health(std::FILE* out, const char* path, const LogHealth& h);
int health_exit_status(const LogHealth& h);
// The median of the steps forward between samples, ms (0 when none).
std::int64_t median_period(const LogHealth& h);

}  // namespace tarvex::datview
