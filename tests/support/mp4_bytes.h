// Builds MP4 files in memory, box by box, for the chapter-probe and
// end-to-end tests: just enough structure for a movie header to be found.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarvex::test {

inline void put_be(std::string& s, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A box with a 32-bit size field; `size` overrides the true size (to forge
// damaged headers).
inline std::string box(const char* type, const std::string& body, std::optional<std::uint64_t> size = {}) {
    std::string s;
    put_be(s, size.value_or(8 + body.size()), 4);
    s.append(type, 4);
    return s + body;
}

// A box in the 64-bit size form: size field 1, then the size after the type.
inline std::string box64(const char* type, const std::string& body, std::optional<std::uint64_t> size = {}) {
    std::string s;
    put_be(s, 1, 4);
    s.append(type, 4);
    put_be(s, size.value_or(16 + body.size()), 8);
    return s + body;
}

// Movie header body, version 0: 32-bit times and duration.
inline std::string mvhd_v0(std::uint32_t timescale, std::uint32_t duration) {
    std::string s;
    put_be(s, 0, 4);           // version 0, flags
    put_be(s, 0x11111111, 4);  // creation time
    put_be(s, 0x22222222, 4);  // modification time
    put_be(s, timescale, 4);
    put_be(s, duration, 4);
    s.append(80, '\0');        // rate, volume, matrix, ... (not read)
    return s;
}

// Movie header body, version 1: 64-bit times and duration.
inline std::string mvhd_v1(std::uint32_t timescale, std::uint64_t duration) {
    std::string s;
    put_be(s, 0x01000000, 4);  // version 1, flags
    put_be(s, 0x1111111111111111ull, 8);
    put_be(s, 0x2222222222222222ull, 8);
    put_be(s, timescale, 4);
    put_be(s, duration, 8);
    s.append(80, '\0');
    return s;
}

inline std::string ftyp() { return box("ftyp", std::string("mp41\0\0\0\0mp41", 12)); }

// A chapter file as the camera leaves it: file type, media data, movie box.
inline std::string mp4_file(std::uint32_t duration_ms, std::uint32_t timescale = 1000) {
    const std::uint64_t units = static_cast<std::uint64_t>(duration_ms) * timescale / 1000;
    return ftyp() + box("mdat", std::string(64, '\x5a')) +
           box("moov", box("mvhd", mvhd_v0(timescale, static_cast<std::uint32_t>(units))));
}

}  // namespace tarvex::test
