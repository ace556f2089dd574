#include <gtest/gtest.h>

#include "counter.h"
#include "sim_fixture.h"

namespace tarvex {
namespace {

std::uint32_t ticks_printing(std::string& out) {
    std::uint32_t t = 0;
    out = test::capture_stdout([&] { t = hw_ticks(); });
    return t;
}

TEST(CounterTest, AdvancesOncePerSecondAndStandingStillIsNotReported) {
    test::SimCamera cam("ticks 5000\ntick-phase 0.25\n");
    ASSERT_EQ(cam.map(), 0);
    std::string out;
    EXPECT_EQ(ticks_printing(out), 5000u);
    EXPECT_EQ(ticks_printing(out), 5000u);
    EXPECT_EQ(out, "");
    cam.wait_us(250000);
    EXPECT_EQ(ticks_printing(out), 5001u);
    cam.wait_us(999000);
    EXPECT_EQ(ticks_printing(out), 5001u);
    cam.wait_us(1000);
    EXPECT_EQ(ticks_printing(out), 5002u);
    EXPECT_EQ(out, "");
}

TEST(CounterTest, LowerReadingIsReportedAndReadAgain) {
    test::SimCamera cam("ticks 100\nglitch 3.5\n");
    ASSERT_EQ(cam.map(), 0);
    std::string out;
    cam.wait_us(3400000);
    EXPECT_EQ(ticks_printing(out), 103u);
    cam.wait_us(200000);
    EXPECT_EQ(ticks_printing(out), 103u) << "the second read is taken";
    EXPECT_EQ(out, "WTF?! 102 103\n");
    EXPECT_EQ(ticks_printing(out), 103u);
    EXPECT_EQ(out, "") << "the glitch happens once";
}

TEST(CounterTest, WrapToZeroIsReportedLikeAnyLowerValue) {
    test::SimCamera cam("ticks 0xffffffff\n");
    ASSERT_EQ(cam.map(), 0);
    std::string out;
    EXPECT_EQ(ticks_printing(out), 0xffffffffu);
    cam.wait_us(1000000);
    EXPECT_EQ(ticks_printing(out), 0u);
    EXPECT_EQ(out, "WTF?! 0 -1\n");
}

}  // namespace
}  // namespace tarvex
