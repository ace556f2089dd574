// The recorder daemon run end to end on the simulated camera
// (recorder-sim-rev3/4/1 SCENARIO ROOT): its messages, its status output
// (the simulator's "sim: SECONDS status LEVEL" lines on stderr), the files it
// leaves in ROOT, and its log converted by the real converter.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "dat_format.h"
#include "maker.h"
#include "mp4_bytes.h"
#include "settings.h"
#include "test_support.h"

namespace tarvex::test {
namespace {

namespace fs = std::filesystem;

constexpr const char* BANNER_LINES = "Tarvex Sensor Pack\n";

struct StatusChange {
    double t = 0.0;  // simulated seconds since power-on
    int level = 0;
};

std::vector<StatusChange> status_changes(const std::string& err) {
    std::vector<StatusChange> out;
    std::istringstream in(err);
    std::string line;
    while (std::getline(in, line)) {
        StatusChange c;
        if (std::sscanf(line.c_str(), "sim: %lf status %d", &c.t, &c.level) == 2) out.push_back(c);
    }
    return out;
}

// The simulator's names for the patterns it saw, in order: "error;...".
std::string signal_names(const std::string& err) {
    std::string names;
    std::istringstream in(err);
    std::string line;
    while (std::getline(in, line)) {
        const std::size_t at = line.find(" signal ");
        if (line.rfind("sim: ", 0) == 0 && at != std::string::npos) names += line.substr(at + 8) + ";";
    }
    return names;
}

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t n = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + what.size())) ++n;
    return n;
}

struct Sample {
    std::uint32_t ts = 0;
    SensorSample s;
};

struct Log {
    DatHeader header;
    std::vector<Sample> samples;
    std::size_t trailing = 0;  // bytes after the last whole entry
};

Log parse_log(const std::string& bytes) {
    Log log;
    if (bytes.size() < DAT_HEADER_SIZE) {
        ADD_FAILURE() << "log of " << bytes.size() << " bytes has no header";
        return log;
    }
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.data());
    log.header = decode_dat_header(p);
    std::size_t at = DAT_HEADER_SIZE;
    while (at + SENSOR_SAMPLE_ENTRY <= bytes.size()) {
        EXPECT_EQ(p[at] | (p[at + 1] << 8), 240) << "entry kind at " << at;
        EXPECT_EQ(p[at + 2] | (p[at + 3] << 8), 26) << "entry size at " << at;
        Sample s;
        s.ts = static_cast<std::uint32_t>(p[at + 4] | (p[at + 5] << 8) | (p[at + 6] << 16)) |
               (static_cast<std::uint32_t>(p[at + 7]) << 24);
        s.s = decode_sensor_sample(p + at + ENTRY_HEADER_SIZE);
        log.samples.push_back(s);
        at += SENSOR_SAMPLE_ENTRY;
    }
    log.trailing = bytes.size() - at;
    return log;
}

// Piecewise-linear truth, as the scenario's altitude line gives it.
double truth(const std::vector<std::pair<double, double>>& points, double t) {
    if (t <= points.front().first) return points.front().second;
    for (std::size_t i = 1; i < points.size(); ++i) {
        if (t <= points[i].first) {
            const auto [t0, v0] = points[i - 1];
            const auto [t1, v1] = points[i];
            return v0 + (v1 - v0) * (t - t0) / (t1 - t0);
        }
    }
    return points.back().second;
}

std::string sim_program(const std::string& rev) { return binary_path("sim/recorder-sim-" + rev); }

// One simulated camera: a scenario file and a ROOT standing for its file system.
class Camera {
public:
    Camera() { fs::create_directories(root_.path() + "/tmp/fuse_d/MISC"); }

    std::string path(const std::string& camera_path) const { return root_.path() + camera_path; }
    const std::string& root() const { return root_.path(); }

    // A hook that notes each run and the size of the log it was handed.
    void install_counting_hook() const {
        // stat, not a read: the log may be /dev/full, which reads without end.
        write_file(path("/tmp/process.sh"), "stat -L -c %s tmp/datalog.bin >> tmp/hook_runs\n");
    }
    std::string hook_runs() const {
        return file_exists(path("/tmp/hook_runs")) ? read_file(path("/tmp/hook_runs")) : "";
    }

    RunResult run(const std::string& scenario, const std::string& rev = "rev3") {
        const std::string scenario_file = work_.file("scenario.txt");
        write_file(scenario_file, scenario);
        RunResult r = run_program({sim_program(rev), scenario_file, root_.path()}, work_.path());
        status = status_changes(r.err);
        return r;
    }

    // The same run with the log file limited to `blocks` 512-byte blocks, as
    // on a card that fills up; stdout and stderr come back merged.
    RunResult run_with_file_limit(const std::string& scenario, int blocks) {
        const std::string scenario_file = work_.file("scenario.txt");
        write_file(scenario_file, scenario);
        const std::string script =
            "(ulimit -f " + std::to_string(blocks) + " && trap '' XFSZ && exec \"$1\" \"$2\" \"$3\") 2>&1 | cat";
        RunResult r = run_program({"/bin/sh", "-c", script, "sh", sim_program("rev3"), scenario_file, root_.path()},
                                  work_.path());
        status = status_changes(r.out);
        return r;
    }

    std::string log_bytes() const { return read_file(path("/tmp/datalog.bin")); }
    Log log() const { return parse_log(log_bytes()); }

    std::vector<StatusChange> status;

private:
    TempDir work_;
    TempDir root_;
};

class RecorderE2E : public testing::Test {
protected:
    void SetUp() override {
        for (const char* rev : {"rev3", "rev4", "rev1"}) {
            if (!file_exists(sim_program(rev))) GTEST_SKIP() << "recorder-sim-" << rev << " not built";
        }
    }
};

// What follows the "ioremapped" lines of the hardware mapping.
std::string after_mapping(const std::string& out) {
    std::size_t at = 0;
    while (out.compare(at, 11, "ioremapped ") == 0) at = out.find('\n', at) + 1;
    return out.substr(at);
}

// ---- Start-up -------------------------------------------------------------

TEST_F(RecorderE2E, AbsentAccessoryEndsStartUpAfterBannerAndSettings) {
    Camera cam;
    const std::string settings = "altitude = meters\ngps_lag = 9001\n";
    write_file(cam.path("/tmp/settings.txt"), settings);
    const RunResult r = cam.run("accessory absent\n");
    EXPECT_EQ(r.exit_status, 255);

    TempDir scratch;
    write_file(scratch.file("settings.txt"), settings);
    const std::string dump = capture_stdout([&] {
        Settings s;
        settings_load(scratch.file("settings.txt").c_str(), s);
    });
    EXPECT_EQ(after_mapping(r.out), std::string(BANNER_LINES) + MAKER_WEB_ADDRESS + "\nrecorder starting up...\n" +
                                        dump + "Unexpected accessory detected. Exiting.\n");
    EXPECT_TRUE(cam.status.empty());
    EXPECT_FALSE(file_exists(cam.path("/tmp/fuse_d/MISC/trvx_version.txt")));
}

// Without its register windows the daemon must not touch a pin.
TEST_F(RecorderE2E, FailedHardwareMappingExitsBeforeAnyPinIsTouched) {
    struct Case {
        const char* scenario;
        const char* message;
    };
    for (const Case& c : {Case{"dev-mem absent\n", "Can't open /dev/mem\n"},
                          Case{"map-fail 0x7000e000\n", "Could not ioremap 7000e000\n"}}) {
        Camera cam;
        const RunResult r = cam.run(c.scenario);
        EXPECT_EQ(r.exit_status, 255) << c.scenario;
        EXPECT_EQ(after_mapping(r.out), c.message) << c.scenario;
        EXPECT_TRUE(cam.status.empty()) << c.scenario;
    }
}

TEST_F(RecorderE2E, CalibrationReadDisturbedOnceIsRetriedAfterAPause) {
    Camera undisturbed;
    undisturbed.run("end 3\n");
    Camera cam;
    const RunResult r = cam.run("disturb 0 0.1\nend 3\n");
    EXPECT_EQ(count(r.out, "Reading sensor calibration data, attempt 0\n"), 1u);
    EXPECT_EQ(count(r.out, "Reading sensor calibration data, attempt 1\n"), 1u);
    EXPECT_EQ(count(r.out, "attempt 2"), 0u);
    EXPECT_NE(r.out.find("Unit serial number: SIM00001\n"), std::string::npos);
    EXPECT_NE(r.out.find("Waiting for recording...\n"), std::string::npos);
    // The ready signal comes one 250 ms pause (and one more read) later.
    ASSERT_FALSE(cam.status.empty());
    ASSERT_FALSE(undisturbed.status.empty());
    const double delay = cam.status[0].t - undisturbed.status[0].t;
    EXPECT_GT(delay, 0.250);
    EXPECT_LT(delay, 0.300);
}

TEST_F(RecorderE2E, CalibrationReadFailingTwentyTimesSignalsAnErrorAndExits) {
    Camera cam;
    const RunResult r = cam.run("disturb 0 30\n");
    EXPECT_EQ(r.exit_status, 255);
    EXPECT_EQ(count(r.out, "Reading sensor calibration data, attempt "), 20u);
    EXPECT_NE(r.out.find("attempt 19\nFailed to read calibration data from sensor\n"), std::string::npos);
    EXPECT_EQ(r.out.find("Unit serial number"), std::string::npos);
    // Ten 50 ms pulses, 50 ms apart.
    EXPECT_EQ(signal_names(r.err), "error;");
    ASSERT_EQ(cam.status.size(), 20u);
    for (std::size_t i = 0; i < cam.status.size(); ++i) {
        EXPECT_EQ(cam.status[i].level, i % 2 == 0 ? 1 : 0);
        if (i > 0) {
            EXPECT_NEAR(cam.status[i].t - cam.status[i - 1].t, 0.050, 0.001);
        }
    }
}

// ---- Ground offset and serial number files --------------------------------

TEST_F(RecorderE2E, OffsetFileDecidesTheRecordingsOffset) {
    struct Case {
        const char* content;  // nullptr: no file
        const char* message;
        std::int32_t offset;
    };
    for (const Case& c :
         {Case{nullptr,
               "Could not read altitude offset file: /tmp/fuse_d/alt_offset.txt\n"
               "Offset calibration not found. Assuming sea level.\n",
               0},
          Case{"123\n", "Loaded altitude offset: 123\n", 123}, Case{"abc", "Loaded altitude offset: 0\n", 0},
          Case{"-1000000",
               "Loaded altitude offset: -1000000\n"
               "Offset calibration not found. Assuming sea level.\n",
               0}}) {
        Camera cam;
        if (c.content != nullptr) write_file(cam.path("/tmp/fuse_d/alt_offset.txt"), c.content);
        const RunResult r = cam.run("altitude 0 500\nrecord 3 4\nend 6\n");
        EXPECT_NE(r.out.find(c.message), std::string::npos) << r.out;
        const Log log = cam.log();
        EXPECT_EQ(log.header.ground_offset, c.offset);
        ASSERT_FALSE(log.samples.empty());
        EXPECT_NEAR(log.samples[0].s.altitude, 500 - c.offset, 3);
    }
}

TEST_F(RecorderE2E, SerialNumberIsAppendedAsDataNeverAsAShellCommand) {
    // Serial ";touch Z" from the EEPROM: a shell would have created Z.
    Camera cam;
    const std::string eeprom = "eeprom-main 0000313b746f756368205aC0000000FF\nend 1\n";
    cam.run(eeprom);
    const RunResult second = cam.run(eeprom);
    EXPECT_NE(second.out.find("EEPROM serial number: ;touch Z\n"), std::string::npos) << second.out;
    EXPECT_EQ(read_file(cam.path("/tmp/fuse_d/MISC/trvx_version.txt")), "SerialNo: ;touch Z\nSerialNo: ;touch Z\n");
    EXPECT_FALSE(file_exists(cam.path("/Z")));
    EXPECT_FALSE(file_exists(cam.path("/tmp/fuse_d/MISC/Z")));
}

TEST_F(RecorderE2E, SerialControlBytesShowAsQuestionMarksButAreLoggedRaw) {
    // A damaged EEPROM: serial "AB\nC\x1bD\x7fE".
    Camera cam;
    const RunResult r = cam.run("eeprom-main 00003141420A431B447F45C0000000FF\nrecord 3 4\nend 6\n");
    EXPECT_NE(r.out.find("EEPROM serial number: AB?C?D?E\nUnit serial number: AB?C?D?E\n"), std::string::npos) << r.out;
    EXPECT_EQ(read_file(cam.path("/tmp/fuse_d/MISC/trvx_version.txt")), "SerialNo: AB?C?D?E\n");
    EXPECT_EQ(std::string(cam.log().header.serial.data()),
              "AB\nC\x1b"
              "D\x7f"
              "E");
}

TEST_F(RecorderE2E, MissingVersionFolderIsReportedAndStartUpGoesOn) {
    Camera cam;
    fs::remove_all(cam.path("/tmp/fuse_d/MISC"));
    const RunResult r = cam.run("record 3 4\nend 6\n");
    EXPECT_NE(r.out.find("Unit serial number: SIM00001\n"
                         "Could not append serial number to /tmp/fuse_d/MISC/trvx_version.txt: "
                         "No such file or directory\n"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.out.find("Recording detected.\n"), std::string::npos);
    EXPECT_FALSE(cam.log().samples.empty());
}

TEST_F(RecorderE2E, UnitWithoutSerialNumberLogsAZeroSerial) {
    Camera cam;
    // An older board: no v3.0 mark, so the EEPROM holds no serial number.
    const RunResult r = cam.run("eeprom-main 0000004142434445464748FFFFFFFFFF\nrecord 3 4\nend 6\n");
    EXPECT_NE(r.out.find("Unit serial number: \n"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("EEPROM serial number"), std::string::npos);
    EXPECT_EQ(read_file(cam.path("/tmp/fuse_d/MISC/trvx_version.txt")), "SerialNo: \n");
    const Log log = cam.log();
    EXPECT_EQ(log.header.serial, (std::array<char, DAT_SERIAL_SIZE>{}));
}

// ---- The calibration gesture ----------------------------------------------

std::string seconds(double s) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.4f", s);
    return buf;
}

// The button held from 2 s for `hold_ms`; true when a ground calibration ran.
bool ground_calibration_after_hold(double hold_ms, Camera& cam) {
    const RunResult r = cam.run("altitude 0 1200\nbutton 2 " + seconds(2.0 + hold_ms / 1000.0) + "\nend 6\n");
    return r.out.find("Cal returned ") != std::string::npos;
}

// The button is read once per 25 ms poll. For a press starting phi before the
// first poll that sees it (0 <= phi < P), a hold of D ms is seen by N polls
// once D > phi + (N - 1) P. The shortest hold that calibrates therefore lies
// in [32 P, 33 P) exactly when 33 polls are needed: 32 would put it below
// 32 P, 34 at or above 33 P.
TEST_F(RecorderE2E, GestureCalibratesAfterExactly33Polls) {
    int lo = 7900, hi = 8300;  // tenths of a millisecond
    {
        Camera cam;
        ASSERT_FALSE(ground_calibration_after_hold(lo / 10.0, cam));
    }
    {
        Camera cam;
        ASSERT_TRUE(ground_calibration_after_hold(hi / 10.0, cam));
    }
    while (hi - lo > 1) {
        const int mid = (lo + hi) / 2;
        Camera cam;
        (ground_calibration_after_hold(mid / 10.0, cam) ? hi : lo) = mid;
    }
    const double shortest_ms = hi / 10.0;
    EXPECT_GE(shortest_ms, 32 * 25.0 + 0.5);  // poll overhead is a few microseconds
    EXPECT_LT(shortest_ms, 33 * 25.0);

    // One tenth of a millisecond less is 32 polls: nothing at all happens.
    Camera cam;
    const RunResult r = cam.run("altitude 0 1200\nbutton 2 " + seconds(2.0 + lo / 10000.0) + "\nend 6\n");
    EXPECT_EQ(r.out.find("Cal returned"), std::string::npos);
    EXPECT_FALSE(file_exists(cam.path("/tmp/fuse_d/alt_offset.txt")));
    EXPECT_EQ(cam.status.size(), 6u);  // the ready signal only
}

// The gesture counts only while the camera is idle; what idle means is one
// of the variant's constants: 8 for the revision-3 and -4 cameras, 7 for the
// revision-1 camera.
TEST_F(RecorderE2E, GestureCountsOnlyWhileTheCameraIsIdle) {
    struct Case {
        const char* rev;
        int state;  // the camera's state byte while the button is held
        bool calibrates;
    };
    for (const Case& c : {Case{"rev3", 8, true}, Case{"rev4", 8, true}, Case{"rev1", 7, true}, Case{"rev1", 8, false},
                          Case{"rev3", 7, false}, Case{"rev3", 0x11, false}}) {
        Camera cam;
        const RunResult r =
            cam.run("busy 1.5 5\nbusy-state " + std::to_string(c.state) + "\nbutton 2 4\nend 6\n", c.rev);
        EXPECT_EQ(r.out.find("Cal returned ") != std::string::npos, c.calibrates) << c.rev << " state " << c.state;
    }
}

TEST_F(RecorderE2E, GroundCalibrationIsSavedAndUsedByTheNextRecording) {
    Camera cam;
    cam.install_counting_hook();
    const std::vector<std::pair<double, double>> altitude{{0, 1200}, {12, 1200}, {22, 1500}};
    const RunResult r = cam.run("altitude 0 1200 12 1200 22 1500\nbutton 2 3\nrecord 12 20\nend 24\n");
    int offset = 0;
    const std::size_t at = r.out.find("Cal returned ");
    ASSERT_NE(at, std::string::npos) << r.out;
    ASSERT_EQ(std::sscanf(r.out.c_str() + at, "Cal returned %d", &offset), 1);
    EXPECT_NEAR(offset, 1200, 3);
    EXPECT_NE(r.out.find("Cal returned " + std::to_string(offset) +
                         "\nWrote altitude offset: " + std::to_string(offset) + "\n"),
              std::string::npos);
    EXPECT_EQ(read_file(cam.path("/tmp/fuse_d/alt_offset.txt")), std::to_string(offset));
    // Start-up ack, calibration ack, then recording on, the hook ack (its
    // first pulse continues "on") and off.
    EXPECT_EQ(cam.status.size(), 6u + 6u + 6u);

    const Log log = cam.log();
    EXPECT_EQ(log.header.ground_offset, offset);
    ASSERT_GT(log.samples.size(), 50u);
    const double start = cam.status[12].t;  // the recording's status output on
    for (const Sample& s : log.samples) {
        const double t = start + s.ts / 1000.0;
        EXPECT_NEAR(s.s.altitude, truth(altitude, t) - offset, 4.0) << "at " << t;
    }

    // The next start loads it.
    const RunResult again = cam.run("end 1\n");
    EXPECT_NE(again.out.find("Loaded altitude offset: " + std::to_string(offset) + "\n"), std::string::npos);
}

TEST_F(RecorderE2E, LongHoldCalibratesTheAccelerometerAfterASevenPulseWarning) {
    Camera cam;
    const RunResult r = cam.run("altitude 0 300\naccel-bias 0.1 0 -0.05\nbutton 2 16\nend 25\n");
    const std::size_t ground = r.out.find("Cal returned ");
    const std::size_t okay = r.out.find("Okay, calibrating accelerometer\n");
    const std::size_t start = r.out.find("Starting accel calibration...\n");
    const std::size_t done = r.out.find("Accel cal returned 0\n");
    ASSERT_NE(ground, std::string::npos) << r.out;
    ASSERT_NE(okay, std::string::npos) << r.out;
    ASSERT_NE(start, std::string::npos);
    ASSERT_NE(done, std::string::npos) << r.out;
    EXPECT_LT(ground, okay);
    EXPECT_LT(okay, start);
    EXPECT_LT(start, done);
    EXPECT_NE(r.out.find("EEPROM successfully written\n"), std::string::npos);
    EXPECT_EQ(count(r.out, "Cal returned "), 1u);

    // Start-up ack and ground-calibration ack (6 changes each), then the
    // warning: 7 pulses on for 100 ms, 500 ms apart, the last one held on
    // through the calibration; off, 500 ms, and the ack.
    EXPECT_EQ(signal_names(r.err), "acknowledge;acknowledge;accelerometer warning;acknowledge;");
    ASSERT_EQ(cam.status.size(), 6u + 6u + 13u + 1u + 6u);
    const auto* w = &cam.status[12];
    for (int i = 0; i < 13; ++i) {
        EXPECT_EQ(w[i].level, i % 2 == 0 ? 1 : 0) << i;
        if (i > 0) {
            EXPECT_NEAR(w[i].t - w[i - 1].t, i % 2 == 1 ? 0.100 : 0.500, 0.001) << i;
        }
    }
    // The ground calibration's ack ends 150 ms after its last change; then
    // 330 polls of holding and the warning's first 500 ms off.
    EXPECT_NEAR(w[0].t - cam.status[11].t, 0.15 + 330 * 0.025 + 0.5, 0.01);
    EXPECT_GT(w[13].t - w[12].t, 1.9);  // the calibration itself, about 2 s
    EXPECT_EQ(w[13].level, 0);
    EXPECT_NEAR(w[14].t - w[13].t, 0.500, 0.001);
    EXPECT_EQ(w[14].level, 1);
}

// ---- Recordings -----------------------------------------------------------

TEST_F(RecorderE2E, ShortRecordingIsTakenForAPhoto) {
    Camera cam;
    cam.install_counting_hook();
    const RunResult r = cam.run("record 5 5.03\nend 7\n");
    EXPECT_NE(r.out.find("Recording detected.\nRecord on count: 0. That was probably a photo.\nRecording stopped\n"),
              std::string::npos)
        << r.out;
    const Log log = cam.log();
    EXPECT_EQ(log.samples.size(), 2u);
    EXPECT_EQ(log.trailing, 0u);
    EXPECT_EQ(cam.hook_runs(), "");
    ASSERT_EQ(cam.status.size(), 6u + 2u);  // on for the two samples, then off without an ack
    EXPECT_EQ(cam.status[6].level, 1);
    EXPECT_NEAR(cam.status[7].t - cam.status[6].t, 0.2, 0.02);
}

// A recording of 10 s. The accelerometer's x axis ramps at 1 g/s, so each
// sample carries the simulated time at which it was read (2048 counts per
// g: half a millisecond per count).
constexpr const char* RECORDING_SCENARIO =
    "eeprom-main 0000315458313233343536C0000000FF\n"  // serial TX123456
    "altitude 0 800 10 800 30 1400\n"
    "accel 9 -1 0 1 25 15 0 1\n"
    "record 10 20\n"
    "end 22\n";

double accel_clock(const Sample& s) { return 10.0 + s.s.accel_x / 2048.0; }

TEST_F(RecorderE2E, RecordingLogFollowsTheScenario) {
    const std::vector<std::pair<double, double>> altitude{{0, 800}, {10, 800}, {30, 1400}};
    for (const auto& [rev, hw_revision] : {std::pair{"rev3", 3u}, std::pair{"rev4", 4u}, std::pair{"rev1", 1u}}) {
        SCOPED_TRACE(rev);
        Camera cam;
        cam.install_counting_hook();
        const RunResult r = cam.run(RECORDING_SCENARIO, rev);
        EXPECT_EQ(r.exit_status, 255);  // the accessory is unplugged at 22 s
        EXPECT_NE(r.out.find("Waiting for recording...\nRecording detected.\nRecording stopped\n"
                             "Waiting for recording...\nUnexpected accessory detected. Exiting.\n"),
                  std::string::npos)
            << r.out;

        const std::string bytes = cam.log_bytes();
        const Log log = parse_log(bytes);
        EXPECT_EQ(bytes.compare(0, 4, "TRVX"), 0);
        EXPECT_EQ(log.header.version, 1u);
        EXPECT_EQ(log.header.hw_revision, hw_revision);
        EXPECT_STREQ(log.header.serial.data(), "TX123456");
        EXPECT_EQ(log.header.expander_id, 255u);
        EXPECT_EQ(log.header.ground_offset, 0);
        EXPECT_EQ(log.header.rec_date, 1700000000u + 10u);
        EXPECT_EQ(log.trailing, 0u);
        // One sample per ~32 ms of conversions, bus traffic and a 60 ms pause,
        // until two checks after the camera stopped at 20 s.
        ASSERT_GE(log.samples.size(), 95u);
        ASSERT_LE(log.samples.size(), 110u);
        EXPECT_EQ(cam.hook_runs(), std::to_string(bytes.size()) + "\n");

        ASSERT_GE(cam.status.size(), 7u);
        // The status output goes on after the accelerometer setup, seven
        // register writes (about 3.2 ms of bus traffic) after the poll that
        // saw the recording.
        EXPECT_EQ(cam.status[6].level, 1);
        const double detected = cam.status[6].t - 0.0032;
        EXPECT_GE(detected, 10.0);
        EXPECT_LT(detected, 10.026);

        EXPECT_GT(log.samples.front().ts, 30u);  // the first sample's sensor work
        EXPECT_LT(log.samples.front().ts, 60u);
        for (std::size_t i = 0; i < log.samples.size(); ++i) {
            const Sample& s = log.samples[i];
            const double t = accel_clock(s);
            EXPECT_NEAR(s.ts / 1000.0, t - detected, 0.005) << "sample " << i;
            EXPECT_NEAR(s.s.altitude, truth(altitude, t), 3.0) << "sample " << i;
            EXPECT_NEAR(s.s.temp, 200, 1);  // the sensor's default 20 degC
            EXPECT_EQ(s.s.abs_press, s.s.press_copy);
            EXPECT_EQ(s.s.accel_y, 0);
            EXPECT_EQ(s.s.accel_z, 2048);
            EXPECT_EQ(s.s.flags, 0u);
            if (i > 0) {
                const std::uint32_t period = s.ts - log.samples[i - 1].ts;
                EXPECT_GE(period, 92u) << "sample " << i;
                EXPECT_LE(period, 106u) << "sample " << i;
            }
        }
        const double last = accel_clock(log.samples.back());
        EXPECT_GT(last, 20.0);
        EXPECT_LT(last, 20.0 + 0.25);
    }
}

TEST_F(RecorderE2E, LogConvertsToSubtitles) {
    const std::string converter = binary_path("converter/converter");
    if (!file_exists(converter)) GTEST_SKIP() << "converter not built";
    Camera cam;
    cam.run(RECORDING_SCENARIO);
    TempDir video;
    write_file(video.file("GOPR0042.DAT"), cam.log_bytes());
    write_file(video.file("GOPR0042.MP4"), mp4_file(6000));
    write_file(video.file("GP010042.MP4"), mp4_file(4500));
    const RunResult r = run_program({converter, "GOPR0042.DAT"}, video.path());
    EXPECT_EQ(r.exit_status, 0) << r.out << r.err;
    ASSERT_TRUE(file_exists(video.file("GOPR0042.SRT"))) << r.out;
    ASSERT_TRUE(file_exists(video.file("GP010042.SRT"))) << r.out;
    const std::string first = read_file(video.file("GOPR0042.SRT"));
    const std::string second = read_file(video.file("GP010042.SRT"));
    EXPECT_EQ(first.rfind("1\n00:00:00,", 0), 0u) << first.substr(0, 200);
    EXPECT_GT(count(first, " --> "), 20u);
    EXPECT_GT(count(second, " --> "), 20u);
    // The first subtitle shows the altitude at the start of the recording, in feet.
    int feet = 0;
    ASSERT_EQ(std::sscanf(first.c_str(), "1\n%*s --> %*s\n%d ft", &feet), 1) << first.substr(0, 200);
    EXPECT_NEAR(feet, 800, 10);
}

// ---- A card that fails --------------------------------------------------------

TEST_F(RecorderE2E, FullCardIsReportedOncePerRecordingAndSamplingGoesOn) {
    Camera cam;
    cam.install_counting_hook();
    ASSERT_EQ(symlink("/dev/full", cam.path("/tmp/datalog.bin").c_str()), 0);
    const RunResult r = cam.run("record 3 4\nrecord 6 7\nend 9\n");
    const std::string report =
        "Could not write log file: card full or removed? The rest of this recording is not logged.\n";
    EXPECT_EQ(count(r.out, report), 2u) << r.out;
    EXPECT_EQ(count(r.out, "Recording stopped\n"), 2u);
    EXPECT_EQ(cam.hook_runs(), "0\n0\n");
    // The status output stays on while the camera records: sampling went on.
    ASSERT_EQ(cam.status.size(), 6u + 2u * 6u);  // the ack's first pulse merges with "on"
    EXPECT_NEAR(cam.status[6].t, 3.0, 0.03);
    EXPECT_GT(cam.status[7].t, 4.0 + 0.4);
}

// Without a log file the recording is still sampled, but nothing is processed.
TEST_F(RecorderE2E, LogThatCannotBeOpenedLeavesTheRecordingUnprocessed) {
    Camera cam;
    cam.install_counting_hook();
    fs::create_directories(cam.path("/tmp/datalog.bin"));
    const RunResult r = cam.run("record 3 4\nend 6\n");
    EXPECT_NE(r.out.find("Recording detected.\nCould not open log file\nRecording stopped\n"), std::string::npos)
        << r.out;
    EXPECT_EQ(cam.hook_runs(), "");
    ASSERT_EQ(cam.status.size(), 6u + 2u);
    // On while the camera records, until two checks after it stopped.
    const double on = cam.status[7].t - cam.status[6].t;
    EXPECT_GT(on, 1.0);
    EXPECT_LT(on, 1.0 + 0.25);
}

TEST_F(RecorderE2E, LogCutOffByAFullCardKeepsHeaderAndWholeSamples) {
    Camera cam;
    cam.install_counting_hook();
    const RunResult r = cam.run_with_file_limit(RECORDING_SCENARIO, 4);
    const std::string report =
        "Could not write log file: card full or removed? The rest of this recording is not logged.\n";
    EXPECT_EQ(count(r.out, report), 1u) << r.out;
    EXPECT_NE(r.out.find("Recording stopped\n"), std::string::npos);

    const std::string bytes = cam.log_bytes();
    const Log log = parse_log(bytes);
    EXPECT_EQ(log.trailing, 0u) << "a partly written sample was left at the end";
    EXPECT_LE(bytes.size(), 2048u);
    EXPECT_GT(bytes.size(), 2048u - SENSOR_SAMPLE_ENTRY);
    EXPECT_EQ(log.header.hw_revision, 3u);
    EXPECT_STREQ(log.header.serial.data(), "TX123456");
    for (std::size_t i = 1; i < log.samples.size(); ++i) {
        EXPECT_NEAR(log.samples[i].ts - log.samples[i - 1].ts, 99, 10);
        EXPECT_NEAR(log.samples[i].s.altitude, 800, 200);
    }
    // Sampling and post-processing went on to the end of the recording.
    ASSERT_GE(cam.status.size(), 8u);
    EXPECT_GT(cam.status[7].t, 20.0);
    EXPECT_EQ(cam.hook_runs(), std::to_string(bytes.size()) + "\n");
}

// ---- Build variants -------------------------------------------------------

TEST_F(RecorderE2E, VariantsDifferOnlyInTheirRevisionCode) {
    std::vector<std::string> outs, logs;
    for (const char* rev : {"rev3", "rev4", "rev1"}) {
        Camera cam;
        const RunResult r = cam.run(std::string(RECORDING_SCENARIO) + "firmware " + rev + "\n", rev);
        outs.push_back(after_mapping(r.out));
        std::string bytes = cam.log_bytes();
        ASSERT_GT(bytes.size(), DAT_HEADER_SIZE);
        bytes.replace(20, 4, 4, '\0');  // hw_revision
        logs.push_back(bytes);
    }
    EXPECT_EQ(outs[1], outs[0]);
    EXPECT_EQ(outs[2], outs[0]);
    EXPECT_EQ(logs[1], logs[0]);
    EXPECT_EQ(logs[2], logs[0]);
}

// A build that watches another firmware's state bytes never sees a recording.
TEST_F(RecorderE2E, VariantMustMatchTheCameraFirmware) {
    for (const auto& [rev, firmware] :
         {std::pair{"rev1", "rev3"}, std::pair{"rev3", "rev4"}, std::pair{"rev4", "rev1"}}) {
        Camera cam;
        const RunResult r = cam.run(std::string("record 3 5\nend 7\nfirmware ") + firmware + "\n", rev);
        EXPECT_EQ(r.out.find("Recording detected."), std::string::npos) << rev << " on " << firmware;
        EXPECT_NE(r.out.find("Unexpected accessory detected. Exiting.\n"), std::string::npos);
    }
}

// ---- The camera's post-processing hook -------------------------------------

// The converter for the card's hook, empty when it is not built. Programs of
// another build (the ARM one under qemu-arm) get a wrapper in `dir`.
std::string hook_converter(const std::string& dir) {
    const std::string converter = binary_path("converter/converter");
    if (!file_exists(converter)) return "";
    const char* prefix = std::getenv("TARVEX_RUN_PREFIX");
    if (prefix == nullptr) return converter;
    const std::string wrapper = dir + "/converter.sh";
    write_file(wrapper, "#!/bin/sh\nexec " + std::string(prefix) + " '" + converter + "' \"$@\"\n");
    chmod(wrapper.c_str(), 0755);
    return wrapper;
}

// The last line of the console of the hook's background conversion.
constexpr const char* CONVERSION_ENDED = "process.sh: conversion ended, status 0\n";

// The recorder looks for the next recording only once the hook returns. A
// recording that starts two seconds after another ends is seen, and logged,
// from its start with the installed hook, which leaves the conversion to the
// background (its real duration charged to simulated time); a hook that
// takes 30 s, as a conversion in the foreground can on the camera, loses
// the recording's first 30 s.
TEST_F(RecorderE2E, RecordingRightAfterAnotherIsLoggedFromItsStartUnlessTheHookHoldsTheRecorder) {
    struct Case {
        const char* name;
        const char* hook_time;
        double late_s;  // how long after its start the second recording is seen
        double tolerance_s;
    };
    const Case cases[] = {
        {"the installed hook, its real duration", "real", 0.0, 0.05},
        {"a hook that takes 30 s", "30", 29.5, 0.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Camera cam;
        const std::string converter = hook_converter(cam.root());
        if (converter.empty()) GTEST_SKIP() << "converter not built";
        const std::string dcim = cam.path("/tmp/fuse_d/DCIM/100MEDIA/");
        fs::create_directories(dcim);
        fs::create_directories(cam.path("/tmp/fuse_d/tarvex"));
        fs::copy_file(source_path("recorder/process.sh"), cam.path("/tmp/fuse_d/tarvex/process.sh"));
        fs::copy_file(source_path("examples/outing/root/tmp/process.sh"), cam.path("/tmp/camera-hook.sh"));
        write_file(cam.path("/tmp/chapter.MP4"), mp4_file(60000));
        // By the time the hook runs, the camera has written the recording's
        // video as the next GOPRnnnn.MP4.
        write_file(cam.path("/tmp/process.sh"),
                   "n=$(ls tmp/fuse_d/DCIM/100MEDIA | grep -c 'MP4$')\n"
                   "cp tmp/chapter.MP4 tmp/fuse_d/DCIM/100MEDIA/GOPR000$((n + 1)).MP4\n"
                   "exec sh tmp/camera-hook.sh\n");
        setenv("TARVEX_CONVERTER", converter.c_str(), 1);
        const RunResult r = cam.run(std::string("record 2 12\nrecord 14 64\nend 70\nhook-time ") + c.hook_time + "\n");
        unsetenv("TARVEX_CONVERTER");
        EXPECT_EQ(count(r.out, "Recording detected."), 2u) << r.out;
        for (const char* console : {"GOPR0001.LOG", "GOPR0002.LOG"}) {
            ASSERT_TRUE(wait_until_file_holds(dcim + console, CONVERSION_ENDED)) << console;
        }

        // The status output goes on when the recorder sees a recording and
        // stays on to its end (the acknowledge pulses come before).
        double seen = 0.0;
        for (const StatusChange& s : cam.status) {
            if (s.level == 1 && s.t < 64.0) seen = s.t;
        }
        EXPECT_NEAR(seen - 14.0, c.late_s, c.tolerance_s);
        // The card's copy of the second log spans the recording from then on.
        const Log log = parse_log(read_file(dcim + "GOPR0002.DAT"));
        ASSERT_FALSE(log.samples.empty());
        EXPECT_NEAR(log.samples.back().ts / 1000.0, 64.0 - seen, 0.3);
    }
}

// ---- The bundled example ----------------------------------------------------

// The example's log is a recording of its scenario; the simulation is
// deterministic, so recording it again gives the same bytes, and the example
// camera's hook converts it beside the chapter files.
TEST_F(RecorderE2E, ExampleOutingRecordsTheCommittedLog) {
    TempDir root;
    fs::copy(source_path("examples/outing/root"), root.path(), fs::copy_options::recursive);
    const std::string card = root.path() + "/tmp/fuse_d";
    const std::string dcim = card + "/DCIM/100MEDIA";
    fs::create_directories(card + "/MISC");
    fs::create_directories(dcim);
    fs::create_directories(card + "/tarvex");  // the card's install folder holds the hook
    fs::copy_file(source_path("recorder/process.sh"), card + "/tarvex/process.sh");
    fs::copy_file(source_path("examples/outing/settings.txt"), root.path() + "/tmp/settings.txt");
    for (const char* mp4 : {"GOPR0042.MP4", "GP010042.MP4"}) {
        fs::copy_file(source_path(std::string("examples/outing/") + mp4), dcim + "/" + mp4);
    }
    const std::string converter = hook_converter(root.path());
    const bool convert = !converter.empty();
    if (convert) setenv("TARVEX_CONVERTER", converter.c_str(), 1);

    setenv("TZ", "UTC", 1);  // the CSV heading's recording date is local time
    const RunResult r =
        run_program({sim_program("rev3"), source_path("examples/outing/scenario.txt"), root.path()}, root.path());
    EXPECT_NE(r.out.find("Cal returned 1650\nWrote altitude offset: 1650\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Record on count: 0. That was probably a photo.\n"), std::string::npos);
    const std::string log = read_file(root.path() + "/tmp/datalog.bin");
    EXPECT_TRUE(log == read_file(source_path("examples/outing/datalog.bin")))
        << "examples/outing/datalog.bin is no longer what the scenario records; examples/README.md says how to "
           "record it again";

    if (!convert) GTEST_SKIP() << "converter not built: the hook's conversion is not checked";
    unsetenv("TARVEX_CONVERTER");
    EXPECT_TRUE(read_file(dcim + "/GOPR0042.DAT") == log);
    ASSERT_TRUE(wait_until_file_holds(dcim + "/GOPR0042.LOG", CONVERSION_ENDED)) << read_file(dcim + "/GOPR0042.LOG");
    // The camera's own conversion gives the example's reference outputs.
    for (const std::string out : {"GOPR0042.SRT", "GP010042.SRT", "GOPR0042.CSV", "GP010042.CSV"}) {
        ASSERT_TRUE(file_exists(dcim + "/" + out)) << out << "\n" << r.out;
        EXPECT_TRUE(read_file(dcim + "/" + out) == read_file(source_path("examples/outing/expected/" + out))) << out;
    }
}

}  // namespace
}  // namespace tarvex::test
