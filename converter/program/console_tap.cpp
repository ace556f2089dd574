#include "console_tap.h"

#include <unistd.h>

#include <array>
#include <cerrno>

namespace tarvex {

namespace {

// How the messages that tell of a problem begin (the settings file's line
// notes and the chapter that cannot be placed are matched on their middle).
constexpr std::array<std::string_view, 17> PROBLEM_STARTS = {"Warning",
                                                             "Destination file",
                                                             "Could not",
                                                             "Invalid",
                                                             "Unexpected",
                                                             "Error",
                                                             "ERROR",
                                                             "BUG!!",
                                                             "Failure",
                                                             "Unknown",
                                                             "Refusing",
                                                             "MP4Len - giving up",
                                                             "MP4len internal call failed",
                                                             "Not a regular file",
                                                             "Settings file ",
                                                             "File name of",
                                                             "Base path is too long"};
constexpr std::array<std::string_view, 2> PROBLEM_PARTS = {": key ", "; placing it in the log needs "};

void write_all(const char* bytes, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(STDOUT_FILENO, bytes, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return;  // the console is gone: nothing to tell it
        bytes += w;
        n -= static_cast<std::size_t>(w);
    }
}

}  // namespace

bool is_problem_line(std::string_view line) {
    // The empty-entry message leaves its '!' at the start of the next line.
    while (!line.empty() && line.front() == '!') line.remove_prefix(1);
    for (const std::string_view start : PROBLEM_STARTS) {
        if (line.starts_with(start)) return true;
    }
    for (const std::string_view part : PROBLEM_PARTS) {
        if (line.find(part) != std::string_view::npos) return true;
    }
    return false;
}

ConsoleTap::ConsoleTap(bool quiet) : previous_(stdout), quiet_(quiet) {
    std::fflush(stdout);
    stream_ = fopencookie(this, "w", {nullptr, &ConsoleTap::write, nullptr, nullptr});
    if (stream_ == nullptr) return;
    // A terminal sees each line as it is printed, as before.
    if (isatty(STDOUT_FILENO) != 0) std::setvbuf(stream_, nullptr, _IOLBF, BUFSIZ);
    stdout = stream_;
}

ConsoleTap::~ConsoleTap() {
    if (stream_ == nullptr) return;
    std::fflush(stream_);
    if (quiet_) {
        if (!line_.empty() && is_problem_line(line_)) emit(line_);
        if (!held_.empty()) emit(held_);
    }
    stdout = previous_;
    std::fclose(stream_);
}

void ConsoleTap::start_summary() {
    std::fflush(stdout);
    if (quiet_) {
        if (!held_.empty()) emit(held_);
        held_.clear();
        if (!line_.empty() && is_problem_line(line_)) emit(line_);
        line_.clear();
        quiet_ = false;
    }
    if (last_ != '\n') emit("\n");
}

void ConsoleTap::emit(std::string_view text) {
    if (text.empty()) return;
    write_all(text.data(), text.size());
    last_ = text.back();
}

void ConsoleTap::end_of_line() {
    if (!held_.empty()) {
        const std::string_view name = std::string_view(held_).substr(std::string_view("Could not open ").size());
        const bool probe_end = line_.starts_with("No such file: ") &&
                               std::string_view(line_).substr(14).starts_with(name.substr(0, name.size() - 1));
        if (!probe_end) emit(held_);
        held_.clear();
        if (probe_end) {
            line_.clear();
            return;
        }
    }
    if (line_.starts_with("Could not open ")) held_.swap(line_);
    else if (is_problem_line(line_)) emit(line_);
    line_.clear();
}

ssize_t ConsoleTap::write(void* self, const char* bytes, std::size_t n) {
    auto& tap = *static_cast<ConsoleTap*>(self);
    if (!tap.quiet_) {
        tap.emit(std::string_view(bytes, n));
        return static_cast<ssize_t>(n);
    }
    for (std::size_t i = 0; i < n; ++i) {
        tap.line_ += bytes[i];
        if (bytes[i] == '\n') tap.end_of_line();
    }
    return static_cast<ssize_t>(n);
}

}  // namespace tarvex
