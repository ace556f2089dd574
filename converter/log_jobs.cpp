// Child processes for conversions, their held-back consoles, and the summary
// line that says what each conversion achieved.
#include "log_jobs.h"

#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "driver.h"
#include "stdio_file.h"

namespace tarvex {

namespace {

constexpr int MAX_PARALLEL = 4;
constexpr int EXIT_CHILD_SETUP = 255;  // the child could not enter the log's folder

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
[[noreturn]] void run_child(const LogJob& job, std::FILE* console, RunOutcome* outcome) {
    dup2(fileno(console), STDOUT_FILENO);
    if (!job.folder.empty() && chdir(job.folder.c_str()) != 0) {
        std::printf("Could not enter folder %s\n", job.folder.c_str());
        std::fflush(stdout);
        _exit(EXIT_CHILD_SETUP);
    }
    std::vector<std::string> args = job.args;
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    RunOutcome local;
    const int status =
        convert_single_log(static_cast<int>(args.size()), argv.data(), outcome != nullptr ? outcome : &local);
    std::fflush(stdout);
    _exit(status & 0xFF);
}

// Copies the whole of `console` to stdout; returns its last non-empty line.
std::string copy_console(std::FILE* console) {
    std::string text;
    std::fseek(console, 0, SEEK_SET);
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, console)) > 0) {
        std::fwrite(buf, 1, n, stdout);
        text.append(buf, n);
        // Only the tail can hold the last line; keep the memory small.
        if (text.size() > 2 * sizeof buf) text.erase(0, text.size() - sizeof buf);
    }
    while (!text.empty() && text.back() == '\n') text.pop_back();
    const std::size_t nl = text.rfind('\n');
    return nl == std::string::npos ? text : text.substr(nl + 1);
}

}  // namespace

int parallel_job_limit() {
    const long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    return static_cast<int>(std::clamp<long>(cpus, 1, MAX_PARALLEL));
}

std::vector<JobResult> run_log_jobs(const std::vector<LogJob>& jobs, int max_parallel,
                                    const std::function<void(std::size_t)>& before_console) {
    const std::size_t n = jobs.size();
    std::vector<JobResult> results(n);
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
            if (pid == 0) run_child(jobs[i], consoles[i].get(), shared.get(i));
            if (pid < 0) {
                results[i].last_line = "could not start a process for the conversion";
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
                const std::string last = copy_console(consoles[next_print].get());
                if (results[next_print].last_line.empty()) results[next_print].last_line = last;
                consoles[next_print].reset();
            }
        }
    }
    std::fflush(stdout);
    return results;
}

bool job_converted(const JobResult& r) {
    return r.exit_status == 0 && r.signal == 0 && converted_completely(r.outcome);
}

void print_summary_line(const std::string& log, const JobResult& r, const std::string& settings) {
    const RunOutcome& o = r.outcome;
    const char* name = log.c_str();
    const std::int32_t chapters = o.chapters_written;
    const char* plural = chapters == 1 ? "" : "s";
    if (r.signal != 0) {
        std::printf("%s: failed, the conversion was stopped by signal %d", name, r.signal);
    } else if (r.exit_status != 0) {
        std::printf("%s: failed, exit status %d (%s)", name, r.exit_status, r.last_line.c_str());
    } else if (!o.have_samples) {
        std::printf("%s: failed, the log holds no samples", name);
    } else if (chapters == 0) {
        std::printf("%s: failed, no chapter written (no video %s)", name,
                    o.next_chapter[0] != '\0' ? o.next_chapter.data() : "found for the log");
    } else if (const std::uint32_t left = ms_left_unconverted(o); left > 0) {
        const std::uint32_t tenths = left / 100 + (left % 100 != 0 ? 1 : 0);  // rounded up: never "0.0 s"
        std::printf("%s: failed, %d chapter%s written, %u.%u s of log left unconverted", name, chapters, plural,
                    tenths / 10, tenths % 10);
        if (o.next_chapter[0] != '\0') std::printf(" (no video %s)", o.next_chapter.data());
    } else {
        std::printf("%s: converted, %d chapter%s", name, chapters, plural);
    }
    std::printf("; settings: %s\n", settings.c_str());
}

}  // namespace tarvex
