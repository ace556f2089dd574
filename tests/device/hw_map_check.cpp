// Checks the camera build's register mapping without /dev/mem: a sparse
// ordinary file stands in for physical memory (file offset = physical
// address), and every window hw_map sets up must address exactly the bytes
// of its physical address. Runs on the ARM target (under qemu-arm on a PC);
// prints one line per failed check and exits 1 if any failed.
#include <fcntl.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "camera_state.h"
#include "counter.h"
#include "gpio.h"
#include "hw_map.h"
#include "i2c_bus.h"
#include "platform.h"
#include "variant.h"

namespace {

using namespace tarvex;

constexpr std::uint32_t PAGE = 4096;

int failures = 0;
int mem_fd = -1;  // our own handle on the stand-in file

void check(bool ok, const std::string& what) {
    if (!ok) {
        std::printf("FAIL: %s\n", what.c_str());
        ++failures;
    }
}

std::string hex(std::uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", static_cast<unsigned>(v));
    return buf;
}

void poke32(std::uint32_t phys, std::uint32_t v) {
    unsigned char b[4] = {static_cast<unsigned char>(v), static_cast<unsigned char>(v >> 8),
                          static_cast<unsigned char>(v >> 16), static_cast<unsigned char>(v >> 24)};
    if (pwrite(mem_fd, b, 4, static_cast<off_t>(phys)) != 4) check(false, "pwrite at " + hex(phys));
}

std::uint32_t peek32(std::uint32_t phys) {
    unsigned char b[4] = {};
    if (pread(mem_fd, b, 4, static_cast<off_t>(phys)) != 4) check(false, "pread at " + hex(phys));
    return std::uint32_t{b[0]} | std::uint32_t{b[1]} << 8 | std::uint32_t{b[2]} << 16 | std::uint32_t{b[3]} << 24;
}

void poke8(std::uint32_t phys, std::uint8_t v) {
    if (pwrite(mem_fd, &v, 1, static_cast<off_t>(phys)) != 1) check(false, "pwrite at " + hex(phys));
}

std::uint32_t page_offset(const volatile void* p) {
    return static_cast<std::uint32_t>(reinterpret_cast<std::uintptr_t>(p) & (PAGE - 1));
}

// Removes the stand-in file however the check ends.
struct ScratchFile {
    std::string path;
    ~ScratchFile() {
        if (!path.empty()) unlink(path.c_str());
    }
};

// map_phys on its own: unaligned addresses below and above 2 GiB.
void check_map_phys() {
    const int fd = platform::open_phys_mem();
    check(fd >= 0, "open_phys_mem on the stand-in file");
    if (fd < 0) return;
    const std::uint32_t addrs[] = {COUNTER_PHYS + COUNTER_OFFSET, 0x70009ffc, recorder_variant.camera_flag_addr & ~3u,
                                   0xc0000000, 0xfffff000};
    std::uint32_t value = 0x5a000001;
    for (std::uint32_t phys : addrs) {
        auto* p = static_cast<volatile std::uint32_t*>(map_phys(fd, phys, PAGE));
        check(p != nullptr, "map_phys " + hex(phys));
        if (p == nullptr) continue;
        check(page_offset(p) == (phys & (PAGE - 1)), "map_phys " + hex(phys) + " offset within page");
        *p = value;
        check(peek32(phys) == value, "write through map_phys " + hex(phys) + " lands at that address");
        poke32(phys, ~value);
        check(*p == ~value, "read through map_phys " + hex(phys) + " sees that address");
        poke32(phys, 0);
        ++value;
    }
    close(fd);
}

void check_counter() {
    const std::uint32_t phys = COUNTER_PHYS + COUNTER_OFFSET;
    check(page_offset(hw_windows.counter) == (phys & (PAGE - 1)), "counter pointer offset");
    poke32(phys - 4, 0xdeaddead);
    poke32(phys + 4, 0xbeefbeef);
    poke32(phys, 1700000000);
    check(hw_ticks() == 1700000000, "hw_ticks reads the counter word");
    poke32(phys, 1700000001);
    check(hw_ticks() == 1700000001, "hw_ticks follows the counter word");
}

void check_camera_bytes() {
    const std::uint32_t state = recorder_variant.camera_state_addr;
    const std::uint32_t flag = recorder_variant.camera_flag_addr;
    check(page_offset(hw_windows.camera_state) == (state & (PAGE - 1)), "camera state pointer offset");
    check(page_offset(hw_windows.camera_flag) == (flag & (PAGE - 1)), "camera flag pointer offset");

    // Neighbours hold what would give the opposite answer, so a pointer one
    // byte off fails.
    poke8(state - 1, 0xff);
    poke8(state + 1, 0xff);
    poke8(flag - 1, 0x00);
    poke8(flag + 1, 0x00);
    const std::uint32_t data1 = GPIO_BANK_PHYS[PIN_REC_START / 32] + GPIO_DATA;
    poke32(data1, peek32(data1) | 1u << (PIN_REC_START % 32));

    poke8(state, 0);
    poke8(flag, 1);
    check(camera_recording(1) == 1, "camera_recording(1) with state 0, flag 1, pin 45 high");
    poke8(flag, 0xfe);
    check(camera_recording(0) == 0, "camera_recording(0) reads bit 0 of the flag byte");
    poke8(flag, 1);
    poke8(state, 3);
    check(camera_recording(0) == 0, "camera_recording(0) reads the state byte");
    poke8(state, recorder_variant.idle_value);
    check(camera_idle() == 1, "camera_idle with the idle value");
    poke8(state, static_cast<std::uint8_t>(recorder_variant.idle_value + 1));
    check(camera_idle() == 0, "camera_idle with another value");
}

void check_gpio_banks() {
    for (unsigned bank = 0; bank < 5; ++bank) {
        const std::uint32_t base = GPIO_BANK_PHYS[bank];
        check(hw_windows.banks[bank] != nullptr && page_offset(hw_windows.banks[bank]) == 0,
              "bank " + std::to_string(bank) + " pointer is page aligned");
        const unsigned pin = bank * 32 + 3 + bank * 5;  // a different bit in every bank
        poke32(base + GPIO_DATA, 0);
        gpio_set(pin, 1);
        check(peek32(base + GPIO_DATA) == 1u << (pin % 32), "gpio_set(" + std::to_string(pin) + ") sets its data bit");
        check(peek32(base + GPIO_DIR) == 0 && peek32(base + GPIO_FUNC) == 0,
              "gpio_set(" + std::to_string(pin) + ") touches only the data word");
        gpio_set(pin, 0);
        check(peek32(base + GPIO_DATA) == 0, "gpio_set(" + std::to_string(pin) + ", 0) clears it");
        poke32(base + GPIO_DATA, 0xa5a5a5a5);
        bool same = true;
        for (unsigned bit = 0; bit < 32; ++bit)
            same = same && gpio_get(bank * 32 + bit) == int((0xa5a5a5a5u >> bit) & 1);
        check(same, "gpio_get reads bank " + std::to_string(bank) + "'s data word");
        poke32(base + GPIO_DATA, 0);
    }

    // Pin 17's registers in bank 0: the bus guard.
    const std::uint32_t bank0 = GPIO_BANK_PHYS[0];
    const std::uint32_t bit17 = 1u << PIN_BUS_GUARD;
    poke32(bank0 + GPIO_FUNC, 0xffffffff);
    poke32(bank0 + GPIO_MASK, 0);
    poke32(bank0 + GPIO_DIR, 0xffffffff);
    check(i2c_bus_disturbed() == 1, "i2c_bus_disturbed sees function select of pin 17");
    i2c_claim_bus();
    check(peek32(bank0 + GPIO_FUNC) == ~bit17, "i2c_claim_bus clears only pin 17's function select");
    check(peek32(bank0 + GPIO_MASK) == bit17, "i2c_claim_bus sets pin 17's mask bit");
    check(peek32(bank0 + GPIO_DIR) == ~bit17, "i2c_claim_bus makes pin 17 an input");
    check(i2c_bus_disturbed() == 0, "i2c_bus_disturbed after claiming the bus");
}

}  // namespace

int main() {
    // The check build must refuse to map anything until told which file to use.
    check(platform::open_phys_mem() < 0, "open_phys_mem without TARVEX_PHYS_MEM opens nothing");

    const char* tmp = std::getenv("TMPDIR");
    ScratchFile scratch{std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tarvex-physmem-XXXXXX"};
    mem_fd = mkstemp(scratch.path.data());
    if (mem_fd < 0) {
        scratch.path.clear();
        std::puts("FAIL: cannot create the stand-in file");
        return 1;
    }
    // Sparse: reaches past the highest page any window or check uses.
    if (ftruncate(mem_fd, off_t{0xffffffff} + 1) != 0) {
        std::puts("FAIL: cannot size the stand-in file to 4 GiB");
        return 1;
    }
    setenv("TARVEX_PHYS_MEM", scratch.path.c_str(), 1);

    check_map_phys();
    check(hw_map() == 0, "hw_map");
    check(hw_mapped(), "hw_mapped after hw_map");
    if (hw_mapped()) {
        check_counter();
        check_camera_bytes();
        check_gpio_banks();
    }

    std::printf("hw_map check, revision-%u build: %s\n", static_cast<unsigned>(recorder_variant.hw_revision),
                failures == 0 ? "all checks passed" : "FAILED");
    return failures == 0 ? 0 : 1;
}
