// The recorder's one seam to the world outside it. Two implementations:
// the device backend (/dev/mem, gettimeofday, usleep, system, real paths;
// built only for the camera) and the simulated camera in sim/.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace tarvex::platform {

// Physical memory. open_phys_mem returns a descriptor or -1; map_page maps
// `length` bytes at the page-aligned physical address, nullptr on failure.
int open_phys_mem();
void* map_page(int fd, std::uint32_t page_phys, std::size_t length);

// Time and waiting.
void time_of_day(std::uint32_t& seconds, std::uint32_t& microseconds);
void sleep_us(std::uint32_t microseconds);
// One I2C bit delay: a busy-wait of 5000 iterations on the camera.
void bus_delay();

// Runs a shell command and waits for it; returns system()'s result.
int run_shell(const char* command);

// Maps an absolute path of the camera's file system to the path to open here.
std::string camera_path(const char* path);

}  // namespace tarvex::platform
