#include "signals.h"

#include <cstdint>

#include "clock.h"
#include "gpio.h"
#include "platform.h"

namespace tarvex {

namespace {

constexpr std::uint32_t MS = 1000;  // microseconds

void status(int level) { gpio_set(PIN_STATUS, level); }

// 150 ms in 25 ms steps, keeping the time base current between them.
void ack_half_period() {
    for (int i = 0; i < 6; ++i) {
        clock_sync();
        platform::sleep_us(25 * MS);
    }
    clock_sync();
}

}  // namespace

void signal_ack() {
    for (int i = 0; i < 3; ++i) {
        status(1);
        ack_half_period();
        status(0);
        ack_half_period();
    }
}

void signal_error() {
    for (int i = 0; i < 10; ++i) {
        status(1);
        platform::sleep_us(50 * MS);
        status(0);
        platform::sleep_us(50 * MS);
    }
}

void signal_accel_warning() {
    for (int i = 0; i < 7; ++i) {
        status(0);
        platform::sleep_us(500 * MS);
        status(1);
        platform::sleep_us(100 * MS);
    }
}

}  // namespace tarvex
