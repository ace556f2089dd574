// The DAT log of one recording, /tmp/datalog.bin. A write that fails (card
// full or removed) is reported once; the file keeps the header and every
// whole sample written before it, and nothing more is written to it.
#pragma once

#include <cstdint>

#include "accel.h"
#include "baro.h"

namespace tarvex {

struct LogFile {
    int fd = -1;                    // -1: no file (could not be opened)
    std::uint64_t whole_bytes = 0;  // bytes of complete records written so far
    bool failed = false;            // a write failed: no further writes
};

inline constexpr const char* LOG_FILE_PATH = "/tmp/datalog.bin";

// Opens (truncating) the log; prints "Could not open log file" when it cannot.
bool log_open(LogFile& log);
void log_write_header(LogFile& log, const char* serial /* or nullptr */, std::int32_t ground_offset);
void log_write_sample(LogFile& log, std::uint32_t vid_timestamp, std::int32_t altitude, const BaroSample& baro,
                      const AccelSample* accel /* or nullptr */);
void log_close(LogFile& log);

}  // namespace tarvex
