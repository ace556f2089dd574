// The ground offset's file (one number, feet), its measurement, and the
// serial-number lines of the version file.
#include "ground_offset.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "altitude_table.h"
#include "baro_compensate.h"
#include "platform.h"

namespace tarvex {

namespace {

constexpr const char* OFFSET_FILE = "/tmp/fuse_d/alt_offset.txt";
constexpr const char* VERSION_FILE = "/tmp/fuse_d/MISC/trvx_version.txt";

constexpr int OFFSET_READINGS = 10;
constexpr std::uint32_t OFFSET_READING_PAUSE_US = 100000;

// "%d" as scanf reads it: leading white space skipped, an optional sign, then
// digits; anything after the number is ignored. No number leaves 0. The value
// saturates at the 32-bit limits rather than overflowing. Read a byte at a
// time through the stream's buffer, so a huge file costs no memory.
std::int32_t read_offset(std::FILE* f) {
    int c = std::getc(f);
    while (c != EOF && std::isspace(c) != 0) c = std::getc(f);
    bool negative = false;
    if (c == '+' || c == '-') {
        negative = c == '-';
        c = std::getc(f);
    }
    constexpr std::int64_t LIMIT = std::int64_t{INT32_MAX} + 1;  // the magnitude of INT32_MIN
    std::int64_t magnitude = 0;
    for (; c >= '0' && c <= '9'; c = std::getc(f)) magnitude = std::min(magnitude * 10 + (c - '0'), LIMIT);
    if (negative) return static_cast<std::int32_t>(-magnitude);
    return static_cast<std::int32_t>(std::min<std::int64_t>(magnitude, INT32_MAX));
}

}  // namespace

std::int32_t load_ground_offset() {
    std::FILE* f = std::fopen(platform::camera_path(OFFSET_FILE).c_str(), "r");
    if (f == nullptr) {
        std::printf("Could not read altitude offset file: %s\n", OFFSET_FILE);
        return NO_OFFSET;
    }
    const std::int32_t offset = read_offset(f);
    std::fclose(f);
    std::printf("Loaded altitude offset: %d\n", offset);
    return offset;
}

int save_ground_offset(std::int32_t offset) {
    std::FILE* f = std::fopen(platform::camera_path(OFFSET_FILE).c_str(), "w");
    if (f == nullptr) {
        std::printf("Could not write altitude offset file: %s\n", OFFSET_FILE);
        return -1;
    }
    // A full card shows only when the buffered text reaches it.
    const bool written = std::fprintf(f, "%d", offset) > 0;
    if (std::fclose(f) != 0 || !written) {
        std::printf("Could not write altitude offset file: %s\n", OFFSET_FILE);
        return -1;
    }
    std::printf("Wrote altitude offset: %d\n", offset);
    return 0;
}

std::int32_t measure_ground_offset(const BaroCalibration& cal) {
    std::int32_t sum = 0;  // ft; ten table altitudes cannot overflow it
    for (int i = 0; i < OFFSET_READINGS; ++i) {
        BaroSample s;
        if (baro_sample(s) != 0) return NO_OFFSET;
        baro_compensate_temperature(cal, s);
        baro_compensate_pressure(cal, s);
        const std::int32_t altitude = pressure_to_altitude(static_cast<std::uint32_t>(s.pressure));
        if (altitude == NO_VALUE) return NO_OFFSET;
        sum += altitude;
        platform::sleep_us(OFFSET_READING_PAUSE_US);
    }
    return sum / OFFSET_READINGS;  // truncates toward zero
}

// The serial comes from the unit's EEPROM, so it is written as data, never
// handed to a shell. Appending creates the file when it is missing.
void record_serial_number(const char* serial) {
    std::FILE* f = std::fopen(platform::camera_path(VERSION_FILE).c_str(), "a");
    if (f == nullptr) {
        std::printf("Could not append serial number to %s: %s\n", VERSION_FILE, std::strerror(errno));
        return;
    }
    std::fprintf(f, "SerialNo: %s\n", serial);
    if (std::fclose(f) != 0) {
        std::printf("Could not append serial number to %s: %s\n", VERSION_FILE, std::strerror(errno));
    }
}

}  // namespace tarvex
