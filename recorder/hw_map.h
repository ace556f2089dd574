// The register windows: /dev/mem pages mapped once at start-up and never
// released. HwWindows is the hardware layer's own record; the other files
// of the recorder only call hw_map and hw_mapped.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace tarvex {

// 0 when every window is mapped, -1 after printing why (the caller exits).
int hw_map();
// A pointer to `phys` inside a new mapping of `length` bytes that starts at
// `phys` rounded down to its page; nullptr on failure.
void* map_phys(int fd, std::uint32_t phys, std::size_t length);
bool hw_mapped();  // false until hw_map succeeded: nothing may touch GPIO before

struct HwWindows {
    int mem_fd = -1;                                      // /dev/mem, kept open for the life of the process
    const volatile std::uint32_t* counter = nullptr;      // the seconds counter word itself
    const volatile std::uint8_t* camera_state = nullptr;  // camera firmware's state byte
    const volatile std::uint8_t* camera_flag = nullptr;   // camera firmware's flag byte (bit 0)
    std::array<volatile std::uint32_t*, 5> banks{};       // GPIO bank windows, bank order
    bool mapped = false;                                  // every window above is valid
    std::uint32_t last_ticks = 0;                         // last counter value hw_ticks returned
};

extern HwWindows hw_windows;  // process-wide; hardware layer only

}  // namespace tarvex
