// Logs for the datview tests: a header and the entries of the converter
// tests' entry builder, and a way to run the datview program on them.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "../converter/log_bytes.h"
#include "dat_format.h"
#include "test_support.h"

namespace tarvex::test {

inline std::string dat_file(const LogBytes& entries, const char* serial = "TX-0042",
                            std::uint32_t expander_id = EXPANDER_NONE) {
    DatHeader h;
    h.rec_date = 1700000000;  // 2023-11-14 22:13:20 UTC
    h.hw_revision = 3;
    h.expander_id = expander_id;
    std::snprintf(h.serial.data(), h.serial.size(), "%s", serial);
    const auto head = encode_dat_header(h);
    return std::string(head.begin(), head.end()) + std::string(entries.bytes().begin(), entries.bytes().end());
}

// `count` samples 100 ms apart from `from_ms`, at 1 G.
inline LogBytes& samples(LogBytes& log, std::uint32_t from_ms, int count, std::int32_t altitude = 500) {
    for (int i = 0; i < count; ++i) log.sample(from_ms + 100u * static_cast<std::uint32_t>(i), altitude, {0, 0, 2048});
    return log;
}

inline LogBytes& sample_with(LogBytes& log, std::uint32_t ts, const SensorSample& s) {
    std::array<std::uint8_t, MAX_PAYLOAD> pl{};
    encode_sensor_sample(pl.data(), s);
    return log.entry(240, static_cast<std::uint16_t>(SENSOR_SAMPLE_PAYLOAD), ts, pl.data());
}

inline RunResult datview(const TempDir& dir, std::vector<std::string> args) {
    static const std::string program = binary_path("datview/datview");
    args.insert(args.begin(), program);
    return run_program(args, dir.path());
}

// The last line of a text, without its newline.
inline std::string last_line(const std::string& text) {
    const std::size_t end = text.size() > 0 && text.back() == '\n' ? text.size() - 1 : text.size();
    const std::size_t start = text.rfind('\n', end == 0 ? 0 : end - 1);
    return text.substr(start == std::string::npos ? 0 : start + 1, end - (start == std::string::npos ? 0 : start + 1));
}

}  // namespace tarvex::test
