#include "ground_offset.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "altitude_table.h"
#include "baro_compensate.h"
#include "platform.h"
#include "settings.h"

namespace tarvex {

namespace {

constexpr const char* OFFSET_FILE = "/tmp/fuse_d/alt_offset.txt";
constexpr const char* VERSION_FILE = "/tmp/fuse_d/MISC/trvx_version.txt";

constexpr int OFFSET_READINGS = 10;
constexpr std::uint32_t OFFSET_READING_PAUSE_US = 100000;

// Reads the whole (small) file; false when it cannot be opened.
bool read_small_file(const std::string& path, std::string& text) {
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (f == nullptr) return false;
    char buf[256];
    std::size_t n = 0;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) text.append(buf, n);
    std::fclose(f);
    return true;
}

// "%d" as scanf reads it: leading white space skipped, an optional sign, then
// digits; anything after the number is ignored. No number leaves 0. The value
// saturates at the 32-bit limits rather than overflowing.
std::int32_t parse_offset(const std::string& text) {
    std::size_t i = 0;
    while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i])) != 0) ++i;
    std::size_t digits = i;
    if (digits < text.size() && (text[digits] == '+' || text[digits] == '-')) ++digits;
    if (digits >= text.size() || text[digits] < '0' || text[digits] > '9') return 0;
    return strtol32(text.c_str() + i);
}

}  // namespace

std::int32_t load_ground_offset() {
    std::string text;
    if (!read_small_file(platform::camera_path(OFFSET_FILE), text)) {
        std::printf("Could not read altitude offset file: %s\n", OFFSET_FILE);
        return NO_OFFSET;
    }
    const std::int32_t offset = parse_offset(text);
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
