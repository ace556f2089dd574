#include "sim_world.h"

#include <sys/mman.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>

#include "camera_fs.h"

namespace tarvex::sim {

namespace {

constexpr std::size_t MAX_PAGES = 16;
constexpr int SIM_MEM_FD = 1000;  // the descriptor open_phys_mem hands out
constexpr std::uint64_t NS_PER_S = 1000000000;

constexpr std::uint32_t bit(unsigned pin) { return std::uint32_t{1} << (pin % 32); }

[[noreturn]] void fatal(const char* what) {
    std::fprintf(stderr, "sim: %s\n", what);
    std::abort();
}

// Address space for the mapped windows, reserved once per process and never
// accessible: every register access goes through the world, so a stray
// direct load or store faults instead of silently working. The fixed hint
// keeps the addresses the recorder prints the same from run to run.
std::uintptr_t window_arena() {
    static const std::uintptr_t base = [] {
        void* hint = reinterpret_cast<void*>(std::uintptr_t{0x5a000000});
        void* p = mmap(hint, MAX_PAGES * SIM_PAGE_BYTES, PROT_NONE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (p == MAP_FAILED) fatal("cannot reserve address space for the register windows");
        return reinterpret_cast<std::uintptr_t>(p);
    }();
    return base;
}

std::uint64_t to_ns(double seconds) {
    if (!(seconds > 0.0)) return 0;
    return static_cast<std::uint64_t>(std::llround(seconds * 1e9));
}

}  // namespace

bool SimWorld::inside(const std::vector<Span>& spans, std::uint64_t t) {
    for (const Span& s : spans) {
        if (t >= s.from && t < s.to) return true;
    }
    return false;
}

SimWorld::SimWorld(const Scenario& scenario, std::string root, Firmware build_firmware)
    : scenario_(scenario), root_(std::move(root)), arena_(window_arena()),
      firmware_(firmware_info(scenario.firmware.value_or(build_firmware))) {
    auto spans = [this](const std::vector<Interval>& in, std::vector<Span>& out) {
        for (const Interval& i : in) {
            out.push_back({to_ns(i.from), to_ns(i.to)});
            change_times_.push_back(out.back().from);
            change_times_.push_back(out.back().to);
        }
    };
    spans(scenario_.record, record_);
    spans(scenario_.busy, busy_);
    spans(scenario_.button, button_);
    spans(scenario_.disturb, disturb_);
    if (scenario_.end) {
        end_ns_ = to_ns(*scenario_.end);
        change_times_.push_back(*end_ns_);
    }
    std::sort(change_times_.begin(), change_times_.end());
    for (double g : scenario_.glitch) glitches_.push_back(to_ns(g));
    std::sort(glitches_.begin(), glitches_.end());
    first_step_ns_ = scenario_.tick_phase > 0.0 ? to_ns(scenario_.tick_phase) : NS_PER_S;

    // Set up by the camera before the recorder starts: the status output
    // (pin 38) drives low; pin 17 is under its hardware function; every
    // other pin, the bus lines included, is a released input. SCL's data
    // bit stays 0, which the recorder's bus relies on.
    banks_[SIM_PIN_STATUS / 32].dir |= bit(SIM_PIN_STATUS);
    banks_[SIM_PIN_GUARD / 32].func |= bit(SIM_PIN_GUARD);
    recompute_inputs();
}

void SimWorld::set_deadline(std::uint64_t time_us, std::function<void()> on_deadline) {
    deadline_ns_ = time_us * 1000;
    on_deadline_ = std::move(on_deadline);
    if (now_ns_ >= deadline_ns_) fire_deadline();
}

void SimWorld::fire_deadline() {
    deadline_ns_ = UINT64_MAX;
    if (on_deadline_) {
        auto f = std::move(on_deadline_);
        on_deadline_ = nullptr;
        f();
    }
}

int SimWorld::run_shell(const char* command) {
    const auto start = std::chrono::steady_clock::now();
    const int status = run_camera_shell(root_, command);
    if (is_card_flush(command)) return status;
    const HookTime& cost = scenario_.hook_time;
    if (cost.real) {
        const auto took = std::chrono::steady_clock::now() - start;
        advance_ns(static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(took).count()));
    } else {
        advance_ns(to_ns(cost.seconds));
    }
    return status;
}

int SimWorld::open_phys_mem() { return scenario_.phys_mem_unavailable ? -1 : SIM_MEM_FD; }

void* SimWorld::map_page(int fd, std::uint32_t page_phys, std::size_t length) {
    if (fd != SIM_MEM_FD || (page_phys % SIM_PAGE_BYTES) != 0 || length == 0 || length > SIM_PAGE_BYTES) {
        return nullptr;
    }
    for (std::uint32_t refused : scenario_.map_fail) {
        if ((refused & ~(SIM_PAGE_BYTES - 1)) == page_phys) return nullptr;
    }
    // Mapping a page twice gives the same window: both views alias, as two
    // mappings of one physical page do.
    std::size_t slot = 0;
    while (slot < page_count_ && pages_[slot].phys != page_phys) ++slot;
    if (slot == page_count_) {
        if (page_count_ == pages_.size()) return nullptr;
        Page page;
        page.phys = page_phys;
        if (page_phys == SIM_COUNTER_PAGE) page.kind = PageKind::Counter;
        for (std::uint8_t b = 0; b < SIM_GPIO_BANKS.size(); ++b) {
            if (page_phys == SIM_GPIO_BANKS[b]) {
                page.kind = PageKind::Gpio;
                page.bank = b;
            }
        }
        const std::uint32_t page_mask = ~(SIM_PAGE_BYTES - 1);
        if (page_phys == (firmware_.state_addr & page_mask) || page_phys == (firmware_.flag_addr & page_mask)) {
            page.kind = PageKind::Camera;
        }
        pages_[page_count_++] = page;
    }
    return reinterpret_cast<void*>(arena_ + slot * SIM_PAGE_BYTES);
}

const SimWorld::Page& SimWorld::page_of(const volatile void* p, std::uint32_t& offset) const {
    const std::uintptr_t rel = reinterpret_cast<std::uintptr_t>(p) - arena_;
    if (rel >= page_count_ * SIM_PAGE_BYTES) fatal("register access outside every mapped window");
    offset = static_cast<std::uint32_t>(rel % SIM_PAGE_BYTES);
    return pages_[rel / SIM_PAGE_BYTES];
}

std::uint32_t SimWorld::read32(const volatile std::uint32_t* p) {
    advance_ns(REGISTER_ACCESS_NS);
    std::uint32_t offset = 0;
    const Page& page = page_of(p, offset);
    last_was_bus_data_read_ = false;
    std::uint32_t v = 0;
    switch (page.kind) {
        case PageKind::Counter:
            if (offset == SIM_COUNTER_OFFSET) v = read_counter();
            break;
        case PageKind::Gpio:
            v = read_gpio(page.bank, offset);
            if (page.bank == SIM_PIN_SDA / 32 && offset == SIM_GPIO_DATA) {
                last_was_bus_data_read_ = true;
                if (bus_.tracing()) bus_.note(bus_.sda() ? BusEvent::Sample1 : BusEvent::Sample0);
            }
            break;
        case PageKind::Camera:
            for (std::uint32_t i = 0; i < 4; ++i) {
                v |= std::uint32_t{camera_byte(page.phys + offset + i)} << (8 * i);
            }
            break;
        case PageKind::Other: break;
    }
    log_access(phys_of(page, offset), false, v);
    return v;
}

void SimWorld::write32(volatile std::uint32_t* p, std::uint32_t value) {
    advance_ns(REGISTER_ACCESS_NS);
    std::uint32_t offset = 0;
    const Page& page = page_of(p, offset);
    const bool read_modify_write = last_was_bus_data_read_;
    last_was_bus_data_read_ = false;
    log_access(phys_of(page, offset), true, value);
    if (page.kind != PageKind::Gpio) return;  // the counter and the camera's bytes ignore writes
    if (read_modify_write && page.bank == SIM_PIN_SDA / 32 && offset == SIM_GPIO_DATA) {
        bus_.drop_last_sample();  // that read was no sample of SDA
    }
    write_gpio(page.bank, offset, value);
}

std::uint8_t SimWorld::read8(const volatile std::uint8_t* p) {
    advance_ns(REGISTER_ACCESS_NS);
    std::uint32_t offset = 0;
    const Page& page = page_of(p, offset);
    last_was_bus_data_read_ = false;
    const std::uint8_t v = page.kind == PageKind::Camera ? camera_byte(page.phys + offset) : 0;
    log_access(phys_of(page, offset), false, v);
    return v;
}

void SimWorld::time_of_day(std::uint32_t& seconds, std::uint32_t& microseconds) {
    advance_ns(TIME_OF_DAY_NS);
    // The system clock's seconds match the counter's start value at power-on.
    seconds = static_cast<std::uint32_t>(scenario_.ticks0 + now_ns_ / NS_PER_S);
    microseconds = static_cast<std::uint32_t>((now_ns_ % NS_PER_S) / 1000);
}

std::uint32_t SimWorld::counter_now() const {
    if (now_ns_ < first_step_ns_) return scenario_.ticks0;
    const std::uint64_t steps = 1 + (now_ns_ - first_step_ns_) / NS_PER_S;
    return static_cast<std::uint32_t>(scenario_.ticks0 + steps);  // wraps like the hardware
}

std::uint32_t SimWorld::read_counter() {
    std::uint32_t v = counter_now();
    if (next_glitch_ < glitches_.size() && now_ns_ >= glitches_[next_glitch_]) {
        while (next_glitch_ < glitches_.size() && now_ns_ >= glitches_[next_glitch_]) ++next_glitch_;
        v -= 1;
    }
    return v;
}

void SimWorld::recompute_inputs() {
    const std::uint64_t t = now_ns_;
    if (inside(record_, t)) {
        inputs_.state = 0;
        inputs_.flag = 1;
        inputs_.rec_start = true;
    } else {
        inputs_.state = inside(busy_, t) ? scenario_.busy_state : firmware_.idle_value;
        inputs_.flag = 0;
        inputs_.rec_start = false;
    }
    inputs_.cal_request = !inside(button_, t);
    inputs_.accessory = !scenario_.accessory_absent && !(end_ns_ && t >= *end_ns_);
    inputs_.disturbed = inside(disturb_, t);
    const auto next = std::upper_bound(change_times_.begin(), change_times_.end(), t);
    inputs_.until_ns = next == change_times_.end() ? UINT64_MAX : *next;
}

void SimWorld::override_camera(std::optional<CameraBytes> bytes) { camera_override_ = bytes; }

std::uint8_t SimWorld::camera_byte(std::uint32_t phys) {
    refresh_inputs();
    const bool is_state = phys == firmware_.state_addr;
    const bool is_flag = phys == firmware_.flag_addr;
    if (camera_override_) {
        return is_state ? camera_override_->state : is_flag ? camera_override_->flag : 0;
    }
    return is_state ? inputs_.state : is_flag ? inputs_.flag : 0;
}

std::uint32_t SimWorld::read_gpio(unsigned bank, std::uint32_t offset) {
    Bank& b = banks_[bank];
    switch (offset) {
        case SIM_GPIO_DATA: {
            // Output pins read their data bit, inputs the level outside.
            std::uint32_t outside = 0;
            if (bank == SIM_PIN_SDA / 32) {
                refresh_inputs();
                const bool rec_start = camera_override_ ? camera_override_->rec_start_pin : inputs_.rec_start;
                outside = (bus_.sda() ? bit(SIM_PIN_SDA) : 0) | (bus_.scl() ? bit(SIM_PIN_SCL) : 0) |
                          (rec_start ? bit(SIM_PIN_REC_START) : 0);
            } else if (bank == SIM_PIN_ACCESSORY / 32) {
                refresh_inputs();
                outside = (inputs_.cal_request ? bit(SIM_PIN_CAL_REQUEST) : 0) |
                          (inputs_.accessory ? bit(SIM_PIN_ACCESSORY) : 0);
            }
            return (b.latch & b.dir) | (outside & ~b.dir);
        }
        case SIM_GPIO_DIR: return b.dir;
        case SIM_GPIO_FUNC:
            if (bank == SIM_PIN_GUARD / 32) {
                refresh_inputs();
                if (inputs_.disturbed) b.func |= bit(SIM_PIN_GUARD);  // the camera takes it back
            }
            return b.func;
        case SIM_GPIO_MASK: return b.mask;
        default: return 0;
    }
}

void SimWorld::write_gpio(unsigned bank, std::uint32_t offset, std::uint32_t value) {
    Bank& b = banks_[bank];
    switch (offset) {
        case SIM_GPIO_DATA:
            // An input's data bit ignores writes: the recorder's read-modify-
            // write would otherwise latch a released line's high level.
            b.latch = (b.latch & ~b.dir) | (value & b.dir);
            break;
        case SIM_GPIO_DIR: b.dir = value; break;
        case SIM_GPIO_FUNC:
            b.func = value;
            if (bank == SIM_PIN_GUARD / 32) {
                refresh_inputs();
                if (inputs_.disturbed) b.func |= bit(SIM_PIN_GUARD);
            }
            break;
        case SIM_GPIO_MASK: b.mask = value; break;
        default: return;
    }
    if (bank == SIM_PIN_SDA / 32) update_bus_bank();
}

void SimWorld::update_bus_bank() {
    const Bank& b = banks_[SIM_PIN_SDA / 32];
    // A pin pulls its line low when it is a GPIO output with a 0 data bit.
    const std::uint32_t pulls_low = b.dir & ~b.func & ~b.latch;
    const bool sda_low = (pulls_low & bit(SIM_PIN_SDA)) != 0;
    const bool scl_low = (pulls_low & bit(SIM_PIN_SCL)) != 0;
    if (sda_low != bus_sda_low_ || scl_low != bus_scl_low_) {
        bus_sda_low_ = sda_low;
        bus_scl_low_ = scl_low;
        bus_.set_master(sda_low, scl_low);
    }
    const int level = status_level();
    if (level != status_level_) {
        status_level_ = level;
        status_log_.push_back({now_us(), level});
        const char* signal = status_signals_.change(now_us(), level);
        if (status_echo_ != nullptr) {
            const auto seconds = static_cast<unsigned long long>(now_us() / 1000000);
            const auto micros = static_cast<unsigned long long>(now_us() % 1000000);
            std::fprintf(status_echo_, "sim: %llu.%06llu status %d\n", seconds, micros, level);
            if (signal != nullptr) std::fprintf(status_echo_, "sim: %llu.%06llu signal %s\n", seconds, micros, signal);
        }
    }
}

int SimWorld::status_level() const {
    const Bank& b = banks_[SIM_PIN_STATUS / 32];
    return (b.dir & b.latch & bit(SIM_PIN_STATUS)) != 0 ? 1 : 0;
}

std::uint32_t SimWorld::gpio_register(unsigned bank, std::uint32_t offset) const {
    const Bank& b = banks_[bank];
    switch (offset) {
        case SIM_GPIO_DATA: return b.latch;
        case SIM_GPIO_DIR: return b.dir;
        case SIM_GPIO_FUNC: return b.func;
        case SIM_GPIO_MASK: return b.mask;
        default: return 0;
    }
}

}  // namespace tarvex::sim
