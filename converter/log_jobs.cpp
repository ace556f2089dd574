// Child processes for conversions and their held-back consoles.
#include "log_jobs.h"

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "exit_status.h"
#include "stdio_file.h"

namespace tarvex {

namespace {

constexpr int MAX_PARALLEL = 4;

// The children's outcome records: memory shared across fork().
class SharedOutcomes {
public:
    explicit SharedOutcomes(std::size_t n) : bytes_(std::max<std::size_t>(n, 1) * sizeof(RunOutcome)) {
        void* p = mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        base_ = p == MAP_FAILED ? nullptr : static_cast<RunOutcome*>(p);
        for (std::size_t i = 0; base_ != nullptr && i < n; ++i) base_[i] = RunOutcome{};
    }
    ~SharedOutcomes() {
        if (base_ != nullptr) munmap(base_, bytes_);
    }
    SharedOutcomes(const SharedOutcomes&) = delete;
    SharedOutcomes& operator=(const SharedOutcomes&) = delete;
    RunOutcome* get(std::size_t i) const { return base_ != nullptr ? base_ + i : nullptr; }

private:
    std::size_t bytes_;
    RunOutcome* base_ = nullptr;
};

// In the child: the single-log run with stdout going to `console`. Never returns.
[[noreturn]] void run_child(const LogJob& job, const JobRunner& run, std::FILE* console, RunOutcome* shared) {
    dup2(fileno(console), STDOUT_FILENO);
    RunOutcome local;
    RunOutcome& outcome = shared != nullptr ? *shared : local;
    if (!job.folder.empty() && chdir(job.folder.c_str()) != 0) {
        const std::string line = "Could not enter folder " + job.folder;
        std::printf("%s\n", line.c_str());
        note_failure(outcome, line);
        std::fflush(stdout);
        _exit(EXIT_FATAL);
    }
    const int status = run(job, outcome);
    std::fflush(stdout);
    _exit(status & 0xFF);
}

// Copies the whole of `console` to stdout.
void copy_console(std::FILE* console) {
    std::fseek(console, 0, SEEK_SET);
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, console)) > 0) std::fwrite(buf, 1, n, stdout);
}

}  // namespace

int parallel_job_limit() {
    const long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    return static_cast<int>(std::clamp<long>(cpus, 1, MAX_PARALLEL));
}

std::vector<ConversionResult> run_log_jobs(const std::vector<LogJob>& jobs, int max_parallel, const JobRunner& run,
                                           const std::function<void(std::size_t)>& before_console) {
    const std::size_t n = jobs.size();
    std::vector<ConversionResult> results(n);
    std::vector<File> consoles(n);
    std::vector<pid_t> pids(n, -1);
    std::vector<bool> done(n, false);
    SharedOutcomes shared(n);

    std::size_t next_start = 0, next_print = 0;
    int running = 0;
    while (next_print < n) {
        while (running < std::max(max_parallel, 1) && next_start < n) {
            const std::size_t i = next_start++;
            consoles[i].reset(std::tmpfile());
            std::fflush(stdout);  // nothing buffered may be printed twice
            const pid_t pid = consoles[i] ? fork() : -1;
            if (pid == 0) run_child(jobs[i], run, consoles[i].get(), shared.get(i));
            if (pid < 0) {
                note_failure(results[i].outcome, "could not start a process for the conversion");
                done[i] = true;
                continue;
            }
            pids[i] = pid;
            ++running;
        }
        if (running > 0) {
            int status = 0;
            const pid_t pid = waitpid(-1, &status, 0);
            const auto it = std::find(pids.begin(), pids.end(), pid);
            if (pid > 0 && it != pids.end()) {
                const std::size_t i = static_cast<std::size_t>(it - pids.begin());
                if (WIFEXITED(status)) results[i].exit_status = WEXITSTATUS(status);
                if (WIFSIGNALED(status)) results[i].signal = WTERMSIG(status);
                if (const RunOutcome* o = shared.get(i)) results[i].outcome = *o;
                done[i] = true;
                pids[i] = -1;
                --running;
            }
        }
        for (; next_print < n && done[next_print]; ++next_print) {
            before_console(next_print);
            if (consoles[next_print]) {
                copy_console(consoles[next_print].get());
                consoles[next_print].reset();
            }
        }
    }
    std::fflush(stdout);
    return results;
}

}  // namespace tarvex
