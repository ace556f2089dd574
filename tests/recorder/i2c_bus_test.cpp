#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <memory>

#include "gpio.h"
#include "i2c_bus.h"
#include "register_file_device.h"
#include "sim_fixture.h"

namespace tarvex {
namespace {

using test::count_delays;
using test::decode_frames;
using test::render_trace;

class I2cBusTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(cam.map(), 0); }

    // Runs `step` with the bus traced; returns the master's activity.
    std::string traced(const std::function<void()>& step) {
        cam.world().bus().clear_trace();
        cam.world().bus().set_tracing(true);
        step();
        cam.world().bus().set_tracing(false);
        return render_trace(cam.world().bus().trace());
    }

    sim::RegisterFileDevice& add_register_file(std::uint8_t address, unsigned address_bytes) {
        auto dev = std::make_unique<sim::RegisterFileDevice>(address, address_bytes, 65536);
        sim::RegisterFileDevice& ref = *dev;
        cam.world().attach(std::move(dev));
        return ref;
    }

    test::SimCamera cam;
};

// Each condition from a state in which every one of its steps changes a
// line, so the trace shows all of them.
TEST_F(I2cBusTest, StartReleasesBothLinesThenPullsSdaBeforeScl) {
    i2c_start();
    i2c_write_byte(0x00);  // leaves SDA and SCL low
    EXPECT_EQ(traced(i2c_start), "D SDA1 D SCL1 D SDA0 D SCL0 D");
    // From an idle bus only the two falling edges show.
    i2c_stop();
    EXPECT_EQ(traced(i2c_start), "D D D SDA0 D SCL0 D");
}

TEST_F(I2cBusTest, StopPullsSdaThenReleasesSclThenSda) {
    i2c_start();
    i2c_write_byte(0xFF);  // leaves SDA released, SCL low
    EXPECT_EQ(traced(i2c_stop), "SDA0 D SCL1 D SDA1 D");
    EXPECT_EQ(cam.world().bus().stops(), 1u);
}

TEST_F(I2cBusTest, WriteByteClocksEightBitsMsbFirstAndANinthClock) {
    i2c_start();  // SDA and SCL low
    const std::string t = traced([] { i2c_write_byte(0xA5); });
    EXPECT_EQ(t,
              "D SDA1 D SCL1 D SCL0 "  // 1
              "D SDA0 D SCL1 D SCL0 "  // 0
              "D SDA1 D SCL1 D SCL0 "  // 1
              "D SDA0 D SCL1 D SCL0 "  // 0
              "D D SCL1 D SCL0 "       // 0: SDA stays low
              "D SDA1 D SCL1 D SCL0 "  // 1
              "D SDA0 D SCL1 D SCL0 "  // 0
              "D SDA1 D SCL1 D SCL0 "  // 1
              "D SCL1 D s1 SCL0 D");   // ninth clock: nobody acknowledges
}

TEST_F(I2cBusTest, WriteByteSamplesTheDevicesAcknowledge) {
    add_register_file(0x50, 1);
    i2c_start();
    const std::string t = traced([] { i2c_write_byte(0x50); });
    // The last data bit (0) stays on SDA during the ninth clock; the device pulls it low too.
    EXPECT_EQ(t.substr(t.size() - std::string("D SCL1 D s0 SCL0 D").size()), "D SCL1 D s0 SCL0 D");
}

TEST_F(I2cBusTest, ReadByteSamplesEightBitsWhileSclIsHigh) {
    auto& dev = add_register_file(0x50, 1);
    dev.registers()[0x10] = 0x5A;
    i2c_start();
    i2c_write_byte(0x50);
    i2c_write_byte(0x10);
    i2c_start();
    i2c_write_byte(0x51);
    std::uint8_t got = 0;
    const std::string t = traced([&] { got = i2c_read_byte(); });
    EXPECT_EQ(got, 0x5A);
    EXPECT_EQ(t,
              "D SCL1 D s0 SCL0 D SCL1 D s1 SCL0 D SCL1 D s0 SCL0 D SCL1 D s1 SCL0 D "
              "SCL1 D s1 SCL0 D SCL1 D s0 SCL0 D SCL1 D s1 SCL0 D SCL1 D s0 SCL0 D");
}

TEST_F(I2cBusTest, AckPullsSdaForOneClockThenReleasesIt) {
    i2c_start();
    i2c_write_byte(0xFF);
    EXPECT_EQ(traced(i2c_ack), "SDA0 D SCL1 D SCL0 D SDA1 D");
}

TEST_F(I2cBusTest, NackLeavesSdaReleasedForOneClock) {
    i2c_start();
    i2c_write_byte(0x00);  // SDA low on entry, so the release shows
    EXPECT_EQ(traced(i2c_nack), "SDA1 D SCL1 D SCL0 D");
}

TEST_F(I2cBusTest, EachPrimitiveCostsItsNumberOfDelays) {
    struct Case {
        const char* name;
        std::function<void()> step;
        std::size_t delays;
    };
    const std::array<Case, 6> cases{{
        {"start", [] { i2c_start(); }, 5},
        {"write_byte", [] { i2c_write_byte(0x3C); }, 27},
        {"read_byte", [] { i2c_read_byte(); }, 17},
        {"ack", [] { i2c_ack(); }, 4},
        {"nack", [] { i2c_nack(); }, 3},
        {"stop", [] { i2c_stop(); }, 3},
    }};
    for (const Case& c : cases) {
        cam.world().bus().clear_trace();
        cam.world().bus().set_tracing(true);
        const std::uint64_t before = cam.world().now_ns();
        c.step();
        cam.world().bus().set_tracing(false);
        EXPECT_EQ(count_delays(cam.world().bus().trace()), c.delays) << c.name;
        // 5 us per delay, plus 50 ns per register access.
        EXPECT_GE(cam.world().now_ns() - before, c.delays * 5000) << c.name;
        EXPECT_LT(cam.world().now_ns() - before, c.delays * 5000 + 30000) << c.name;
    }
}

// Whole transactions as a logic analyser decodes them: S START, P STOP,
// XX:n a byte and the bit the master left on SDA in the ninth clock.
TEST_F(I2cBusTest, ReadTransactionsEndEveryByteButTheLastWithAck) {
    struct Case {
        std::size_t length;
        const char* frames;
    };
    const std::array<Case, 3> cases{{
        {0, "S EE:0 F6:0 S EF:1 b1 P"},    // no data byte, yet the NACK clock and STOP
        {1, "S EE:0 F6:0 S EF:1 FF:1 P"},  // the only byte is followed by NACK
        {3, "S EE:0 F6:0 S EF:1 FF:0 FF:0 FF:1 P"},
    }};
    for (const Case& c : cases) {
        std::array<std::uint8_t, 4> buf{0, 0, 0, 0};
        cam.world().bus().clear_trace();
        cam.world().bus().set_tracing(true);
        i2c_read(I2C_BARO, 0xF6, c.length, buf.data());
        cam.world().bus().set_tracing(false);
        EXPECT_EQ(decode_frames(cam.world().bus().trace()), c.frames) << "length " << c.length;
        for (std::size_t i = 0; i < c.length; ++i) EXPECT_EQ(buf[i], 0xFF) << "nobody answers: all ones";
        EXPECT_EQ(buf[c.length], 0) << "nothing past the length is written";
    }
}

TEST_F(I2cBusTest, WriteTransactionsSendAddressRegisterAndValue) {
    cam.world().bus().set_tracing(true);
    i2c_write(I2C_ACCEL, 0x2D, 0x08);
    EXPECT_EQ(decode_frames(cam.world().bus().trace()), "S 3A:0 2D:1 08:0 P");
    cam.world().bus().clear_trace();
    i2c_write_a16(I2C_EEPROM_MAIN, 0x010B, 0xC0);
    EXPECT_EQ(decode_frames(cam.world().bus().trace()), "S A0:0 01:1 0B:1 C0:0 P");
    cam.world().bus().clear_trace();
    std::uint8_t b[2];
    i2c_read_a16(I2C_EEPROM_MAIN, 0x0102, 2, b);
    EXPECT_EQ(decode_frames(cam.world().bus().trace()), "S A0:0 01:1 02:0 S A1:1 FF:0 FF:1 P");
}

// The same register file answering with one and with two address bytes.
TEST_F(I2cBusTest, RegisterWriteAndMultiByteReadAgainstARegisterFile) {
    struct Case {
        unsigned address_bytes;
        std::uint16_t reg;
        std::function<void(std::uint8_t, std::uint16_t, std::uint8_t)> write;
        std::function<void(std::uint8_t, std::uint16_t, std::size_t, std::uint8_t*)> read;
    };
    const std::array<Case, 2> cases{{
        {1, 0x42,
         [](std::uint8_t d, std::uint16_t r, std::uint8_t v) { i2c_write(d, static_cast<std::uint8_t>(r), v); },
         [](std::uint8_t d, std::uint16_t r, std::size_t n, std::uint8_t* b) {
             i2c_read(d, static_cast<std::uint8_t>(r), n, b);
         }},
        {2, 0x1F42, i2c_write_a16, i2c_read_a16},
    }};
    for (const Case& c : cases) {
        test::SimCamera fresh;
        ASSERT_EQ(fresh.map(), 0);
        auto dev = std::make_unique<sim::RegisterFileDevice>(0xA2, c.address_bytes, 65536);
        sim::RegisterFileDevice& regs = *dev;
        fresh.world().attach(std::move(dev));
        regs.registers()[c.reg + 1] = 0x80;  // a 1 in the top bit, then 0s
        regs.registers()[c.reg + 2] = 0x01;
        regs.registers()[c.reg + 3] = 0x7E;

        c.write(0xA2, c.reg, 0xC3);
        EXPECT_EQ(regs.registers()[c.reg], 0xC3) << c.address_bytes << "-byte address";
        EXPECT_EQ(regs.registers()[c.reg + 1], 0x80) << "only one register written";

        std::array<std::uint8_t, 4> got{};
        c.read(0xA2, c.reg, got.size(), got.data());
        EXPECT_EQ(got, (std::array<std::uint8_t, 4>{0xC3, 0x80, 0x01, 0x7E})) << c.address_bytes << "-byte address";
        EXPECT_EQ(regs.transfers(), 3u);  // the write, and the read's write and read parts

        // The bus is free again: a second device transaction works.
        std::uint8_t one = 0;
        c.read(0xA2, static_cast<std::uint16_t>(c.reg + 3), 1, &one);
        EXPECT_EQ(one, 0x7E);
    }
}

TEST_F(I2cBusTest, DeviceAtAnotherAddressStaysSilent) {
    auto& dev = add_register_file(0xA0, 1);
    dev.registers()[0] = 0x12;
    std::uint8_t b = 0;
    i2c_read(0xA2, 0x00, 1, &b);
    EXPECT_EQ(b, 0xFF);
    EXPECT_EQ(dev.transfers(), 0u);
}

// The four line operations, register by register, as seen inside i2c_ack:
// SDA low, SCL release, SCL low, SDA release.
TEST_F(I2cBusTest, LineOperationsTouchOnlyTheirBitInOrder) {
    constexpr std::uint32_t BANK1 = 0x7000a000;
    struct Step {
        std::uint32_t offset;
        std::uint32_t bit;
        bool set;
    };
    const std::vector<Step> expected{
        // SDA low: data cleared, under GPIO, unmasked, output, data cleared again
        {GPIO_DATA, 4, false},
        {GPIO_FUNC, 4, false},
        {GPIO_MASK, 4, true},
        {GPIO_DIR, 4, true},
        {GPIO_DATA, 4, false},
        // SCL release
        {GPIO_FUNC, 5, false},
        {GPIO_MASK, 5, true},
        {GPIO_DIR, 5, false},
        // SCL low
        {GPIO_FUNC, 5, false},
        {GPIO_MASK, 5, true},
        {GPIO_DIR, 5, true},
        // SDA release
        {GPIO_FUNC, 4, false},
        {GPIO_MASK, 4, true},
        {GPIO_DIR, 4, false},
    };
    i2c_start();
    cam.world().set_register_log(true);
    i2c_ack();
    const auto& log = cam.world().register_log();
    ASSERT_EQ(log.size(), expected.size() * 2);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const sim::RegAccess& rd = log[2 * i];
        const sim::RegAccess& wr = log[2 * i + 1];
        const Step& s = expected[i];
        const std::uint32_t mask = std::uint32_t{1} << s.bit;
        SCOPED_TRACE(i);
        EXPECT_FALSE(rd.write);
        EXPECT_TRUE(wr.write);
        EXPECT_EQ(rd.phys, BANK1 + s.offset);
        EXPECT_EQ(wr.phys, BANK1 + s.offset);
        EXPECT_EQ(wr.value, s.set ? (rd.value | mask) : (rd.value & ~mask)) << "read-modify-write of one bit";
    }
}

TEST_F(I2cBusTest, DisturbedWhileTheCameraHoldsPinSeventeen) {
    test::SimCamera disturbed("disturb 1 2\n");
    ASSERT_EQ(disturbed.map(), 0);
    EXPECT_EQ(i2c_bus_disturbed(), 1) << "pin 17 starts under its hardware function";
    i2c_claim_bus();
    EXPECT_EQ(i2c_bus_disturbed(), 0);

    disturbed.wait_us(1500000);  // the camera takes the pin back
    EXPECT_EQ(i2c_bus_disturbed(), 1);
    i2c_claim_bus();
    EXPECT_EQ(i2c_bus_disturbed(), 1) << "the camera keeps taking it during the interval";

    disturbed.wait_us(1000000);  // interval over: the bit stays set until claimed
    EXPECT_EQ(i2c_bus_disturbed(), 1);
    i2c_claim_bus();
    EXPECT_EQ(i2c_bus_disturbed(), 0);
    EXPECT_EQ(disturbed.world().gpio_register(0, GPIO_DIR) & (1u << 17), 0u) << "claimed as an input";
    EXPECT_NE(disturbed.world().gpio_register(0, GPIO_MASK) & (1u << 17), 0u);
}

}  // namespace
}  // namespace tarvex
