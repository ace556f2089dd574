// Conversions run as child processes, for card mode: each log's
// run state is process-wide, so every log gets a process of its own, which
// also keeps a crash in one log from stopping the others. The console of each
// conversion is held back and printed in the order of the jobs, so the output
// does not depend on how many run at once.
#pragma once

#include <cstddef>
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

// How many conversions run at once on this machine: one per processor, at most 4.
int parallel_job_limit();

// Runs every job through `run`, at most `max_parallel` at a time. In job
// order, calls `before_console(i)`, copies job i's console to stdout and
// stores its result.
std::vector<ConversionResult> run_log_jobs(const std::vector<LogJob>& jobs, int max_parallel, const JobRunner& run,
                                           const std::function<void(std::size_t)>& before_console);

}  // namespace tarvex
