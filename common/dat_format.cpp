#include "dat_format.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "byte_order.h"

namespace tarvex {

std::array<std::uint8_t, DAT_HEADER_SIZE> encode_dat_header(const DatHeader& h) {
    std::array<std::uint8_t, DAT_HEADER_SIZE> b{};
    store_le32(&b[hdr_off::magic], h.magic);
    store_le32(&b[hdr_off::rec_date], h.rec_date);
    store_le32(&b[hdr_off::version], h.version);
    store_le32(&b[hdr_off::ground_offset], static_cast<std::uint32_t>(h.ground_offset));
    store_le32(&b[hdr_off::expander_id], h.expander_id);
    store_le32(&b[hdr_off::hw_revision], h.hw_revision);
    std::memcpy(&b[hdr_off::serial], h.serial.data(), DAT_SERIAL_SIZE);
    return b;
}

DatHeader decode_dat_header(const std::uint8_t* b) {
    DatHeader h;
    h.magic = load_le32(b + hdr_off::magic);
    h.rec_date = load_le32(b + hdr_off::rec_date);
    h.version = load_le32(b + hdr_off::version);
    h.ground_offset = load_le_i32(b + hdr_off::ground_offset);
    h.expander_id = load_le32(b + hdr_off::expander_id);
    h.hw_revision = load_le32(b + hdr_off::hw_revision);
    // Kept as stored: a foreign writer may fill all 32 bytes without a
    // terminator, so readers bound the text by the field (strnlen).
    std::memcpy(h.serial.data(), b + hdr_off::serial, DAT_SERIAL_SIZE);
    return h;
}

void encode_sensor_sample(std::uint8_t* p, const SensorSample& s) {
    store_le32(p + sample_off::abs_press, static_cast<std::uint32_t>(s.abs_press));
    store_le32(p + sample_off::temp, static_cast<std::uint32_t>(s.temp));
    store_le32(p + sample_off::altitude, static_cast<std::uint32_t>(s.altitude));
    store_le32(p + sample_off::press_copy, static_cast<std::uint32_t>(s.press_copy));
    store_le16(p + sample_off::accel_x, static_cast<std::uint16_t>(s.accel_x));
    store_le16(p + sample_off::accel_y, static_cast<std::uint16_t>(s.accel_y));
    store_le16(p + sample_off::accel_z, static_cast<std::uint16_t>(s.accel_z));
    // Two little-endian halves, low half first: the same bytes as one LE u32.
    store_le16(p + sample_off::flags, static_cast<std::uint16_t>(s.flags & 0xFFFFu));
    store_le16(p + sample_off::flags + 2, static_cast<std::uint16_t>(s.flags >> 16));
}

void encode_gps_fix(std::uint8_t* p, const GpsFix& f) {
    store_le64(p + fix_off::gps_timestamp, f.gps_timestamp);
    store_le32(p + fix_off::lat_frac, f.lat_frac);
    store_le32(p + fix_off::lon_frac, f.lon_frac);
    store_le32(p + fix_off::dist, static_cast<std::uint32_t>(f.dist));
    store_le32(p + fix_off::gps_alt, static_cast<std::uint32_t>(f.gps_alt));
    store_le16(p + fix_off::lat_deg, static_cast<std::uint16_t>(f.lat_deg));
    store_le16(p + fix_off::lon_deg, static_cast<std::uint16_t>(f.lon_deg));
    store_le16(p + fix_off::gps_speed, static_cast<std::uint16_t>(f.gps_speed));
    store_le16(p + fix_off::accuracy, static_cast<std::uint16_t>(f.accuracy));
    p[fix_off::used_sat] = f.used_sat;
    p[fix_off::total_sat] = f.total_sat;
    store_le16(p + fix_off::heading, static_cast<std::uint16_t>(f.heading));
}

void encode_gps_nav_data(std::uint8_t* p, const GpsNavData& n) {
    store_le32(p + nav_off::lat, static_cast<std::uint32_t>(n.lat));
    store_le32(p + nav_off::lon, static_cast<std::uint32_t>(n.lon));
    store_le32(p + nav_off::ecef_x, static_cast<std::uint32_t>(n.ecef_x));
    store_le32(p + nav_off::ecef_y, static_cast<std::uint32_t>(n.ecef_y));
    store_le32(p + nav_off::ecef_z, static_cast<std::uint32_t>(n.ecef_z));
    store_le32(p + nav_off::time_of_week, n.time_of_week);
    store_le32(p + nav_off::gps_alt, n.gps_alt);
    store_le16(p + nav_off::week, n.week);
    store_le16(p + nav_off::pdop, n.pdop);
    store_le16(p + nav_off::vdop, n.vdop);
    p[nav_off::fix_mode] = n.fix_mode;
    p[nav_off::used_sat] = n.used_sat;
    store_le32(p + nav_off::h_speed, static_cast<std::uint32_t>(n.h_speed));
    store_le32(p + nav_off::vspeed, static_cast<std::uint32_t>(n.vspeed));
}

std::size_t encode_log_entry(std::uint8_t* out, std::uint16_t type, std::uint16_t size, std::uint32_t vid_timestamp,
                             const std::uint8_t* payload) {
    store_le16(out + 0, type);
    store_le16(out + 2, size);
    store_le32(out + 4, vid_timestamp);
    if (size != 0) std::memcpy(out + ENTRY_HEADER_SIZE, payload, size);
    return ENTRY_HEADER_SIZE + size;
}

namespace {

// One write call; a short or failed write counts as failure.
int write_all_once(int fd, const std::uint8_t* bytes, std::size_t n) {
    ssize_t w;
    do {
        w = ::write(fd, bytes, n);
    } while (w < 0 && errno == EINTR);
    return w == static_cast<ssize_t>(n) ? 0 : -1;
}

}  // namespace

int write_dat_header(int fd, const char* serial, std::int32_t ground_offset, std::uint32_t rec_date,
                     std::uint32_t expander_id, std::uint32_t hw_revision) {
    DatHeader h;
    h.rec_date = rec_date;
    h.ground_offset = ground_offset;
    h.expander_id = expander_id;
    h.hw_revision = hw_revision;
    if (serial != nullptr) {
        // At most 31 characters and the terminator; the rest stays zero.
        std::size_t n = strnlen(serial, DAT_SERIAL_SIZE - 1);
        std::memcpy(h.serial.data(), serial, n);
    }
    const auto bytes = encode_dat_header(h);
    return write_all_once(fd, bytes.data(), bytes.size());
}

int write_sensor_sample(int fd, std::uint32_t vid_timestamp, std::int32_t altitude, std::int32_t pressure,
                        std::int32_t temperature, const std::int16_t* accel_xyz, std::uint32_t flags) {
    SensorSample s;
    s.abs_press = pressure;
    s.temp = temperature;
    s.altitude = altitude;
    s.press_copy = pressure;
    if (accel_xyz != nullptr) {
        s.accel_x = accel_xyz[0];
        s.accel_y = accel_xyz[1];
        s.accel_z = accel_xyz[2];
    }
    s.flags = flags;
    std::array<std::uint8_t, SENSOR_SAMPLE_PAYLOAD> payload{};
    encode_sensor_sample(payload.data(), s);
    std::array<std::uint8_t, SENSOR_SAMPLE_ENTRY> entry{};
    encode_log_entry(entry.data(), static_cast<std::uint16_t>(EntryKind::SensorSample),
                     static_cast<std::uint16_t>(SENSOR_SAMPLE_PAYLOAD), vid_timestamp, payload.data());
    return write_all_once(fd, entry.data(), entry.size());
}

bool has_dat_magic(std::span<const std::uint8_t> start) {
    return start.size() < sizeof DAT_MAGIC || load_le32(start.data() + hdr_off::magic) == DAT_MAGIC;
}

HeaderCheck check_dat_header(std::span<const std::uint8_t> start, DatHeader& out) {
    if (start.size() < DAT_HEADER_SIZE) return HeaderCheck::Short;
    out = decode_dat_header(start.data());
    if (out.magic != DAT_MAGIC) return HeaderCheck::BadMagic;
    if (out.version != DAT_VERSION) return HeaderCheck::BadVersion;
    return HeaderCheck::Ok;
}

std::string dat_header_problem(HeaderCheck check, const DatHeader& h) {
    std::array<char, 64> line{};
    switch (check) {
        case HeaderCheck::Ok: break;
        case HeaderCheck::Short: return "Error reading DAT header!";
        case HeaderCheck::BadMagic:
            std::snprintf(line.data(), line.size(), "Invalid DAT header magic: %08x!", h.magic);
            break;
        case HeaderCheck::BadVersion:
            std::snprintf(line.data(), line.size(), "Unexpected DAT file version: %d", static_cast<int>(h.version));
            break;
    }
    return line.data();
}

int read_dat_header(std::FILE* f, DatHeader& out, std::string* problem) {
    std::array<std::uint8_t, DAT_HEADER_SIZE> b{};
    const std::size_t got = std::fread(b.data(), 1, b.size(), f);
    const HeaderCheck check = check_dat_header(std::span(b.data(), got), out);
    if (check == HeaderCheck::Ok) return 0;
    const std::string line = dat_header_problem(check, out);
    std::puts(line.c_str());
    if (problem != nullptr) *problem = line;
    return -1;
}

namespace {

// Moves the unread bytes to the block's start and reads until `n` are there.
bool refill(LogReader& r, std::size_t n) {
    std::memmove(r.block.data(), r.block.data() + r.pos, r.len - r.pos);
    r.block_start += r.pos;
    r.len -= r.pos;
    r.pos = 0;
    while (r.len < n && !r.drained) {
        const std::size_t got = std::fread(r.block.data() + r.len, 1, r.block.size() - r.len, r.file);
        r.len += got;
        r.drained = got == 0;
    }
    return r.len >= n;
}

// Makes `n` (at most a block) unread bytes available from r.pos on; false
// when the stream ends first.
inline bool have(LogReader& r, std::size_t n) { return r.len - r.pos >= n || refill(r, n); }

ReadResult end_of_entries(LogReader& r) {
    r.pos = r.len;  // a cut entry's bytes are never read as the next entry
    r.drained = true;
    return ReadResult::End;
}

}  // namespace

ReadResult read_log_entry_any(LogReader& r, LogEntry& e) {
    e = LogEntry{};
    if (!have(r, ENTRY_HEADER_SIZE)) return end_of_entries(r);
    const std::uint8_t* h = r.block.data() + r.pos;
    e.type = load_le16(h);
    e.size = load_le16(h + 2);
    e.vid_timestamp = load_le32(h + 4);
    if (e.size == 0) {
        r.pos += ENTRY_HEADER_SIZE;
        return ReadResult::InvalidSize;
    }
    const std::size_t keep = e.size < MAX_PAYLOAD ? e.size : MAX_PAYLOAD;
    if (!have(r, ENTRY_HEADER_SIZE + keep)) return end_of_entries(r);
    std::memcpy(e.payload.data(), r.block.data() + r.pos + ENTRY_HEADER_SIZE, keep);
    r.pos += ENTRY_HEADER_SIZE + keep;
    // An oversized payload keeps its first 96 bytes; the excess is skipped,
    // so the next entry starts where the writer put it (and a cut excess
    // ends the entries like any truncated payload).
    for (std::size_t left = e.size - keep; left > 0;) {
        if (!have(r, 1)) return end_of_entries(r);
        const std::size_t n = left < r.len - r.pos ? left : r.len - r.pos;
        r.pos += n;
        left -= n;
    }
    e.size = static_cast<std::uint16_t>(keep);  // the record never claims more than it holds
    return ReadResult::Entry;
}

}  // namespace tarvex
