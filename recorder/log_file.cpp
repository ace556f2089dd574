#include "log_file.h"

#include <fcntl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cstdio>

#include "counter.h"
#include "dat_format.h"
#include "eeprom.h"
#include "platform.h"
#include "variant.h"

namespace tarvex {

namespace {

// Reported once per recording. A partly written entry is cut off again so
// that the file ends on a whole record and still reads back cleanly.
void log_write_failed(LogFile& log) {
    log.failed = true;
    std::printf("Could not write log file: card full or removed? The rest of this recording is not logged.\n");
    (void)ftruncate(log.fd, static_cast<off_t>(log.whole_bytes));
}

}  // namespace

bool log_open(LogFile& log) {
    log = LogFile{};
    log.fd = open(platform::camera_path(LOG_FILE_PATH).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log.fd < 0) {
        std::printf("Could not open log file\n");
        return false;
    }
    return true;
}

void log_write_header(LogFile& log, const char* serial, std::int32_t ground_offset) {
    if (log.fd < 0 || log.failed) return;
    if (write_dat_header(log.fd, serial, ground_offset, hw_ticks(), identity.expander_id,
                         recorder_variant.hw_revision) != 0) {
        log_write_failed(log);
        return;
    }
    log.whole_bytes += DAT_HEADER_SIZE;
}

void log_write_sample(LogFile& log, std::uint32_t vid_timestamp, std::int32_t altitude, const BaroSample& baro,
                      const AccelSample* accel) {
    if (log.fd < 0 || log.failed) return;
    std::int16_t xyz[3] = {};
    if (accel != nullptr) {
        xyz[0] = accel->x;
        xyz[1] = accel->y;
        xyz[2] = accel->z;
    }
    if (write_sensor_sample(log.fd, vid_timestamp, altitude, baro.pressure, baro.temperature,
                            accel != nullptr ? xyz : nullptr, 0) != 0) {
        log_write_failed(log);
        return;
    }
    log.whole_bytes += SENSOR_SAMPLE_ENTRY;
}

void log_close(LogFile& log) {
    if (log.fd >= 0) close(log.fd);
    log.fd = -1;
}

}  // namespace tarvex
