// Conversions run as child processes, for card mode and --strict: each log's
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

struct JobResult {
    int exit_status = -1;  // the conversion's exit status; -1 when it did not exit
    int signal = 0;        // the signal that ended it, or 0
    RunOutcome outcome;
    std::string last_line;  // the last line it printed, without the newline
};

// How many conversions run at once on this machine: one per processor, at most 4.
int parallel_job_limit();

// Runs every job, at most `max_parallel` at a time. In job order, calls
// `before_console(i)`, copies job i's console to stdout and stores its result.
std::vector<JobResult> run_log_jobs(const std::vector<LogJob>& jobs, int max_parallel,
                                    const std::function<void(std::size_t)>& before_console);

// "<log>: converted, ..." or "<log>: failed, <reason>", then "; settings: <file>".
void print_summary_line(const std::string& log, const JobResult& result, const std::string& settings);

// Whether the job's log was converted completely.
bool job_converted(const JobResult& result);

}  // namespace tarvex
