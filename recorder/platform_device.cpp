// The camera's side of the platform seam: physical memory through /dev/mem,
// the system clock, real sleeps and the real shell. Built only for the camera.
#include "platform.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/time.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdlib>

// The camera firmware's state bytes lie above 2 GiB; a 32-bit off_t would
// turn their page addresses into negative mmap offsets.
static_assert(sizeof(off_t) >= 8, "build with -D_FILE_OFFSET_BITS=64");

namespace tarvex::platform {

namespace {

#if defined(TARVEX_PHYS_MEM_FROM_ENV)
// Check programs only: an ordinary file named by TARVEX_PHYS_MEM stands in for
// physical memory (file offset = physical address). Unset means no memory at
// all; such a build never falls back to /dev/mem.
const char* phys_mem_path() { return std::getenv("TARVEX_PHYS_MEM"); }
#else
const char* phys_mem_path() { return "/dev/mem"; }
#endif

}  // namespace

int open_phys_mem() {
    const char* path = phys_mem_path();
    if (path == nullptr) return -1;
    // Close-on-exec: the post-processing hook and its children get no
    // handle on physical memory.
    return open(path, O_RDWR | O_SYNC | O_CLOEXEC);
}

void* map_page(int fd, std::uint32_t page_phys, std::size_t length) {
    void* p = mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, static_cast<off_t>(page_phys));
    return p == MAP_FAILED ? nullptr : p;
}

void time_of_day(std::uint32_t& seconds, std::uint32_t& microseconds) {
    timeval tv{};
    gettimeofday(&tv, nullptr);
    seconds = static_cast<std::uint32_t>(tv.tv_sec);
    microseconds = static_cast<std::uint32_t>(tv.tv_usec);
}

void sleep_us(std::uint32_t microseconds) { usleep(microseconds); }

void bus_delay() {
    // A volatile counter: every iteration is a real load and store, so the
    // optimiser can neither drop nor shorten the loop.
    volatile std::uint32_t i = 0;
    while (i < 5000) i = i + 1;
}

int run_shell(const char* command) { return std::system(command); }

std::string camera_path(const char* path) { return path; }

}  // namespace tarvex::platform
