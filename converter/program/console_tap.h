// The single-log command's console (stdout) passed through a tap that knows
// whether it ends a line, and that with --quiet keeps only the lines that
// tell of a problem. The messages come from every part of the conversion
// (settings, probe, pipeline, writers), so the choice is made here, on whole
// lines, rather than at each of them.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

namespace tarvex {

// True for a console line that warns of or reports a problem.
bool is_problem_line(std::string_view line);

class ConsoleTap {
public:
    // stdout goes through the tap until it is destroyed.
    explicit ConsoleTap(bool quiet);
    ~ConsoleTap();
    ConsoleTap(const ConsoleTap&) = delete;
    ConsoleTap& operator=(const ConsoleTap&) = delete;

    // Ends the console's last line if it has no newline (the
    // converter's message for an empty log entry has it before its '!'), so that what
    // follows starts a line; every line from here on is kept.
    void start_summary();

private:
    static ssize_t write(void* self, const char* bytes, std::size_t n);
    void emit(std::string_view text);
    void end_of_line();

    std::FILE* previous_;
    std::FILE* stream_ = nullptr;
    bool quiet_;
    std::string line_;  // quiet: the line so far
    std::string held_;  // quiet: a "Could not open" line, dropped when the probe's "No such file" follows
    char last_ = '\n';  // the last byte that reached the console
};

}  // namespace tarvex
