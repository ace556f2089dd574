// Fuzz target: the chapter probe's walk over an MP4 file's boxes to the
// movie header, on the input as the whole file (read from memory).

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "chapters.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::uint8_t> bytes(data, data + size);
    std::FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
    if (f == nullptr) return 0;  // an empty file: nothing to walk
    const std::int32_t ms = tarvex::mp4_duration_of(f);
    std::fclose(f);
    if (ms < -1) std::abort();  // a duration in ms, or none
    return 0;
}
