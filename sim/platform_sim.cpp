// The recorder's platform seam on a PC: every call goes to the installed
// SimWorld, the simulated camera.
#include "platform_sim.h"

#include <cstdio>
#include <cstdlib>

#include "camera_fs.h"
#include "platform.h"
#include "reg_access.h"

namespace tarvex::sim {

namespace {

SimWorld* current = nullptr;

SimWorld& world() {
    if (current == nullptr) {
        std::fputs("sim: the recorder reached the platform with no simulated camera installed\n", stderr);
        std::abort();
    }
    return *current;
}

}  // namespace

WorldInstallation::WorldInstallation(SimWorld& world) : previous_(current) { current = &world; }
WorldInstallation::~WorldInstallation() { current = previous_; }

}  // namespace tarvex::sim

namespace tarvex {

std::uint32_t reg_read32(const volatile std::uint32_t* p) { return sim::world().read32(p); }
void reg_write32(volatile std::uint32_t* p, std::uint32_t v) { sim::world().write32(p, v); }
std::uint8_t reg_read8(const volatile std::uint8_t* p) { return sim::world().read8(p); }

}  // namespace tarvex

namespace tarvex::platform {

int open_phys_mem() { return sim::world().open_phys_mem(); }
void* map_page(int fd, std::uint32_t page_phys, std::size_t length) {
    return sim::world().map_page(fd, page_phys, length);
}
void time_of_day(std::uint32_t& seconds, std::uint32_t& microseconds) {
    sim::world().time_of_day(seconds, microseconds);
}
void sleep_us(std::uint32_t microseconds) { sim::world().sleep_us(microseconds); }
void bus_delay() { sim::world().bus_delay(); }
int run_shell(const char* command) { return sim::world().run_shell(command); }
std::string camera_path(const char* path) { return sim::camera_path_under(sim::world().root(), path); }

}  // namespace tarvex::platform
