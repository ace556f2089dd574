// Maps the register windows through the platform's physical-memory seam:
// the seconds counter, the camera's two state bytes and the five GPIO banks.
#include "hw_map.h"

#include <cstdio>

#include "counter.h"
#include "gpio.h"
#include "platform.h"
#include "variant.h"

namespace tarvex {

HwWindows hw_windows;

namespace {

constexpr std::size_t WINDOW_BYTES = 4096;
constexpr std::uint32_t PAGE_OFFSET_MASK = 0xfff;

void* map_window(std::uint32_t phys) {
    void* p = map_phys(hw_windows.mem_fd, phys, WINDOW_BYTES);
    if (p == nullptr) std::printf("Could not ioremap %08x\n", static_cast<unsigned>(phys));
    return p;
}

}  // namespace

void* map_phys(int fd, std::uint32_t phys, std::size_t length) {
    void* page = platform::map_page(fd, phys & ~PAGE_OFFSET_MASK, length);
    if (page == nullptr) return nullptr;
    return static_cast<std::uint8_t*>(page) + (phys & PAGE_OFFSET_MASK);
}

int hw_map() {
    hw_windows = HwWindows{};
    hw_windows.mem_fd = platform::open_phys_mem();
    if (hw_windows.mem_fd < 0) {
        std::puts("Can't open /dev/mem");
        return -1;
    }

    // The counter and the two camera bytes: without them the recorder can
    // neither keep time nor see a recording, so a failure here is as fatal
    // as a failed bank and is reported the same way.
    void* counter_page = map_window(COUNTER_PHYS);
    if (counter_page == nullptr) return -1;
    void* state = map_window(recorder_variant.camera_state_addr);
    if (state == nullptr) return -1;
    void* flag = map_window(recorder_variant.camera_flag_addr);
    if (flag == nullptr) return -1;
    hw_windows.counter = static_cast<std::uint32_t*>(counter_page) + COUNTER_OFFSET / 4;
    hw_windows.camera_state = static_cast<std::uint8_t*>(state);
    hw_windows.camera_flag = static_cast<std::uint8_t*>(flag);

    for (unsigned bank = 0; bank < hw_windows.banks.size(); ++bank) {
        void* p = map_window(GPIO_BANK_PHYS[bank]);
        if (p == nullptr) return -1;  // later banks stay unmapped, hw_mapped() stays false
        hw_windows.banks[bank] = static_cast<std::uint32_t*>(p);
        std::printf("ioremapped %08x at %08x\n", static_cast<unsigned>(GPIO_BANK_PHYS[bank]),
                    static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(p)));
    }
    hw_windows.mapped = true;
    return 0;
}

bool hw_mapped() { return hw_windows.mapped; }

}  // namespace tarvex
