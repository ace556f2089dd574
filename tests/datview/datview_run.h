// Logs for the datview tests (the shared log builder, with a chosen serial
// number) and a way to run the datview program on them.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "dat_log.h"
#include "test_support.h"

namespace tarvex::test {

inline DatLog log_of(const char* serial, std::uint32_t expander_id = EXPANDER_NONE) {
    DatHeader h = log_header(expander_id);
    h.serial.fill('\0');
    std::snprintf(h.serial.data(), h.serial.size(), "%s", serial);
    return DatLog(h);
}

// `count` samples 100 ms apart from `from_ms`, at 1 G.
inline DatLog& samples(DatLog& log, std::uint32_t from_ms, int count, std::int32_t altitude = 500) {
    for (int i = 0; i < count; ++i) log.sample(from_ms + 100u * static_cast<std::uint32_t>(i), altitude);
    return log;
}

inline RunResult datview(const TempDir& dir, std::vector<std::string> args) {
    static const std::string program = binary_path("datview/datview");
    args.insert(args.begin(), program);
    return run_program(args, dir.path());
}

// The health report's verdict line (the ride section follows it), without
// its newline; empty when there is none.
inline std::string verdict_line(const std::string& text) {
    const std::size_t at = text.rfind("\nverdict: ");
    if (at == std::string::npos) return text.rfind("verdict: ", 0) == 0 ? text.substr(0, text.find('\n')) : "";
    return text.substr(at + 1, text.find('\n', at + 1) - at - 1);
}

}  // namespace tarvex::test
