// MP4 files built in memory, box by box, for tests, benchmarks and the
// synthetic-log tool: just the structure that carries a movie's duration,
// with sizes that can be forged to make damaged files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tarvex::test {

// Appends `v` as a `bytes`-long big-endian number.
void put_be(std::string& s, std::uint64_t v, int bytes);

// A box with a 32-bit size field; `size` overrides the true size.
std::string box(const char* type, const std::string& body, std::optional<std::uint64_t> size = {});

// A box in the 64-bit size form: size field 1, then the size after the type.
std::string box64(const char* type, const std::string& body, std::optional<std::uint64_t> size = {});

// Movie header bodies: version 0 has 32-bit times and duration, version 1
// 64-bit ones. The creation and modification times are distinctive
// patterns, so that a reader taking them for the duration is caught.
std::string mvhd_v0(std::uint32_t timescale, std::uint32_t duration);
std::string mvhd_v1(std::uint32_t timescale, std::uint64_t duration);

std::string ftyp();

// A chapter file as the camera leaves it: file type, media data of
// `mdat_bytes` bytes, then the movie box; version 1 only when the duration
// in timescale units needs 64 bits.
std::string mp4_file(std::uint32_t duration_ms, std::uint32_t timescale = 1000, std::uint32_t mdat_bytes = 64);

}  // namespace tarvex::test
