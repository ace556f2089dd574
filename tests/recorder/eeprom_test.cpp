// Unit identity and the offset store against simulated EEPROMs on the bus.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "eeprom.h"
#include "sim_fixture.h"

namespace tarvex {
namespace {

using test::eeprom_head;
using test::SimCamera;

using Head = std::array<std::uint8_t, 16>;
using Expander = std::array<std::uint8_t, 6>;

struct IdentityCase {
    const char* name;
    std::optional<Head> main;
    int addressing;
    std::optional<Expander> expander;
    // expected
    int result;
    const char* serial;
    int wide;
    int flip;
    std::uint32_t expander_id;
    std::array<std::int8_t, 3> offsets;
    const char* output;
};

const Expander EXPANDER_ID_3{0xEE, 0x01, 0x03, 0xFF, 0xFF, 0xFF};
const Expander EXPANDER_NO_ID{0xEE, 0x01, 0xFF, 0xFF, 0xFF, 0xFF};
const Expander EXPANDER_FOREIGN{0xEE, 0x02, 0x03, 0xFF, 0xFF, 0xFF};

const IdentityCase IDENTITY_CASES[] = {
    {"v3 mark 1, offsets, no expander EEPROM",
     eeprom_head('1', "SIM00001", 0xC0, {5, -6, 7}, 0x07),
     16,
     std::nullopt,
     0,
     "SIM00001",
     1,
     1,
     0x07,
     {5, -6, 7},
     "16bit EEPROM read returned: 31\n"
     "Expander EEPROM magic: ff\n"
     "EEPROM v3.0 magic found - Axis flip enabled\n"
     "EEPROM v3.0 cal data v2 detected\n"
     "Main EEPROM Expander board ID: 07\n"
     "Expander EEPROM contents not valid. Ignoring.\n"
     "EEPROM v3 accelerometer cal data found: 5 -6 7\n"},
    {"v3 mark 1, expander EEPROM with an ID takes priority",
     eeprom_head('1', "AB", 0xC0, {0, 0, 0}, 0x07),
     16,
     EXPANDER_ID_3,
     0,
     "AB",
     1,
     1,
     0x03,
     {0, 0, 0},
     "16bit EEPROM read returned: 31\n"
     "Expander EEPROM magic: ee\n"
     "EEPROM v3.0 magic found - Axis flip enabled\n"
     "EEPROM v3.0 cal data v2 detected\n"
     "Main EEPROM Expander board ID: 07\n"
     "Expander EEPROM contains ID: 03\n"
     "Expander ID from Expander EEPROM takes priority over main expander ID\n"
     "EEPROM v3 accelerometer cal data found: 0 0 0\n"},
    {"v3 mark 0, expander EEPROM without an ID",
     eeprom_head('0', "12%45678", 0xC1, {1, 2, 3}, 0x07),
     16,
     EXPANDER_NO_ID,
     0,
     "12%45678",
     1,
     1,
     0xFF,
     {0, 0, 0},
     "16bit EEPROM read returned: 30\n"
     "Expander EEPROM magic: ee\n"
     "EEPROM v3.0 magic found - Axis flip enabled\n"
     "Expander EEPROM present, but lacks valid expander ID\n"
     "Continuing with expander ID from main EEPROM: ff\n"
     "EEPROM v3 accelerometer cal data not present.\n"},
    {"v3 mark 0, foreign expander EEPROM",
     eeprom_head('0', "ABCD", 0xFF, {1, 2, 3}),
     16,
     EXPANDER_FOREIGN,
     0,
     "ABCD",
     1,
     1,
     0xFF,
     {0, 0, 0},
     "16bit EEPROM read returned: 30\n"
     "Expander EEPROM magic: ee\n"
     "EEPROM v3.0 magic found - Axis flip enabled\n"
     "Expander EEPROM contents not valid. Ignoring.\n"
     "EEPROM v3 accelerometer cal data not present.\n"},
    {"v3 mark found only with one address byte",
     eeprom_head('1', "SIM00042", 0xC0, {-1, 2, -3}, 0x03),
     8,
     std::nullopt,
     0,
     "SIM00042",
     0,
     1,
     0x03,
     {-1, 2, -3},
     "16bit EEPROM read returned: 53\n"
     "Expander EEPROM magic: ff\n"
     "8bit EEPROM read returned: 31\n"
     "EEPROM v3.0 magic found - Axis flip enabled\n"
     "EEPROM v3.0 cal data v2 detected\n"
     "Main EEPROM Expander board ID: 03\n"
     "Expander EEPROM contents not valid. Ignoring.\n"
     "EEPROM v3 accelerometer cal data found: -1 2 -3\n"},
    {"older board with offsets",
     eeprom_head(0xFF, "", 0xC1, {1, -2, 3}, 0x05),
     8,
     EXPANDER_ID_3,
     -1,
     "",
     0,
     0,
     0xFF,
     {1, -2, 3},
     "16bit EEPROM read returned: ff\n"
     "Expander EEPROM magic: ee\n"
     "8bit EEPROM read returned: ff\n"
     "EEPROM does not contain v3.0 magic - Axis flip disabled\n"
     "EEPROM v2 accelerometer cal data found: 1 -2 3\n"},
    {"older board without offsets",
     eeprom_head('2', "", 0xC0, {1, -2, 3}),
     8,
     std::nullopt,
     -1,
     "",
     0,
     0,
     0xFF,
     {0, 0, 0},
     "16bit EEPROM read returned: ff\n"
     "Expander EEPROM magic: ff\n"
     "8bit EEPROM read returned: 32\n"
     "EEPROM does not contain v3.0 magic - Axis flip disabled\n"},
    {"no EEPROM at all",
     std::nullopt,
     16,
     std::nullopt,
     -1,
     "",
     0,
     0,
     0xFF,
     {0, 0, 0},
     "16bit EEPROM read returned: ff\n"
     "Expander EEPROM magic: ff\n"
     "8bit EEPROM read returned: ff\n"
     "EEPROM does not contain v3.0 magic - Axis flip disabled\n"},
};

TEST(EepromIdentity, EveryLayout) {
    for (const auto& c : IDENTITY_CASES) {
        SCOPED_TRACE(c.name);
        sim::Scenario scenario;
        scenario.eeprom_main = c.main;
        scenario.eeprom_main_addressing = c.addressing;
        scenario.eeprom_expander = c.expander;
        SimCamera rig(scenario);
        identity.eeprom_wide_addressing = 1 - c.wide;  // each path must set it
        char serial[9];
        std::memset(serial, 'x', sizeof serial);
        int result = 0;
        const std::string out = test::capture_stdout([&] { result = eeprom_read_identity(serial, sizeof serial); });
        EXPECT_EQ(out, c.output);
        EXPECT_EQ(result, c.result);
        EXPECT_STREQ(serial, c.serial);
        EXPECT_EQ(identity.eeprom_wide_addressing, c.wide);
        EXPECT_EQ(identity.accel_axis_flip, c.flip);
        EXPECT_EQ(identity.expander_id, c.expander_id);
        EXPECT_EQ(identity.accel_offsets, c.offsets);
    }
}

TEST(EepromIdentity, SerialIsBoundedByTheBuffer) {
    sim::Scenario scenario;
    scenario.eeprom_main = eeprom_head('1', "12%45678", 0xC0, {0, 0, 0});
    SimCamera rig(scenario);
    char serial[5];
    test::capture_stdout([&] { eeprom_read_identity(serial, sizeof serial); });
    EXPECT_STREQ(serial, "12%4");
    // A zero byte ends the serial like 0xFF does.
    Head head = eeprom_head('1', "AB", 0xC0, {0, 0, 0});
    head[5] = 0;
    head[6] = 'Z';
    scenario.eeprom_main = head;
    SimCamera rig2(scenario);
    char full[9];
    test::capture_stdout([&] { eeprom_read_identity(full, sizeof full); });
    EXPECT_STREQ(full, "AB");
}

struct StoreRig {
    explicit StoreRig(const sim::Scenario& scenario) : rig(scenario) {
        char serial[9];
        test::capture_stdout([&] { eeprom_read_identity(serial, sizeof serial); });
    }
    int store(std::array<std::int8_t, 3> offsets, std::string& out) {
        identity.accel_offsets = offsets;
        int result = 0;
        out = test::capture_stdout([&] { result = eeprom_store_accel_offsets(); });
        return result;
    }
    std::vector<std::uint8_t> stored() const {
        const auto& m = rig.main_eeprom->memory();
        return {m.begin() + 11, m.begin() + 15};
    }
    SimCamera rig;
};

TEST(EepromStore, MarkFollowsTheLayoutAndBytesLandAtTheirAddresses) {
    struct Case {
        const char* name;
        Head head;
        int addressing;
        std::uint8_t mark;
        const char* heading;
    };
    const Case cases[] = {
        {"v3 board", eeprom_head('1', "SIM00001", 0xC0, {0, 0, 0}), 16, 0xC0, "Writing v3 EEPROM cal values\n"},
        {"v3 layout on a one-address-byte part", eeprom_head('0', "SIM00001", 0xFF, {0, 0, 0}), 8, 0xC0,
         "Writing v3 EEPROM cal values\n"},
        {"older board", eeprom_head(0xFF, "", 0xFF, {0, 0, 0}), 8, 0xC1, "Writing v2 EEPROM cal values\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Scenario scenario;
        scenario.eeprom_main = c.head;
        scenario.eeprom_main_addressing = c.addressing;
        StoreRig s(scenario);
        const std::vector<std::uint8_t> before = s.rig.main_eeprom->memory();
        std::string out;
        EXPECT_EQ(s.store({-20, 20, 3}, out), 0);
        EXPECT_EQ(out, std::string(c.heading) + "Writing offsets to EEPROM\nEEPROM successfully written\n");
        EXPECT_EQ(s.stored(), (std::vector<std::uint8_t>{c.mark, 0xEC, 20, 3}));
        // Nothing else changed: the addresses were sent in the part's own form.
        std::vector<std::uint8_t> after = s.rig.main_eeprom->memory();
        std::copy(before.begin() + 11, before.begin() + 15, after.begin() + 11);
        EXPECT_EQ(after, before);

        // The next start finds the stored offsets.
        identity = Identity{};
        char serial[9];
        test::capture_stdout([&] { eeprom_read_identity(serial, sizeof serial); });
        EXPECT_EQ(identity.accel_offsets, (std::array<std::int8_t, 3>{-20, 20, 3}));
    }
}

// What the part runs on afterwards is the calibration's business (see the
// accelerometer tests): the store leaves the identity's offsets alone.
TEST(EepromStore, AFailedWriteIsReportedAndLeavesTheOffsetsToTheCaller) {
    sim::Scenario scenario;
    scenario.eeprom_main = eeprom_head('1', "SIM00001", 0xC0, {4, 5, 6});
    scenario.eeprom_write_fail = true;
    StoreRig s(scenario);
    ASSERT_EQ(identity.accel_offsets, (std::array<std::int8_t, 3>{4, 5, 6}));
    std::string out;
    EXPECT_EQ(s.store({1, 2, 3}, out), -1);
    EXPECT_EQ(out, "Writing v3 EEPROM cal values\nWriting offsets to EEPROM\nEEPROM programming error\n");
    EXPECT_EQ(identity.accel_offsets, (std::array<std::int8_t, 3>{1, 2, 3}));
}

TEST(EepromStore, AReadBackMismatchInvalidatesTheStoredMark) {
    // An older layout on a part that takes two address bytes: written with
    // one address byte, the bytes do not land where they are read back.
    sim::Scenario scenario;
    scenario.eeprom_main = eeprom_head(0xFF, "", 0xC1, {4, 5, 6});
    StoreRig s(scenario);
    ASSERT_EQ(identity.eeprom_wide_addressing, 0);
    std::string out;
    EXPECT_EQ(s.store({1, 2, 3}, out), -1);
    EXPECT_NE(out.find("EEPROM programming error\n"), std::string::npos);
}

TEST(EepromBytes, ReadAndWriteUseTheChosenAddressing) {
    for (int addressing : {8, 16}) {
        SCOPED_TRACE(addressing);
        sim::Scenario scenario;
        scenario.eeprom_main = eeprom_head('1', "SIM00001", 0xC0, {0, 0, 0});
        scenario.eeprom_main_addressing = addressing;
        StoreRig s(scenario);
        EXPECT_EQ(identity.eeprom_wide_addressing, addressing == 16 ? 1 : 0);
        EXPECT_EQ(eeprom_read_byte(3), 'S');
        const std::uint64_t before = s.rig.world().now_us();
        eeprom_write_byte(200, 0x42);
        EXPECT_GE(s.rig.world().now_us() - before, 50'000u);  // waits out the write cycle
        EXPECT_EQ(eeprom_read_byte(200), 0x42);
        EXPECT_EQ(s.rig.main_eeprom->memory()[200], 0x42);
    }
}

}  // namespace
}  // namespace tarvex
