#include "test_support.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace tarvex::test {

TempDir::TempDir() {
    std::string templ = (std::filesystem::temp_directory_path() / "tarvex-test-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = templ;
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

std::vector<std::string> TempDir::names() const {
    std::vector<std::string> names;
    for (const auto& e : std::filesystem::directory_iterator(path_)) names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
}

void write_file(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!f) throw std::runtime_error("cannot write " + path);
}

std::string read_file(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    if (!f) throw std::runtime_error("cannot read " + path);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

bool file_exists(const std::string& path) { return std::filesystem::exists(path); }

bool wait_until_file_holds(const std::string& path, const std::string& text, double timeout_s) {
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::duration<double>(timeout_s);
    for (;;) {
        std::ifstream f(path, std::ios::binary);
        std::ostringstream s;
        if (f) s << f.rdbuf();
        if (s.str().find(text) != std::string::npos) return true;
        if (std::chrono::steady_clock::now() > give_up) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool runs_in_bounded_memory(const std::function<bool()>& fn, long max_growth_kib) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        rusage before{}, after{};
        getrusage(RUSAGE_SELF, &before);
        const bool ok = fn();
        getrusage(RUSAGE_SELF, &after);
        _exit(ok && after.ru_maxrss - before.ru_maxrss < max_growth_kib ? 0 : 1);
    }
    int status = 0;
    return waitpid(pid, &status, 0) == pid && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

std::string capture_stdout(const std::function<void()>& fn) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    fn();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}

RunResult run_program(const std::vector<std::string>& argv, const std::string& cwd) {
    TempDir io;
    const std::string out_path = io.file("out"), err_path = io.file("err");
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 1, out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&fa, 2, err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addchdir_np(&fa, cwd.c_str());
    std::vector<char*> args;
    for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    RunResult r;
    if (posix_spawn(&pid, args[0], &fa, nullptr, args.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&fa);
        r.err = "spawn failed: " + argv[0];
        return r;
    }
    posix_spawn_file_actions_destroy(&fa);
    int status = 0;
    waitpid(pid, &status, 0);
    r.exit_status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = read_file(out_path);
    r.err = read_file(err_path);
    return r;
}

std::string binary_path(const std::string& relative) {
    // Another build's programs under test (e.g. ARM ones behind qemu-arm
    // wrappers): TARVEX_PROGRAM_DIR mirrors this build's layout for them.
    if (const char* dir = std::getenv("TARVEX_PROGRAM_DIR"); dir != nullptr && *dir != '\0') {
        const std::string path = std::string(dir) + "/" + relative;
        if (access(path.c_str(), X_OK) == 0) return path;
    }
    return std::string(TARVEX_BINARY_DIR) + "/" + relative;
}
std::string source_path(const std::string& relative) { return std::string(TARVEX_SOURCE_DIR) + "/" + relative; }

std::string find_tool(const std::string& tool) {
    const char* path = std::getenv("PATH");
    std::stringstream dirs(path != nullptr ? path : "");
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
        const std::string candidate = dir + "/" + tool;
        if (!dir.empty() && access(candidate.c_str(), X_OK) == 0) return candidate;
    }
    return {};
}

}  // namespace tarvex::test
