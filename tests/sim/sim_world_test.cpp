// The simulated camera seen through the platform seam, as the recorder sees it.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <array>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "camera_fs.h"
#include "platform.h"
#include "platform_sim.h"
#include "reg_access.h"
#include "register_file_device.h"
#include "sim_world.h"
#include "test_support.h"

namespace tarvex::sim {
namespace {

Scenario scenario(const std::string& text) {
    std::string error;
    auto s = parse_scenario(text, error);
    EXPECT_TRUE(s.has_value()) << error;
    return s.value_or(Scenario{});
}

struct Camera {
    explicit Camera(const std::string& text, Firmware fw = Firmware::Rev3)
        : world(scenario(text), root.path(), fw), installed(world), fd(platform::open_phys_mem()) {}

    volatile std::uint32_t* word(std::uint32_t phys) {
        auto* page = static_cast<std::uint8_t*>(platform::map_page(fd, phys & ~0xfffu, 4096));
        return reinterpret_cast<volatile std::uint32_t*>(page + (phys & 0xfffu));
    }
    std::uint8_t byte(std::uint32_t phys) {
        auto* page = static_cast<std::uint8_t*>(platform::map_page(fd, phys & ~0xfffu, 4096));
        return reg_read8(page + (phys & 0xfffu));
    }
    void wait_s(double s) { platform::sleep_us(static_cast<std::uint32_t>(s * 1e6)); }

    test::TempDir root;
    SimWorld world;
    WorldInstallation installed;
    int fd;
};

TEST(SimWorldTest, CounterStepsOncePerSecondAfterItsPhase) {
    Camera cam("ticks 10\ntick-phase 0.5\nglitch 2.6\n");
    auto* counter = cam.word(0x7000d034);
    EXPECT_EQ(reg_read32(counter), 10u);
    cam.wait_s(0.5);
    EXPECT_EQ(reg_read32(counter), 11u);
    cam.wait_s(1.0);
    EXPECT_EQ(reg_read32(counter), 12u);
    cam.wait_s(1.1);  // 2.6 s: the glitch, once
    EXPECT_EQ(reg_read32(counter), 12u);
    EXPECT_EQ(reg_read32(counter), 13u);
    EXPECT_EQ(reg_read32(cam.word(0x7000d030)), 0u) << "next to the counter: nothing";
}

TEST(SimWorldTest, SystemClockFollowsVirtualTime) {
    Camera cam("ticks 1000\n");
    std::uint32_t s = 0, us = 0;
    platform::time_of_day(s, us);
    EXPECT_EQ(s, 1000u);
    EXPECT_EQ(us, 1u) << "a system call costs a microsecond";
    cam.wait_s(2.25);
    platform::time_of_day(s, us);
    EXPECT_EQ(s, 1002u);
    EXPECT_EQ(us, 250002u);
    for (int i = 0; i < 10; ++i) platform::bus_delay();
    EXPECT_EQ(cam.world.now_us(), 2250052u);
}

// The camera bytes live where the played firmware keeps them; the same
// addresses read as zeros on another firmware.
TEST(SimWorldTest, CameraBytesAtTheFirmwaresAddresses) {
    struct Case {
        Firmware fw;
        std::uint32_t state, flag;
        std::uint8_t idle;
    };
    const std::array<Case, 3> cases{{
        {Firmware::Rev3, 0xc0ab727a, 0xc0ab765a, 8},
        {Firmware::Rev4, 0xc0ad717a, 0xc0ada612, 8},
        {Firmware::Rev1, 0xc08e66a9, 0xc09df8aa, 7},
    }};
    for (const Case& c : cases) {
        Camera cam("record 1 2\nbusy 3 4\n", c.fw);
        EXPECT_EQ(cam.byte(c.state), c.idle);
        EXPECT_EQ(cam.byte(c.flag), 0);
        cam.wait_s(1.5);
        EXPECT_EQ(cam.byte(c.state), 0);
        EXPECT_EQ(cam.byte(c.flag), 1);
        cam.wait_s(2.0);
        const std::uint8_t busy = cam.byte(c.state);
        EXPECT_NE(busy, 0);
        EXPECT_NE(busy, 7);
        EXPECT_NE(busy, 8);
        for (const Case& other : cases) {
            if (other.fw == c.fw) continue;
            EXPECT_EQ(cam.byte(other.state), 0);
        }
        EXPECT_EQ(cam.byte(c.state + 1), 0);
    }
    // The scenario's firmware wins over the build's.
    Camera cam("firmware rev1\n", Firmware::Rev3);
    EXPECT_EQ(cam.byte(0xc08e66a9), 7);
}

TEST(SimWorldTest, MappingsAliasAndFailWhereTheScenarioSays) {
    Camera cam("map-fail 0x70011abc\n");
    void* a = platform::map_page(cam.fd, 0x7000a000, 4096);
    void* b = platform::map_page(cam.fd, 0x7000a000, 4096);
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(platform::map_page(cam.fd, 0x70011000, 4096), nullptr);
    EXPECT_EQ(platform::map_page(cam.fd, 0x7000a004, 4096), nullptr) << "not page aligned";
    EXPECT_EQ(platform::map_page(-1, 0x7000a000, 4096), nullptr);
    EXPECT_EQ(reg_read32(cam.word(0x12345678)), 0u) << "unmodelled memory reads zeros";

    Camera none("dev-mem absent\n");
    EXPECT_EQ(none.fd, -1);
}

TEST(SimWorldTest, GpioInputsFollowTheScenarioAndOutputsTheirDataBit) {
    Camera cam("button 1 2\nend 3\nrecord 0.5 1\n");
    auto* bank1 = cam.word(0x7000a000);
    auto* bank4 = cam.word(0x70011000);
    constexpr std::uint32_t CAL = 1u << 12, ACC = 1u << 14, REC = 1u << 13, SDA = 1u << 4, SCL = 1u << 5;
    EXPECT_EQ(reg_read32(bank4) & (CAL | ACC), CAL | ACC);
    EXPECT_EQ(reg_read32(bank1) & (SDA | SCL | REC), SDA | SCL) << "bus lines pulled up, not recording";
    cam.wait_s(0.6);
    EXPECT_EQ(reg_read32(bank1) & REC, REC);
    cam.wait_s(0.9);
    EXPECT_EQ(reg_read32(bank4) & (CAL | ACC), ACC);
    cam.wait_s(1.5);
    EXPECT_EQ(reg_read32(bank4) & (CAL | ACC), CAL);

    // The status output (pin 38) is an output: its data bit is its level.
    reg_write32(bank1, reg_read32(bank1) | (1u << 6));
    EXPECT_EQ(cam.world.status_level(), 1);
    reg_write32(bank1, reg_read32(bank1) & ~(1u << 6));
    ASSERT_EQ(cam.world.status_log().size(), 2u);
    EXPECT_EQ(cam.world.status_log()[0].level, 1);
    EXPECT_EQ(cam.world.status_log()[0].time_us, 3000000u);
    EXPECT_EQ(cam.world.status_log()[1].level, 0);

    // An input's data bit ignores writes: SCL (released, reading 1) keeps
    // its 0 data bit through a read-modify-write of the word.
    reg_write32(bank1, reg_read32(bank1));
    EXPECT_EQ(cam.world.gpio_register(1, 0x00) & SCL, 0u);
}

TEST(SimWorldTest, DeadlineFiresOnceWhenTimeReachesIt) {
    Camera cam("");
    int fired = 0;
    cam.world.set_deadline(1000000, [&] { ++fired; });
    cam.wait_s(0.999);
    EXPECT_EQ(fired, 0);
    cam.wait_s(0.002);
    EXPECT_EQ(fired, 1);
    cam.wait_s(5);
    EXPECT_EQ(fired, 1);
}

// A recording device on the bus: what a device sees of the recorder's transfers.
class ScriptDevice final : public I2cSlave {
public:
    explicit ScriptDevice(std::vector<std::string>& log) : log_(log) {}
    std::uint8_t address() const override { return 0x3A; }
    void begin(bool read) override { log_.push_back(read ? "begin-read" : "begin-write"); }
    bool write(std::uint8_t b) override {
        log_.push_back("w" + std::to_string(b));
        return b != 0x99;  // refuses one value
    }
    std::uint8_t read() override {
        log_.push_back("r");
        return 0x81;
    }
    void stop() override { log_.push_back("stop"); }

private:
    std::vector<std::string>& log_;
};

// Drives the bus lines the way a master does, through the GPIO words.
struct Master {
    explicit Master(Camera& c) : cam(c), data(c.word(0x7000a000)), dir(c.word(0x7000a004)) {}
    void line(std::uint32_t bit, bool low) {
        reg_write32(dir, low ? (reg_read32(dir) | bit) : (reg_read32(dir) & ~bit));
    }
    void sda(bool level) { line(1u << 4, !level); }
    void scl(bool level) { line(1u << 5, !level); }
    bool sample() { return (reg_read32(data) & (1u << 4)) != 0; }
    void start() {
        sda(true);
        scl(true);
        sda(false);
        scl(false);
    }
    void stop() {
        sda(false);
        scl(true);
        sda(true);
    }
    bool write(std::uint8_t b) {
        for (int i = 7; i >= 0; --i) {
            sda(((b >> i) & 1) != 0);
            scl(true);
            scl(false);
        }
        sda(true);
        scl(true);
        const bool ack = !sample();
        scl(false);
        return ack;
    }
    std::uint8_t read(bool ack) {
        std::uint8_t v = 0;
        sda(true);
        for (int i = 0; i < 8; ++i) {
            scl(true);
            v = static_cast<std::uint8_t>((v << 1) | (sample() ? 1 : 0));
            scl(false);
        }
        sda(!ack);
        scl(true);
        scl(false);
        sda(true);
        return v;
    }
    Camera& cam;
    volatile std::uint32_t* data;
    volatile std::uint32_t* dir;
};

TEST(I2cBusModelTest, DevicesSeeStartAddressBytesRepeatedStartAndStop) {
    Camera cam("");
    std::vector<std::string> log;
    cam.world.attach(std::make_unique<ScriptDevice>(log));
    Master m(cam);
    m.start();
    EXPECT_TRUE(m.write(0x3A));
    EXPECT_TRUE(m.write(0x10));
    EXPECT_FALSE(m.write(0x99)) << "the device's NACK is on the line";
    m.start();  // repeated START: the write transfer ends
    EXPECT_TRUE(m.write(0x3B));
    EXPECT_EQ(m.read(true), 0x81);
    EXPECT_EQ(m.read(false), 0x81);
    m.stop();
    EXPECT_EQ(log, (std::vector<std::string>{"begin-write", "w16", "w153", "stop", "begin-read", "r", "r", "stop"}));
    EXPECT_EQ(cam.world.bus().starts(), 2u);
    EXPECT_EQ(cam.world.bus().stops(), 1u);

    // Nobody at 0x50: no acknowledge, and reads float high.
    log.clear();
    m.start();
    EXPECT_FALSE(m.write(0xA1));
    EXPECT_EQ(m.read(false), 0xFF);
    m.stop();
    EXPECT_TRUE(log.empty());
}

TEST(I2cBusModelTest, RegisterFileWithSixteenBitAddresses) {
    Camera cam("");
    auto dev = std::make_unique<RegisterFileDevice>(0xA0, 2, 65536);
    RegisterFileDevice& regs = *dev;
    cam.world.attach(std::move(dev));
    Master m(cam);
    m.start();
    m.write(0xA0);
    m.write(0x12);
    m.write(0x34);
    m.write(0xAB);
    m.write(0xCD);
    m.stop();
    EXPECT_EQ(regs.registers()[0x1234], 0xAB);
    EXPECT_EQ(regs.registers()[0x1235], 0xCD);
    m.start();
    m.write(0xA0);
    m.write(0x12);
    m.write(0x34);
    m.start();
    m.write(0xA1);
    EXPECT_EQ(m.read(true), 0xAB);
    EXPECT_EQ(m.read(false), 0xCD);
    m.stop();
}

TEST(CameraFsTest, PathsAndCommandsResolveUnderTheRoot) {
    EXPECT_EQ(camera_path_under("/r", "/tmp/datalog.bin"), "/r/tmp/datalog.bin");
    EXPECT_EQ(camera_path_under("/r", "rel.txt"), "rel.txt");
    EXPECT_EQ(camera_path_under("", "/tmp/x"), "/nonexistent-camera-root/tmp/x");
    EXPECT_EQ(command_under("/r", "sh /tmp/process.sh"), "sh '/r'/tmp/process.sh");
    EXPECT_EQ(command_under("/a b", "echo SerialNo: AB/tmp >> /tmp/fuse_d/MISC/trvx_version.txt"),
              "echo SerialNo: AB/tmp >> '/a b'/tmp/fuse_d/MISC/trvx_version.txt");
    EXPECT_EQ(command_under("/r", "cat /tmpfile /tmp"), "cat /tmpfile '/r'/tmp");
}

TEST(CameraFsTest, ShellRunsInsideTheRoot) {
    test::TempDir root;
    std::filesystem::create_directories(root.path() + "/tmp/fuse_d/MISC");
    test::write_file(root.file("tmp/process.sh"), "pwd > tmp/where.txt\nexit 3\n");
    const int status = run_camera_shell(root.path(), "sh /tmp/process.sh");
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 3);
    EXPECT_EQ(test::read_file(root.file("tmp/where.txt")), std::filesystem::canonical(root.path()).string() + "\n");
    run_camera_shell(root.path(), "echo SerialNo: ABC >> /tmp/fuse_d/MISC/trvx_version.txt");
    run_camera_shell(root.path(), "echo SerialNo: ABC >> /tmp/fuse_d/MISC/trvx_version.txt");
    EXPECT_EQ(test::read_file(root.file("tmp/fuse_d/MISC/trvx_version.txt")), "SerialNo: ABC\nSerialNo: ABC\n");
    EXPECT_EQ(run_camera_shell(root.path(), "sync"), 0);
}

}  // namespace
}  // namespace tarvex::sim
