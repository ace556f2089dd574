// Small helpers shared by the test programs: scratch folders, files, stdout
// capture and running the real binaries.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tarvex::test {

// A fresh folder under the system's temp dir, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    std::string file(const std::string& name) const { return path_ + "/" + name; }
    std::vector<std::string> names() const;  // of the files in it, sorted

private:
    std::string path_;
};

void write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool file_exists(const std::string& path);

// Waits, looking every 10 ms, until the file at `path` holds `text` (for
// work finishing in the background); false when `timeout_s` passes first.
bool wait_until_file_holds(const std::string& path, const std::string& text, double timeout_s = 120.0);

// Runs `fn` in a forked child with stdout going to /dev/null; true when `fn`
// returned true and the child's peak resident size grew by less than
// `max_growth_kib` meanwhile (its high-water mark starts at its size when
// forked, so only what `fn` takes counts).
bool runs_in_bounded_memory(const std::function<bool()>& fn, long max_growth_kib);

// Runs `fn` and returns what it printed on stdout (C stdio included).
std::string capture_stdout(const std::function<void()>& fn);

struct RunResult {
    int exit_status = -1;  // exit code, or 128 + signal
    std::string out;       // stdout
    std::string err;       // stderr
};

// Runs argv[0] (a path) with the arguments in `cwd`, stdin from /dev/null.
RunResult run_program(const std::vector<std::string>& argv, const std::string& cwd = ".");

// Paths of the build's programs (the host build under test), unless the
// folder named by TARVEX_PROGRAM_DIR holds an executable of that relative path.
std::string binary_path(const std::string& relative);  // e.g. "converter/converter"
std::string source_path(const std::string& relative);

// Full path of `tool` on PATH, or empty when it is not installed.
std::string find_tool(const std::string& tool);

}  // namespace tarvex::test
