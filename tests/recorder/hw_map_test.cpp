#include <gtest/gtest.h>

#include <array>
#include <string>

#include "camera_state.h"
#include "counter.h"
#include "gpio.h"
#include "hw_map.h"
#include "i2c_bus.h"
#include "reg_access.h"
#include "sim_fixture.h"

namespace tarvex {
namespace {

TEST(HwMapTest, MapsEveryWindowAndReportsEachBank) {
    test::SimCamera cam;
    std::string out;
    ASSERT_EQ(cam.map(&out), 0);
    EXPECT_TRUE(hw_mapped());
    // The same addresses on every run: the simulator's windows are fixed.
    EXPECT_EQ(out,
              "ioremapped 70009000 at 5a002000\n"
              "ioremapped 7000a000 at 5a003000\n"
              "ioremapped 7000e000 at 5a004000\n"
              "ioremapped 70010000 at 5a005000\n"
              "ioremapped 70011000 at 5a006000\n");
}

TEST(HwMapTest, NoPhysicalMemory) {
    test::SimCamera cam("dev-mem absent\n");
    std::string out;
    EXPECT_EQ(cam.map(&out), -1);
    EXPECT_EQ(out, "Can't open /dev/mem\n");
    EXPECT_FALSE(hw_mapped());
}

// Any of the eight windows failing ends the mapping at once; afterwards the
// hardware layer touches no register at all.
TEST(HwMapTest, AFailedWindowLeavesNothingTouchable) {
    struct Case {
        const char* addr;
        const char* out;
    };
    const std::array<Case, 8> cases{{
        {"0x7000d000", "Could not ioremap 7000d000\n"},
        {"0xc0ab727a", "Could not ioremap c0ab727a\n"},  // state and flag share this page
        {"0x70009000", "Could not ioremap 70009000\n"},
        {"0x7000a000", "ioremapped 70009000 at 5a002000\nCould not ioremap 7000a000\n"},
        {"0x7000e000",
         "ioremapped 70009000 at 5a002000\nioremapped 7000a000 at 5a003000\nCould not ioremap 7000e000\n"},
        {"0x70010000",
         "ioremapped 70009000 at 5a002000\nioremapped 7000a000 at 5a003000\nioremapped 7000e000 at "
         "5a004000\nCould not ioremap 70010000\n"},
        {"0x70011000",
         "ioremapped 70009000 at 5a002000\nioremapped 7000a000 at 5a003000\nioremapped 7000e000 at "
         "5a004000\nioremapped 70010000 at 5a005000\nCould not ioremap 70011000\n"},
        {"0x70011fff",
         "ioremapped 70009000 at 5a002000\nioremapped 7000a000 at 5a003000\nioremapped 7000e000 at "
         "5a004000\nioremapped 70010000 at 5a005000\nCould not ioremap 70011000\n"},
    }};
    for (const Case& c : cases) {
        test::SimCamera cam(std::string("map-fail ") + c.addr + "\nrecord 0 10\n");
        std::string out;
        EXPECT_EQ(cam.map(&out), -1) << c.addr;
        EXPECT_EQ(out, c.out) << c.addr;
        EXPECT_FALSE(hw_mapped());

        cam.world().set_register_log(true);
        gpio_set(PIN_STATUS, 1);
        EXPECT_EQ(gpio_get(PIN_ACCESSORY), 0);
        EXPECT_EQ(camera_recording(0), 0);
        EXPECT_EQ(camera_idle(), 0);
        hw_ticks();
        i2c_claim_bus();
        std::uint8_t b = 0;
        i2c_read(I2C_BARO, 0xAA, 1, &b);
        EXPECT_EQ(i2c_bus_disturbed(), 0);
        EXPECT_TRUE(cam.world().register_log().empty()) << c.addr;
        EXPECT_EQ(cam.world().status_log().size(), 0u);
    }
}

TEST(HwMapTest, CameraBytesAreMappedSeparatelyEachAtItsOwnByte) {
    // Revision 3: both bytes share a page yet each pointer reads its own byte.
    test::SimCamera cam("record 0 10\n");
    ASSERT_EQ(cam.map(), 0);
    cam.world().set_register_log(true);
    EXPECT_EQ(camera_recording(0), 1);
    const auto& log = cam.world().register_log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].phys, 0xc0ab727au);
    EXPECT_EQ(log[1].phys, 0xc0ab765au);
}

TEST(GpioTest, SetChangesOnlyItsBitAndGetReadsTheLevel) {
    test::SimCamera cam("button 1 2\nend 5\n");
    ASSERT_EQ(cam.map(), 0);
    gpio_set(PIN_STATUS, 1);
    EXPECT_EQ(cam.world().status_level(), 1);
    EXPECT_EQ(gpio_get(PIN_STATUS), 1);
    gpio_set(PIN_STATUS, 0);
    EXPECT_EQ(cam.world().status_level(), 0);
    ASSERT_EQ(cam.world().status_log().size(), 2u);
    EXPECT_EQ(cam.world().status_log()[0].level, 1);
    EXPECT_EQ(cam.world().status_log()[1].level, 0);

    EXPECT_EQ(gpio_get(PIN_CAL_REQUEST), 1);
    EXPECT_EQ(gpio_get(PIN_ACCESSORY), 1);
    cam.wait_us(1500000);
    EXPECT_EQ(gpio_get(PIN_CAL_REQUEST), 0) << "button held";
    cam.wait_us(4000000);
    EXPECT_EQ(gpio_get(PIN_CAL_REQUEST), 1);
    EXPECT_EQ(gpio_get(PIN_ACCESSORY), 0) << "unplugged at the scenario's end";
}

}  // namespace
}  // namespace tarvex
