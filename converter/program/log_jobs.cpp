// Child processes for conversions and their held-back consoles.
#include "log_jobs.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <memory>

#include "exit_status.h"
#include "stdio_file.h"

namespace tarvex {

namespace {

constexpr int MAX_PARALLEL = 4;

// What a child hands back: its outcome and how many bytes it printed.
struct JobShared {
    RunOutcome outcome;
    std::uint64_t console_bytes = 0;
};

// One record per job in flight, in memory shared across fork(); job i uses
// slot i % JOBS_AHEAD, free again once job i's result is taken.
class SharedSlots {
public:
    SharedSlots() {
        void* p = mmap(nullptr, BYTES, PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
        base_ = p == MAP_FAILED ? nullptr : static_cast<JobShared*>(p);
    }
    ~SharedSlots() {
        if (base_ != nullptr) munmap(base_, BYTES);
    }
    SharedSlots(const SharedSlots&) = delete;
    SharedSlots& operator=(const SharedSlots&) = delete;
    JobShared* get(std::size_t job) const { return base_ != nullptr ? base_ + job % JOBS_AHEAD : nullptr; }

private:
    static constexpr std::size_t BYTES = JOBS_AHEAD * sizeof(JobShared);
    JobShared* base_ = nullptr;
};

// The child's stdout into its console file: the first CONSOLE_KEPT_BYTES in
// place, every later byte into a ring of CONSOLE_KEPT_BYTES behind them, so
// the file never grows past twice that; `total` counts every byte.
class CappedConsole {
public:
    CappedConsole(int fd, std::uint64_t& total) : fd_(fd), total_(total) {}

    static ssize_t write(void* self, const char* bytes, std::size_t n) {
        auto& c = *static_cast<CappedConsole*>(self);
        for (std::size_t done = 0; done < n;) {
            const std::uint64_t at = c.total_;
            std::uint64_t offset = at, room = CONSOLE_KEPT_BYTES - at;
            if (at >= CONSOLE_KEPT_BYTES) {
                const std::uint64_t in_ring = (at - CONSOLE_KEPT_BYTES) % CONSOLE_KEPT_BYTES;
                offset = CONSOLE_KEPT_BYTES + in_ring;
                room = CONSOLE_KEPT_BYTES - in_ring;
            }
            const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(room, n - done));
            if (pwrite(c.fd_, bytes + done, chunk, static_cast<off_t>(offset)) != static_cast<ssize_t>(chunk))
                return -1;
            c.total_ += chunk;
            done += chunk;
        }
        return static_cast<ssize_t>(n);
    }

private:
    int fd_;
    std::uint64_t& total_;
};

// In the child: the single-log run with stdout going to `console` (or
// nowhere). Never returns.
[[noreturn]] void run_child(const LogJob& job, const JobRunner& run, std::FILE* console, JobShared* shared) {
    JobShared local;
    JobShared& mine = shared != nullptr ? *shared : local;
    mine = JobShared{};
    CappedConsole capped(console != nullptr ? fileno(console) : -1, mine.console_bytes);
    if (console != nullptr) {
        std::FILE* out = fopencookie(&capped, "w", {nullptr, &CappedConsole::write, nullptr, nullptr});
        if (out != nullptr) stdout = out;
    } else {
        const int null_fd = open("/dev/null", O_WRONLY);
        if (null_fd >= 0) dup2(null_fd, STDOUT_FILENO);
    }
    if (!job.folder.empty() && chdir(job.folder.c_str()) != 0) {
        const std::string line = "Could not enter folder " + job.folder;
        std::printf("%s\n", line.c_str());
        note_failure(mine.outcome, line);
        std::fflush(stdout);
        _exit(EXIT_FATAL);
    }
    const int status = run(job, mine.outcome);
    std::fflush(stdout);
    _exit(status & 0xFF);
}

// Copies `n` bytes of `console` from `offset` to stdout; returns the last one
// copied, or '\n' when none.
char copy_bytes(std::FILE* console, std::uint64_t offset, std::uint64_t n) {
    char last = '\n';
    std::array<char, 4096> buf{};
    if (std::fseek(console, static_cast<long>(offset), SEEK_SET) != 0) return last;
    while (n > 0) {
        const std::size_t got = std::fread(buf.data(), 1, std::min<std::uint64_t>(n, buf.size()), console);
        if (got == 0) break;
        std::fwrite(buf.data(), 1, got, stdout);
        last = buf[got - 1];
        n -= got;
    }
    return last;
}

// Copies the console of `total` bytes to stdout, the middle left out when
// it was not kept, and ends it with a newline.
void copy_console(std::FILE* console, std::uint64_t total) {
    char last;
    if (total <= 2 * CONSOLE_KEPT_BYTES) {
        last = copy_bytes(console, 0, total);
    } else {
        if (copy_bytes(console, 0, CONSOLE_KEPT_BYTES) != '\n') std::putchar('\n');
        std::printf("[... %llu bytes of this log's console left out ...]\n",
                    static_cast<unsigned long long>(total - 2 * CONSOLE_KEPT_BYTES));
        // The ring's oldest byte is where the next one would have gone.
        const std::uint64_t oldest = (total - CONSOLE_KEPT_BYTES) % CONSOLE_KEPT_BYTES;
        last = copy_bytes(console, CONSOLE_KEPT_BYTES + oldest, CONSOLE_KEPT_BYTES - oldest);
        if (oldest > 0) last = copy_bytes(console, CONSOLE_KEPT_BYTES, oldest);
    }
    if (last != '\n') std::putchar('\n');
}

}  // namespace

int parallel_job_limit() {
    const long cpus = sysconf(_SC_NPROCESSORS_ONLN);
    return static_cast<int>(std::clamp<long>(cpus, 1, MAX_PARALLEL));
}

void run_log_jobs(const std::vector<LogJob>& jobs, const JobSettings& settings, const JobRunner& run,
                  const std::function<void(std::size_t)>& before_console,
                  const std::function<void(std::size_t, const ConversionResult&)>& done) {
    const std::size_t n = jobs.size();
    // Per job in flight (slot i % JOBS_AHEAD): a result is some 16 KiB.
    std::vector<ConversionResult> results(JOBS_AHEAD);
    std::vector<File> consoles(JOBS_AHEAD);
    std::vector<pid_t> pids(n, -1);
    std::vector<bool> ended(n, false), forked(n, false);
    SharedSlots shared;

    std::size_t next_start = 0, next_done = 0;
    int running = 0;
    while (next_done < n) {
        while (running < std::max(settings.max_parallel, 1) && next_start < n && next_start < next_done + JOBS_AHEAD) {
            const std::size_t i = next_start++;
            ConversionResult& result = results[i % JOBS_AHEAD];
            File& console = consoles[i % JOBS_AHEAD];
            result = ConversionResult{};
            if (settings.keep_consoles) console.reset(std::tmpfile());
            std::fflush(stdout);  // nothing buffered may be printed twice
            const pid_t pid = console || !settings.keep_consoles ? fork() : -1;
            if (pid == 0) run_child(jobs[i], run, console.get(), shared.get(i));
            if (pid < 0) {
                note_failure(result.outcome, "could not start a process for the conversion");
                ended[i] = true;
                continue;
            }
            pids[i] = pid;
            forked[i] = true;
            ++running;
        }
        if (running > 0) {
            int status = 0;
            const pid_t pid = waitpid(-1, &status, 0);
            const auto it = std::find(pids.begin() + static_cast<std::ptrdiff_t>(next_done), pids.end(), pid);
            if (pid > 0 && it != pids.end()) {
                const std::size_t i = static_cast<std::size_t>(it - pids.begin());
                ConversionResult& result = results[i % JOBS_AHEAD];
                if (WIFEXITED(status)) result.exit_status = WEXITSTATUS(status);
                if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
                ended[i] = true;
                pids[i] = -1;
                --running;
            }
        }
        for (; next_done < n && ended[next_done]; ++next_done) {
            const std::size_t i = next_done;
            ConversionResult& result = results[i % JOBS_AHEAD];
            File& console = consoles[i % JOBS_AHEAD];
            const JobShared* mine = forked[i] ? shared.get(i) : nullptr;
            if (mine != nullptr) result.outcome = mine->outcome;
            before_console(i);
            if (console) copy_console(console.get(), mine != nullptr ? mine->console_bytes : 0);
            console.reset();
            done(i, result);
        }
    }
    std::fflush(stdout);
}

}  // namespace tarvex
