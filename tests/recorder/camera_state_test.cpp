#include <gtest/gtest.h>

#include <array>

#include "camera_state.h"
#include "sim_fixture.h"

namespace tarvex {
namespace {

constexpr std::uint32_t BANK1_DATA = 0x7000a000;

bool read_pin_45(const std::vector<sim::RegAccess>& log) {
    for (const auto& a : log) {
        if (a.phys == BANK1_DATA && !a.write) return true;
    }
    return false;
}

// The trigger input is consulted only when the camera bytes already say
// "recording"; otherwise the answer is 0 with either flag, whatever pin 45 is.
TEST(CameraStateTest, RecordingNeedsStateZeroFlagBitAndWithTheFlagPin45) {
    struct Case {
        std::uint8_t state, flag;
        bool pin45;
        int without_trigger, with_trigger;
        bool reads_pin45;
    };
    const std::array<Case, 8> cases{{
        {0, 0x01, true, 1, 1, true},
        {0, 0x01, false, 1, 0, true},
        {0, 0xFF, true, 1, 1, true},
        {0, 0x00, true, 0, 0, false},
        {0, 0xFE, true, 0, 0, false},
        {8, 0x01, true, 0, 0, false},
        {1, 0x01, true, 0, 0, false},
        {8, 0x00, true, 0, 0, false},
    }};
    test::SimCamera cam;
    ASSERT_EQ(cam.map(), 0);
    for (const Case& c : cases) {
        cam.world().override_camera(sim::CameraBytes{c.state, c.flag, c.pin45});
        SCOPED_TRACE(testing::Message() << "state " << int(c.state) << " flag " << int(c.flag) << " pin45 " << c.pin45);
        cam.world().set_register_log(true);
        cam.world().clear_register_log();
        EXPECT_EQ(camera_recording(0), c.without_trigger);
        EXPECT_FALSE(read_pin_45(cam.world().register_log())) << "flag 0 never reads pin 45";
        cam.world().clear_register_log();
        EXPECT_EQ(camera_recording(1), c.with_trigger);
        EXPECT_EQ(read_pin_45(cam.world().register_log()), c.reads_pin45);
    }
}

TEST(CameraStateTest, IdleIsTheVariantsIdleValueOnly) {
    test::SimCamera cam;
    ASSERT_EQ(cam.map(), 0);
    const std::array<std::pair<std::uint8_t, int>, 4> cases{{{8, 1}, {7, 0}, {0, 0}, {0x88, 0}}};
    for (const auto& [state, idle] : cases) {
        cam.world().override_camera(sim::CameraBytes{state, 0, false});
        EXPECT_EQ(camera_idle(), idle) << int(state);
    }
}

// The scenario drives the camera bytes of its firmware: this build serves
// revision 3, so a camera running another firmware never looks recording
// or idle to it.
TEST(CameraStateTest, ScenarioRecordingSeenOnlyWithTheMatchingFirmware) {
    const char* text = "record 1 2\nbusy 3 4\n";
    test::SimCamera rev3(text, sim::Firmware::Rev3);
    ASSERT_EQ(rev3.map(), 0);
    EXPECT_EQ(camera_idle(), 1);
    EXPECT_EQ(camera_recording(1), 0);
    rev3.wait_us(1000000);
    EXPECT_EQ(camera_recording(1), 1);
    EXPECT_EQ(camera_idle(), 0);
    rev3.wait_us(2500000);
    EXPECT_EQ(camera_recording(1), 0);
    EXPECT_EQ(camera_idle(), 0) << "busy: neither idle nor recording";
    rev3.wait_us(1000000);
    EXPECT_EQ(camera_idle(), 1);

    for (sim::Firmware other : {sim::Firmware::Rev4, sim::Firmware::Rev1}) {
        test::SimCamera cam(text, other);
        ASSERT_EQ(cam.map(), 0);
        cam.wait_us(1500000);
        EXPECT_EQ(camera_recording(0), 0);
        EXPECT_EQ(camera_idle(), 0);
    }
}

}  // namespace
}  // namespace tarvex
