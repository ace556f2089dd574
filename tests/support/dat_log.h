// DAT logs built in memory for tests and benchmarks: a header, entries of
// each kind through the recorder's own encoders, and raw entries and bytes
// for damaged or hostile logs.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <string_view>

#include "dat_format.h"
#include "stdio_file.h"

namespace tarvex::test {

inline constexpr std::array<std::int16_t, 3> ONE_G{0, 0, 2048};    // at rest, 16 G scale
inline constexpr std::array<std::int16_t, 3> NO_AXES{-1, -1, -1};  // accelerometer not read

// A reading with every value present: sea-level pressure in both copies,
// altitude in ft, temperature in 0.1 degC.
SensorSample reading(std::int32_t altitude = 100, std::int32_t temp = 215, std::array<std::int16_t, 3> accel = ONE_G,
                     std::uint32_t flags = 0);

// The header most tests use: revision-3 pack, serial TX-0042, recorded at
// Unix time 1700000000.
DatHeader log_header(std::uint32_t expander_id = EXPANDER_NONE);

// One entry of each kind as the recorder logs it, its size that of the kind.
LogEntry sample_entry(std::uint32_t ts, const SensorSample& s);
LogEntry fix_entry(std::uint32_t ts, const GpsFix& f);
LogEntry fix2_entry(std::uint32_t ts, std::uint16_t speed);  // km/h
LogEntry nav_entry(std::uint32_t ts, const GpsNavData& n);

class DatLog {
public:
    DatLog() = default;  // entries only, as the pipeline reads them
    explicit DatLog(const DatHeader& h);

    DatLog& add(const LogEntry& e);  // its 8-byte header and `size` (at most 96) payload bytes
    DatLog& sample(std::uint32_t ts, const SensorSample& s) { return add(sample_entry(ts, s)); }
    DatLog& sample(std::uint32_t ts, std::int32_t altitude, std::array<std::int16_t, 3> accel = ONE_G) {
        return sample(ts, reading(altitude, 215, accel));
    }
    DatLog& samples(std::initializer_list<std::uint32_t> times) {  // each a reading()
        for (const std::uint32_t ts : times) sample(ts, reading());
        return *this;
    }
    DatLog& fix(std::uint32_t ts, const GpsFix& f) { return add(fix_entry(ts, f)); }
    DatLog& fix2(std::uint32_t ts, std::uint16_t speed) { return add(fix2_entry(ts, speed)); }
    DatLog& nav(std::uint32_t ts, const GpsNavData& n) { return add(nav_entry(ts, n)); }

    // An entry header claiming `size` bytes, then `payload` whatever its length.
    DatLog& entry(std::uint16_t type, std::uint16_t size, std::uint32_t ts, std::string_view payload = {});
    DatLog& raw(std::string_view bytes);

    const std::string& bytes() const { return bytes_; }
    std::string take();  // the bytes so far, leaving the builder empty

private:
    std::string bytes_;
};

// A log with log_header(expander_id), ready for entries.
inline DatLog log_with_header(std::uint32_t expander_id = EXPANDER_NONE) { return DatLog(log_header(expander_id)); }

// A stream positioned at the start of `bytes`.
File stream_of(std::string_view bytes);

}  // namespace tarvex::test
