#include <gtest/gtest.h>

#include <cstdlib>

#include "clock.h"
#include "sim_fixture.h"

namespace tarvex {
namespace {

// A camera whose time base starts `start_us` after power-on.
struct ClockCamera {
    explicit ClockCamera(const std::string& scenario, std::uint64_t start_us = 0) : cam(scenario) {
        EXPECT_EQ(cam.map(), 0);
        clock_state = ClockState{};
        cam.wait_us(start_us);
        clock_init();
    }
    // Like the recorder: clock_sync every `step_us` while time passes.
    void run_syncing(std::uint64_t us, std::uint64_t step_us = 10000) {
        for (std::uint64_t done = 0; done < us; done += step_us) {
            clock_sync();
            cam.wait_us(step_us);
        }
    }
    test::SimCamera cam;
};

TEST(ClockTest, InitTakesSystemSecondsAndCounter) {
    ClockCamera c("ticks 777\ntick-phase 0.5\n", 1700000);
    EXPECT_EQ(clock_state.base_seconds, 777u + 1u);  // the system clock starts at the counter's value
    EXPECT_EQ(clock_state.start_ticks, 779u);        // steps at 0.5 s and 1.5 s
    EXPECT_EQ(wall_ms(), 700u);
    c.cam.wait_us(1234567);
    EXPECT_EQ(wall_ms(), 1934u);
}

// Whole seconds from the counter, the rest from the system clock since the
// counter was seen to change: across steps the clock grows by the time that
// passed, within the time between two syncs.
TEST(ClockTest, GrowsByElapsedTimeAcrossCounterSteps) {
    for (const char* phase : {"0.05", "0.4", "0.999"}) {
        ClockCamera c(std::string("ticks 1000\ntick-phase ") + phase + "\n", 100);
        c.run_syncing(1100000);  // the first step has been seen
        std::uint32_t prev = clock_ms();
        std::uint64_t prev_us = c.cam.world().now_us();
        for (int i = 0; i < 40; ++i) {
            c.run_syncing(130000);
            const std::uint32_t now = clock_ms();
            const std::uint64_t now_us = c.cam.world().now_us();
            const auto elapsed_ms = static_cast<std::int64_t>((now_us - prev_us) / 1000);
            EXPECT_LE(std::llabs(static_cast<std::int64_t>(now - prev) - elapsed_ms), 11)
                << "phase " << phase << " step " << i;
            prev = now;
            prev_us = now_us;
        }
    }
}

TEST(ClockTest, SyncNotesTheWallTimeOfEachCounterChange) {
    ClockCamera c("ticks 50\ntick-phase 0.3\n");
    clock_sync();
    EXPECT_EQ(clock_state.last_ticks, 50u) << "the first sync always counts as a change";
    c.cam.wait_us(500000);
    clock_sync();
    EXPECT_EQ(clock_state.last_ticks, 51u);
    EXPECT_EQ(clock_state.tick_ms, 500u);
    c.cam.wait_us(100000);
    clock_sync();
    EXPECT_EQ(clock_state.tick_ms, 500u) << "no change, nothing noted";
    // 1 s of whole counter steps since init, 100 ms since the change was noted.
    EXPECT_EQ(clock_ms(), 1100u);
}

TEST(ClockTest, BeforeAnyChangeIsSeenSubSecondCountsFromBaseSecond) {
    // A counter at 0 equals the initial last_ticks: no sync sees a change.
    ClockCamera c("ticks 0\n", 300000);
    c.cam.wait_us(200000);
    EXPECT_EQ(clock_ms(), 500u);
    EXPECT_EQ(clock_state.tick_ms, 0u);
}

TEST(ClockTest, CounterWrapKeepsTheClockGoing) {
    ClockCamera c("ticks 0xfffffffe\ntick-phase 0.5\n");
    std::uint32_t before = 0, after = 0;
    test::capture_stdout([&] {
        c.run_syncing(600000);
        before = clock_ms();
        c.run_syncing(2000000);  // across 0xffffffff -> 0
        after = clock_ms();
    });
    EXPECT_NEAR(static_cast<double>(after - before), 2000.0, 11.0);
}

}  // namespace
}  // namespace tarvex
