// MP4 boxes for the test files. Big-endian throughout, as the format is.
#include "mp4_bytes.h"

namespace tarvex::test {

void put_be(std::string& s, std::uint64_t v, int bytes) {
    for (int i = bytes - 1; i >= 0; --i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

std::string box(const char* type, const std::string& body, std::optional<std::uint64_t> size) {
    std::string s;
    put_be(s, size.value_or(8 + body.size()), 4);
    s.append(type, 4);
    return s + body;
}

std::string box64(const char* type, const std::string& body, std::optional<std::uint64_t> size) {
    std::string s;
    put_be(s, 1, 4);
    s.append(type, 4);
    put_be(s, size.value_or(16 + body.size()), 8);
    return s + body;
}

namespace {

// What follows the duration in both versions: rate 1.0, volume 1.0, the
// identity matrix and the next track's ID (80 bytes; the converter reads none).
std::string playback_fields() {
    std::string s;
    put_be(s, 0x00010000, 4);  // rate
    put_be(s, 0x0100, 2);      // volume
    s.append(10, '\0');        // reserved
    for (const std::uint32_t m : {0x00010000u, 0u, 0u, 0u, 0x00010000u, 0u, 0u, 0u, 0x40000000u}) put_be(s, m, 4);
    s.append(24, '\0');  // pre-defined
    put_be(s, 1, 4);     // next track ID
    return s;
}

}  // namespace

std::string mvhd_v0(std::uint32_t timescale, std::uint32_t duration) {
    std::string s;
    put_be(s, 0, 4);           // version 0, flags
    put_be(s, 0x11111111, 4);  // creation time
    put_be(s, 0x22222222, 4);  // modification time
    put_be(s, timescale, 4);
    put_be(s, duration, 4);
    return s + playback_fields();
}

std::string mvhd_v1(std::uint32_t timescale, std::uint64_t duration) {
    std::string s;
    put_be(s, 0x01000000, 4);  // version 1, flags
    put_be(s, 0x1111111111111111ull, 8);
    put_be(s, 0x2222222222222222ull, 8);
    put_be(s, timescale, 4);
    put_be(s, duration, 8);
    return s + playback_fields();
}

std::string ftyp() { return box("ftyp", std::string("mp41\0\0\0\0mp41", 12)); }

std::string mp4_file(std::uint32_t duration_ms, std::uint32_t timescale, std::uint32_t mdat_bytes) {
    const std::uint64_t units = static_cast<std::uint64_t>(duration_ms) * timescale / 1000;
    const std::string mvhd =
        units > 0xFFFFFFFFu ? mvhd_v1(timescale, units) : mvhd_v0(timescale, static_cast<std::uint32_t>(units));
    return ftyp() + box("mdat", std::string(mdat_bytes, '\x5a')) + box("moov", box("mvhd", mvhd));
}

}  // namespace tarvex::test
