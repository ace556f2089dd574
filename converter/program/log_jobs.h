// Conversions run as child processes, for card mode: each log's run state is
// process-wide, so every log gets a process of its own, which also keeps a
// crash in one log from stopping the others. Results (and, when asked, the
// consoles) come back in the order of the jobs, so the output does not
// depend on how many run at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "run_outcome.h"

namespace tarvex {

struct LogJob {
    std::string folder;             // working folder of the conversion; empty: the current one
    std::vector<std::string> args;  // the single-log command line, program name first
};

// Runs one job's conversion in the child process, in the job's folder, with
// stdout going to the job's console; returns its exit status.
using JobRunner = std::function<int(const LogJob& job, RunOutcome& outcome)>;

// A kept console holds its first and last CONSOLE_KEPT_BYTES: a log whose
// tail is zeros prints a line per empty entry (16 MiB of zeros: 56 MB), and
// the consoles wait in /tmp, which is RAM on the camera.
inline constexpr std::uint64_t CONSOLE_KEPT_BYTES = 64 * 1024;

// Jobs started ahead of the one whose result is due: one slow log (a
// half-written chapter costs 30 s of retries) must not hold the files and
// consoles of every later one.
inline constexpr std::size_t JOBS_AHEAD = 32;

struct JobSettings {
    int max_parallel = 1;        // conversions at once
    bool keep_consoles = false;  // false: the children's consoles are dropped
};

// How many conversions run at once on this machine: one per processor, at most 4.
int parallel_job_limit();

// Runs every job through `run`. In job order, as each has ended: calls
// `before_console(i)`, copies job i's console to stdout (when kept; ending
// it with a newline if it has none) and calls `done(i, result)`.
void run_log_jobs(const std::vector<LogJob>& jobs, const JobSettings& settings, const JobRunner& run,
                  const std::function<void(std::size_t)>& before_console,
                  const std::function<void(std::size_t, const ConversionResult&)>& done);

}  // namespace tarvex
