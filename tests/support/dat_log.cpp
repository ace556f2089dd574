// The DAT log builder: entries are encoded by common/dat_format.cpp, so the
// tests read what the recorder writes; raw entries bypass it on purpose.
#include "dat_log.h"

#include <cstring>
#include <utility>

#include "byte_order.h"

namespace tarvex::test {

SensorSample reading(std::int32_t altitude, std::int32_t temp, std::array<std::int16_t, 3> accel, std::uint32_t flags) {
    SensorSample s;
    s.abs_press = 101325;
    s.temp = temp;
    s.altitude = altitude;
    s.press_copy = 101325;
    s.accel_x = accel[0];
    s.accel_y = accel[1];
    s.accel_z = accel[2];
    s.flags = flags;
    return s;
}

DatHeader log_header(std::uint32_t expander_id) {
    DatHeader h;
    h.rec_date = 1700000000;
    h.expander_id = expander_id;
    h.hw_revision = 3;
    std::strcpy(h.serial.data(), "TX-0042");
    return h;
}

namespace {

LogEntry entry_of(EntryKind kind, std::size_t size, std::uint32_t ts) {
    LogEntry e;
    e.type = static_cast<std::uint16_t>(kind);
    e.size = static_cast<std::uint16_t>(size);
    e.vid_timestamp = ts;
    return e;
}

}  // namespace

LogEntry sample_entry(std::uint32_t ts, const SensorSample& s) {
    LogEntry e = entry_of(EntryKind::SensorSample, SENSOR_SAMPLE_PAYLOAD, ts);
    encode_sensor_sample(e.payload.data(), s);
    return e;
}

LogEntry fix_entry(std::uint32_t ts, const GpsFix& f) {
    LogEntry e = entry_of(EntryKind::GpsFix, fix_off::min_size, ts);
    encode_gps_fix(e.payload.data(), f);
    return e;
}

LogEntry fix2_entry(std::uint32_t ts, std::uint16_t speed) {
    LogEntry e = entry_of(EntryKind::GpsFix2, fix2_off::min_size, ts);
    store_le16(e.payload.data() + fix2_off::speed, speed);
    return e;
}

LogEntry nav_entry(std::uint32_t ts, const GpsNavData& n) {
    LogEntry e = entry_of(EntryKind::GpsNavData, nav_off::min_size, ts);
    encode_gps_nav_data(e.payload.data(), n);
    return e;
}

DatLog::DatLog(const DatHeader& h) {
    const auto b = encode_dat_header(h);
    bytes_.assign(b.begin(), b.end());
}

DatLog& DatLog::add(const LogEntry& e) {
    std::array<std::uint8_t, ENTRY_HEADER_SIZE + MAX_PAYLOAD> b{};
    const std::size_t n = encode_log_entry(b.data(), e.type, e.size, e.vid_timestamp, e.payload.data());
    bytes_.append(reinterpret_cast<const char*>(b.data()), n);
    return *this;
}

DatLog& DatLog::entry(std::uint16_t type, std::uint16_t size, std::uint32_t ts, std::string_view payload) {
    std::array<std::uint8_t, ENTRY_HEADER_SIZE> h{};
    store_le16(&h[0], type);
    store_le16(&h[2], size);
    store_le32(&h[4], ts);
    bytes_.append(reinterpret_cast<const char*>(h.data()), h.size());
    return raw(payload);
}

DatLog& DatLog::raw(std::string_view bytes) {
    bytes_.append(bytes);
    return *this;
}

std::string DatLog::take() { return std::exchange(bytes_, {}); }

File stream_of(std::string_view bytes) {
    File f(std::tmpfile());
    if (f) {
        if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), f.get());
        std::rewind(f.get());
    }
    return f;
}

}  // namespace tarvex::test
