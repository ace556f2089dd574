// The simulated camera around the recorder: its physical memory (seconds
// counter, five GPIO banks, the firmware's two state bytes), the pins the
// camera and the user drive, the accessory's I2C bus with its devices, and
// the virtual clock everything runs on. The platform seam (platform_sim.h)
// forwards every recorder call to the installed world.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "camera_memory_map.h"
#include "i2c_bus_model.h"
#include "i2c_slave.h"
#include "scenario.h"
#include "status_signals.h"

namespace tarvex::sim {

// Virtual cost of the recorder's platform calls, nanoseconds.
inline constexpr std::uint64_t REGISTER_ACCESS_NS = 50;  // an uncached load or store
inline constexpr std::uint64_t TIME_OF_DAY_NS = 1000;    // a system call
inline constexpr std::uint64_t BUS_DELAY_NS = 5000;      // one I2C bit delay

struct StatusChange {
    std::uint64_t time_us = 0;
    int level = 0;
};

struct RegAccess {
    std::uint32_t phys = 0;  // physical address accessed
    bool write = false;
    std::uint32_t value = 0;  // value written, or value read
};

// Test hook: fixed camera bytes and recording-start pin instead of the scenario's.
struct CameraBytes {
    std::uint8_t state = 0;
    std::uint8_t flag = 0;
    bool rec_start_pin = false;
};

class SimWorld final : public SimTime {
public:
    // root: folder standing for the camera's file system; build_firmware:
    // the camera played unless the scenario names one.
    SimWorld(const Scenario& scenario, std::string root, Firmware build_firmware);
    SimWorld(const SimWorld&) = delete;
    SimWorld& operator=(const SimWorld&) = delete;

    const Scenario& scenario() const { return scenario_; }
    const FirmwareInfo& firmware() const { return firmware_; }
    const std::string& root() const { return root_; }

    // Virtual time.
    std::uint64_t now_us() const override { return now_ns_ / 1000; }
    std::uint64_t now_ns() const { return now_ns_; }
    void advance_ns(std::uint64_t ns) {
        now_ns_ += ns;
        if (now_ns_ >= deadline_ns_) fire_deadline();
    }
    // Calls on_deadline once when virtual time reaches `time_us`.
    void set_deadline(std::uint64_t time_us, std::function<void()> on_deadline);

    // Devices on the accessory bus.
    I2cBusModel& bus() { return bus_; }
    void attach(std::unique_ptr<I2cSlave> device) { bus_.attach(std::move(device)); }

    // The platform seam.
    int open_phys_mem();
    void* map_page(int fd, std::uint32_t page_phys, std::size_t length);
    std::uint32_t read32(const volatile std::uint32_t* p);
    void write32(volatile std::uint32_t* p, std::uint32_t value);
    std::uint8_t read8(const volatile std::uint8_t* p);
    void time_of_day(std::uint32_t& seconds, std::uint32_t& microseconds);
    void sleep_us(std::uint32_t microseconds) { advance_ns(std::uint64_t{microseconds} * 1000); }
    void bus_delay() {
        bus_.note(BusEvent::Delay);
        advance_ns(BUS_DELAY_NS);
    }
    // Runs a recorder shell command in the camera's file system (camera_fs.h)
    // and charges it to virtual time as the scenario's hook-time says.
    int run_shell(const char* command);

    // Observation.
    const std::vector<StatusChange>& status_log() const { return status_log_; }
    // Echoes each status change, and each signal pattern recognised, as
    // "sim: SECONDS status LEVEL" and "sim: SECONDS signal NAME" lines.
    void set_status_echo(std::FILE* out) { status_echo_ = out; }  // nullptr: quiet
    void set_register_log(bool on) { register_logging_ = on; }
    const std::vector<RegAccess>& register_log() const { return register_log_; }
    void clear_register_log() { register_log_.clear(); }
    std::uint32_t gpio_register(unsigned bank, std::uint32_t offset) const;  // as stored
    std::uint32_t counter_now() const;                                       // the counter without glitches
    int status_level() const;

    // Test hook: camera bytes fixed by the test (nullopt: back to the scenario).
    void override_camera(std::optional<CameraBytes> bytes);

private:
    enum class PageKind : std::uint8_t { Counter, Gpio, Camera, Other };
    struct Page {
        std::uint32_t phys = 0;
        PageKind kind = PageKind::Other;
        std::uint8_t bank = 0;
    };
    struct Bank {
        std::uint32_t latch = 0;  // output data bits
        std::uint32_t dir = 0;    // 1: output
        std::uint32_t func = 0;   // 1: pin under its hardware function
        std::uint32_t mask = 0;
    };
    // The inputs that follow the scenario, valid until `until_ns`.
    struct Inputs {
        std::uint8_t state = 0;
        std::uint8_t flag = 0;
        bool rec_start = false;
        bool cal_request = true;  // pin 140: 0 while the button is held
        bool accessory = true;    // pin 142
        bool disturbed = false;   // camera holds pin 17
        std::uint64_t until_ns = 0;
    };

    const Page& page_of(const volatile void* p, std::uint32_t& offset) const;
    std::uint32_t phys_of(const Page& page, std::uint32_t offset) const { return page.phys + offset; }
    void refresh_inputs() {
        if (now_ns_ >= inputs_.until_ns) recompute_inputs();
    }
    void recompute_inputs();
    std::uint8_t camera_byte(std::uint32_t phys);
    std::uint32_t read_counter();
    std::uint32_t read_gpio(unsigned bank, std::uint32_t offset);
    void write_gpio(unsigned bank, std::uint32_t offset, std::uint32_t value);
    void update_bus_bank();
    void log_access(std::uint32_t phys, bool write, std::uint32_t value) {
        if (register_logging_) register_log_.push_back({phys, write, value});
    }
    void fire_deadline();

    Scenario scenario_;
    std::string root_;
    std::uintptr_t arena_;  // where the mapped windows' addresses start
    FirmwareInfo firmware_;

    std::uint64_t now_ns_ = 0;
    std::uint64_t deadline_ns_ = UINT64_MAX;
    std::function<void()> on_deadline_;

    // Scenario times in nanoseconds.
    struct Span {
        std::uint64_t from = 0, to = 0;
    };
    static bool inside(const std::vector<Span>& spans, std::uint64_t t);  // [from, to)
    std::vector<Span> record_, busy_, button_, disturb_;
    std::optional<std::uint64_t> end_ns_;
    std::vector<std::uint64_t> change_times_;  // every time an input changes, sorted
    std::vector<std::uint64_t> glitches_;      // sorted
    std::size_t next_glitch_ = 0;
    std::uint64_t first_step_ns_ = 0;  // first counter step after power-on

    Inputs inputs_;
    std::optional<CameraBytes> camera_override_;

    std::array<Page, 16> pages_{};
    std::size_t page_count_ = 0;
    std::array<Bank, 5> banks_{};
    bool bus_sda_low_ = false;  // the master's drive as last handed to the bus
    bool bus_scl_low_ = false;
    bool last_was_bus_data_read_ = false;

    I2cBusModel bus_;

    std::vector<StatusChange> status_log_;
    int status_level_ = 0;
    std::FILE* status_echo_ = nullptr;
    StatusSignals status_signals_;  // names the patterns in the echo
    bool register_logging_ = false;
    std::vector<RegAccess> register_log_;
};

}  // namespace tarvex::sim
