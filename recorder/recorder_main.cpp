#include "recorder_main.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>

#include "accel.h"
#include "altitude_table.h"
#include "baro.h"
#include "baro_compensate.h"
#include "camera_state.h"
#include "clock.h"
#include "counter.h"
#include "eeprom.h"
#include "gpio.h"
#include "ground_offset.h"
#include "hw_map.h"
#include "i2c_bus.h"
#include "log_file.h"
#include "maker.h"
#include "platform.h"
#include "printable_text.h"
#include "settings.h"
#include "signals.h"
#include "wrap_arith.h"

namespace tarvex {

namespace {

constexpr std::uint32_t MS = 1000;  // microseconds

constexpr int CALIBRATION_READ_ATTEMPTS = 20;
constexpr std::uint32_t CALIBRATION_RETRY_PAUSE_US = 250 * MS;
constexpr std::uint32_t POLL_PAUSE_US = 25 * MS;
constexpr std::uint32_t SAMPLE_PAUSE_US = 60 * MS;
constexpr std::uint32_t BEFORE_HOOK_PAUSE_US = 400 * MS;
constexpr std::uint32_t AFTER_ACCEL_CAL_PAUSE_US = 500 * MS;
// Polls of 25 ms the gesture must be held: about 0.8 s for the ground
// calibration, then about 8.3 s more for the accelerometer calibration.
constexpr int GROUND_CAL_HOLD_POLLS = 33;
constexpr int ACCEL_CAL_HOLD_POLLS = 330;
constexpr std::size_t SERIAL_BUFFER_SIZE = 9;
// Longest sleep between two looks at the seconds counter in the poll and
// sample pauses: the clock counts the part below a second from the moment a
// counter step is seen, so a step seen late makes timestamps late.
constexpr std::uint32_t CLOCK_SLICE_US = 5 * MS;

Settings recorder_settings;  // loaded and shown at start-up; steers nothing here

// What the daemon keeps between recordings.
struct RunState {
    const char* serial = nullptr;  // the unit's serial number, nullptr when unknown
    bool accel_present = false;
    std::int32_t ground_offset = 0;  // ft
    BaroCalibration cal;
    std::uint32_t rec_start = 0;  // ms, clock reading of the poll that saw the recording start
    int hold_count = 0;
};

void status_output(int level) { gpio_set(PIN_STATUS, level); }

// Sleeps `total_us` in slices, keeping the millisecond clock current.
void pause_keeping_time(std::uint32_t total_us) {
    while (total_us > 0) {
        const std::uint32_t slice = std::min(total_us, CLOCK_SLICE_US);
        platform::sleep_us(slice);
        total_us -= slice;
        clock_sync();
    }
}

bool accessory_attached() {
    if (gpio_get(PIN_ACCESSORY) != 0) return true;
    std::printf("Unexpected accessory detected. Exiting.\n");
    return false;
}

// Two reads that agree, from an undisturbed bus, are taken as the calibration.
bool read_baro_calibration(BaroCalibration& cal) {
    BaroCalibration scratch;
    for (int attempt = 0; attempt < CALIBRATION_READ_ATTEMPTS; ++attempt) {
        i2c_claim_bus();
        std::printf("Reading sensor calibration data, attempt %d\n", attempt);
        (void)baro_read_calibration(scratch);
        const int result = baro_read_calibration(cal);
        if (result == 0 && !i2c_bus_disturbed() && scratch == cal) return true;
        platform::sleep_us(CALIBRATION_RETRY_PAUSE_US);
    }
    return false;
}

// Returns false on a fatal start-up error (the caller exits with -1).
bool start_up(RunState& run) {
    std::printf("Tarvex Sensor Pack\n%s\nrecorder starting up...\n", MAKER_WEB_ADDRESS);
    settings_load(platform::camera_path("/tmp/settings.txt").c_str(), recorder_settings);
    if (!accessory_attached()) return false;

    if (!read_baro_calibration(run.cal)) {
        std::printf("Failed to read calibration data from sensor\n");
        signal_error();
        return false;
    }

    // Without the v3.0 EEPROM layout the unit has no serial number: it is
    // shown and recorded as empty, and the log header's serial stays zero.
    // A damaged EEPROM may hold control bytes in it, which would break the
    // console's and the version file's lines: those show as '?', while the
    // log header keeps the raw bytes.
    char* const serial = identity.unit_serial.data();
    static_assert(sizeof identity.unit_serial == SERIAL_BUFFER_SIZE);
    std::array<char, SERIAL_BUFFER_SIZE> shown{};
    if (eeprom_read_identity(serial, SERIAL_BUFFER_SIZE) == 0) {
        printable_copy(shown.data(), serial, SERIAL_BUFFER_SIZE - 1);
        std::printf("EEPROM serial number: %s\n", shown.data());
        run.serial = serial;
    }
    std::printf("Unit serial number: %s\n", shown.data());
    record_serial_number(shown.data());

    run.accel_present = accel_probe();
    if (!run.accel_present) std::printf("No accelerometer detected.\n");

    run.ground_offset = load_ground_offset();
    if (run.ground_offset == NO_OFFSET) {
        std::printf("Offset calibration not found. Assuming sea level.\n");
        run.ground_offset = 0;
    }

    accel_setup();
    signal_ack();
    // The sub-second part of the clock counts from the first seen counter step.
    while (clock_state.tick_ms == 0) clock_sync();
    return true;
}

// The gesture was held 33 polls: ground calibration, and the accelerometer
// calibration too when it is held on for 330 polls more.
void run_calibrations(RunState& run) {
    const std::int32_t offset = measure_ground_offset(run.cal);
    std::printf("Cal returned %d\n", offset);
    if (offset == NO_OFFSET) {
        status_output(0);
    } else {
        (void)save_ground_offset(offset);
        signal_ack();
        run.ground_offset = offset;  // from the next recording on
    }

    run.hold_count = 0;
    while (gpio_get(PIN_CAL_REQUEST) == 0) {
        ++run.hold_count;
        platform::sleep_us(POLL_PAUSE_US);
        if (run.hold_count < ACCEL_CAL_HOLD_POLLS) continue;

        std::printf("Okay, calibrating accelerometer\n");
        signal_accel_warning();
        const int result = accel_calibrate();
        status_output(0);
        platform::sleep_us(AFTER_ACCEL_CAL_PAUSE_US);
        if (result != 0) {
            signal_error();
        } else {
            signal_ack();
        }
        std::printf("Accel cal returned %d\n", result);
        while (gpio_get(PIN_CAL_REQUEST) == 0) {
        }
        run.hold_count = 0;
        return;
    }
    // Released early: hold_count keeps its count until the next poll.
}

// Polls every 25 ms until the camera records. Returns false when the
// accessory is gone (the caller exits with -1).
bool wait_for_recording(RunState& run) {
    std::printf("Waiting for recording...\n");
    run.hold_count = 0;
    for (;;) {
        clock_sync();
        pause_keeping_time(POLL_PAUSE_US);
        run.rec_start = clock_ms();
        (void)hw_ticks();

        if (!camera_idle() || gpio_get(PIN_CAL_REQUEST) == 1) {
            run.hold_count = 0;
        } else if (++run.hold_count >= GROUND_CAL_HOLD_POLLS) {
            run_calibrations(run);
        }
        if (!accessory_attached()) return false;
        if (camera_recording(true)) return true;
    }
}

// One recording: a sample per round of sensor work and a 60 ms pause, until
// two checks in a row find the camera no longer recording.
void run_recording(const RunState& run) {
    const std::int32_t offset = run.ground_offset;
    std::printf("Recording detected.\n");

    LogFile log;
    if (log_open(log)) log_write_header(log, run.serial, offset);

    accel_setup();
    status_output(1);
    int on_count = 0;
    int stop_count = 0;
    BaroSample baro;
    AccelSample accel;
    while (stop_count < 2) {
        clock_sync();
        (void)baro_sample(baro);  // a failed sample carries NO_VALUE into the log
        clock_sync();
        if (run.accel_present) {
            accel_read(accel);
            clock_sync();
        }
        baro_compensate_temperature(run.cal, baro);
        baro_compensate_pressure(run.cal, baro);
        clock_sync();

        const std::uint32_t now = clock_ms();
        if (now < run.rec_start) continue;

        std::int32_t altitude = pressure_to_altitude(static_cast<std::uint32_t>(baro.pressure));
        if (altitude != NO_VALUE) {
            altitude = wrap_sub(altitude, offset);
        }
        log_write_sample(log, now - run.rec_start, altitude, baro, run.accel_present ? &accel : nullptr);

        clock_sync();
        pause_keeping_time(SAMPLE_PAUSE_US);
        if (!camera_recording(false)) {
            ++stop_count;
        } else {
            on_count = 1;
            stop_count = 0;
        }
    }

    if (log.fd >= 0) {
        log_close(log);
        if (on_count > 0) {
            platform::sleep_us(BEFORE_HOOK_PAUSE_US);
            std::fflush(stdout);  // keep our lines ahead of the hook's
            (void)platform::run_shell("sh /tmp/process.sh");
            (void)platform::run_shell("sync");
            signal_ack();
        } else {
            std::printf("Record on count: %d. That was probably a photo.\n", on_count);
        }
    }
    status_output(0);
    std::printf("Recording stopped\n");
}

}  // namespace

int recorder_main() {
    // Without the register windows nothing may touch GPIO or the counter.
    if (hw_map() != 0) return -1;
    clock_init();

    RunState run;
    if (!start_up(run)) return -1;
    for (;;) {
        if (!wait_for_recording(run)) return -1;
        run_recording(run);
    }
}

}  // namespace tarvex
