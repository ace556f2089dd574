// The DAT log: an 88-byte header, then entries (8-byte entry header + payload)
// back to back until end of file. All integers little-endian, unaligned.
// This header is the one place that defines the byte offsets; reader, writers
// and tests all use it.
#pragma once

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <span>
#include <string>
#include <utility>

#include "byte_order.h"

namespace tarvex {

// Marker for a missing pressure, temperature or altitude.
inline constexpr std::int32_t NO_VALUE = 0x40000000;

inline constexpr std::uint32_t DAT_MAGIC = 0x58565254;  // "TRVX" read as LE u32
inline constexpr std::uint32_t DAT_VERSION = 1;
inline constexpr std::size_t DAT_HEADER_SIZE = 88;
inline constexpr std::size_t DAT_SERIAL_SIZE = 32;
inline constexpr std::uint32_t EXPANDER_NONE = 255;
inline constexpr std::uint32_t EXPANDER_GPS = 3;

// Byte offsets inside the 88-byte header.
namespace hdr_off {
inline constexpr std::size_t magic = 0;
inline constexpr std::size_t rec_date = 4;
inline constexpr std::size_t version = 8;
inline constexpr std::size_t ground_offset = 12;
inline constexpr std::size_t expander_id = 16;
inline constexpr std::size_t hw_revision = 20;
inline constexpr std::size_t serial = 24;
inline constexpr std::size_t reserved = 56;
}  // namespace hdr_off

struct DatHeader {
    std::uint32_t magic = DAT_MAGIC;
    std::uint32_t rec_date = 0;  // camera seconds counter, read as Unix seconds
    std::uint32_t version = DAT_VERSION;
    std::int32_t ground_offset = 0;  // feet, already subtracted from every altitude
    std::uint32_t expander_id = EXPANDER_NONE;
    std::uint32_t hw_revision = 0;
    std::array<char, DAT_SERIAL_SIZE> serial{};  // raw bytes: text, NUL-padded; all 32 may be text
};

std::array<std::uint8_t, DAT_HEADER_SIZE> encode_dat_header(const DatHeader& h);
DatHeader decode_dat_header(const std::uint8_t* bytes);  // bytes: DAT_HEADER_SIZE long

// Entry kinds.
enum class EntryKind : std::uint16_t {
    SensorSample = 240,
    GpsFix = 241,
    GpsFix2 = 242,
    GpsNavData = 243,
};

inline constexpr std::size_t ENTRY_HEADER_SIZE = 8;
inline constexpr std::size_t MAX_PAYLOAD = 96;
inline constexpr std::size_t SENSOR_SAMPLE_PAYLOAD = 26;
inline constexpr std::size_t SENSOR_SAMPLE_ENTRY = ENTRY_HEADER_SIZE + SENSOR_SAMPLE_PAYLOAD;

// One entry as the converter holds it: header fields and a zero-filled
// 96-byte payload area (104 bytes in the file's terms); read_log_entry
// leaves the area of a full sensor sample past its 26 bytes as it was.
struct LogEntry {
    std::uint16_t type = 0;
    std::uint16_t size = 0;
    std::uint32_t vid_timestamp = 0;
    alignas(4) std::array<std::uint8_t, MAX_PAYLOAD> payload{};  // decoders rely on the alignment
};

// Payload offsets (entry offset minus 8) of every field the system knows.
namespace sample_off {                         // SensorSample, kind 240
inline constexpr std::size_t abs_press = 0;    // i32 Pa
inline constexpr std::size_t temp = 4;         // i32 0.1 degC
inline constexpr std::size_t altitude = 8;     // i32 ft
inline constexpr std::size_t press_copy = 12;  // i32 Pa
inline constexpr std::size_t accel_x = 16;     // i16 counts, -1 when none
inline constexpr std::size_t accel_y = 18;
inline constexpr std::size_t accel_z = 20;
inline constexpr std::size_t flags = 22;  // u32, stored as two LE u16 halves
}  // namespace sample_off

namespace fix_off {                              // GpsFix, kind 241
inline constexpr std::size_t gps_timestamp = 0;  // u64 Unix ms
inline constexpr std::size_t lat_frac = 8;       // u32 millionths of a degree
inline constexpr std::size_t lon_frac = 12;
inline constexpr std::size_t dist = 16;     // i32 10 m units
inline constexpr std::size_t gps_alt = 20;  // i32 cm
inline constexpr std::size_t lat_deg = 24;  // i16, carries the sign
inline constexpr std::size_t lon_deg = 26;
inline constexpr std::size_t gps_speed = 28;  // i16 km/h
inline constexpr std::size_t accuracy = 30;   // i16 m
inline constexpr std::size_t used_sat = 32;   // u8
inline constexpr std::size_t total_sat = 33;  // u8
inline constexpr std::size_t heading = 34;    // i16 degrees
inline constexpr std::size_t min_size = 36;
}  // namespace fix_off

namespace fix2_off {                     // GpsFix2, kind 242
inline constexpr std::size_t speed = 4;  // u16, copied to fix_off::gps_speed
inline constexpr std::size_t min_size = 6;
}  // namespace fix2_off

namespace nav_off {                    // GpsNavData, kind 243
inline constexpr std::size_t lat = 0;  // i32 1e-7 degree
inline constexpr std::size_t lon = 4;
inline constexpr std::size_t ecef_x = 8;  // i32 cm
inline constexpr std::size_t ecef_y = 12;
inline constexpr std::size_t ecef_z = 16;
inline constexpr std::size_t time_of_week = 32;  // u32 1/100 s
inline constexpr std::size_t gps_alt = 36;       // u32 cm
inline constexpr std::size_t week = 40;          // u16
inline constexpr std::size_t pdop = 42;          // u16 1/100
inline constexpr std::size_t vdop = 44;          // u16 1/100
inline constexpr std::size_t fix_mode = 46;      // u8
inline constexpr std::size_t used_sat = 47;      // u8
inline constexpr std::size_t h_speed = 48;       // i32 km/h
inline constexpr std::size_t vspeed = 52;        // i32 km/h
inline constexpr std::size_t min_size = 56;
}  // namespace nav_off

// Decoded kind-240 payload.
struct SensorSample {
    std::int32_t abs_press = NO_VALUE;
    std::int32_t temp = NO_VALUE;
    std::int32_t altitude = NO_VALUE;
    std::int32_t press_copy = NO_VALUE;
    std::int16_t accel_x = -1;
    std::int16_t accel_y = -1;
    std::int16_t accel_z = -1;
    std::uint32_t flags = 0;
};

struct GpsFix {
    std::uint64_t gps_timestamp = 0;
    std::uint32_t lat_frac = 0;
    std::uint32_t lon_frac = 0;
    std::int32_t dist = 0;
    std::int32_t gps_alt = 0;
    std::int16_t lat_deg = 0;
    std::int16_t lon_deg = 0;
    std::int16_t gps_speed = 0;
    std::int16_t accuracy = 0;
    std::uint8_t used_sat = 0;
    std::uint8_t total_sat = 0;
    std::int16_t heading = 0;
};

struct GpsNavData {
    std::int32_t lat = 0;
    std::int32_t lon = 0;
    std::int32_t ecef_x = 0;
    std::int32_t ecef_y = 0;
    std::int32_t ecef_z = 0;
    std::uint32_t time_of_week = 0;
    std::uint32_t gps_alt = 0;
    std::uint16_t week = 0;
    std::uint16_t pdop = 0;
    std::uint16_t vdop = 0;
    std::uint8_t fix_mode = 0;
    std::uint8_t used_sat = 0;
    std::int32_t h_speed = 0;
    std::int32_t vspeed = 0;
};

// Payload codecs. `payload` is at least the kind's size long (a LogEntry's
// 96-byte area always is). ALIGNED: the payload starts at a multiple of 4
// bytes, as a LogEntry's does (whole-word loads where the host allows).
namespace dat_detail {
template <bool ALIGNED>
SensorSample decode_sensor_sample(const std::uint8_t* p) {
    SensorSample s;
    s.abs_press = static_cast<std::int32_t>(load_le_field<std::uint32_t, sample_off::abs_press, ALIGNED>(p));
    s.temp = static_cast<std::int32_t>(load_le_field<std::uint32_t, sample_off::temp, ALIGNED>(p));
    s.altitude = static_cast<std::int32_t>(load_le_field<std::uint32_t, sample_off::altitude, ALIGNED>(p));
    s.press_copy = static_cast<std::int32_t>(load_le_field<std::uint32_t, sample_off::press_copy, ALIGNED>(p));
    s.accel_x = static_cast<std::int16_t>(load_le_field<std::uint16_t, sample_off::accel_x, ALIGNED>(p));
    s.accel_y = static_cast<std::int16_t>(load_le_field<std::uint16_t, sample_off::accel_y, ALIGNED>(p));
    s.accel_z = static_cast<std::int16_t>(load_le_field<std::uint16_t, sample_off::accel_z, ALIGNED>(p));
    s.flags = load_le_field<std::uint32_t, sample_off::flags, ALIGNED>(p);
    return s;
}

template <bool ALIGNED>
GpsFix decode_gps_fix(const std::uint8_t* p) {
    GpsFix f;
    f.gps_timestamp =
        load_le_field<std::uint32_t, fix_off::gps_timestamp, ALIGNED>(p) |
        (static_cast<std::uint64_t>(load_le_field<std::uint32_t, fix_off::gps_timestamp + 4, ALIGNED>(p)) << 32);
    f.lat_frac = load_le_field<std::uint32_t, fix_off::lat_frac, ALIGNED>(p);
    f.lon_frac = load_le_field<std::uint32_t, fix_off::lon_frac, ALIGNED>(p);
    f.dist = static_cast<std::int32_t>(load_le_field<std::uint32_t, fix_off::dist, ALIGNED>(p));
    f.gps_alt = static_cast<std::int32_t>(load_le_field<std::uint32_t, fix_off::gps_alt, ALIGNED>(p));
    f.lat_deg = static_cast<std::int16_t>(load_le_field<std::uint16_t, fix_off::lat_deg, ALIGNED>(p));
    f.lon_deg = static_cast<std::int16_t>(load_le_field<std::uint16_t, fix_off::lon_deg, ALIGNED>(p));
    f.gps_speed = static_cast<std::int16_t>(load_le_field<std::uint16_t, fix_off::gps_speed, ALIGNED>(p));
    f.accuracy = static_cast<std::int16_t>(load_le_field<std::uint16_t, fix_off::accuracy, ALIGNED>(p));
    f.used_sat = p[fix_off::used_sat];
    f.total_sat = p[fix_off::total_sat];
    f.heading = static_cast<std::int16_t>(load_le_field<std::uint16_t, fix_off::heading, ALIGNED>(p));
    return f;
}

template <bool ALIGNED>
GpsNavData decode_gps_nav_data(const std::uint8_t* p) {
    GpsNavData n;
    n.lat = static_cast<std::int32_t>(load_le_field<std::uint32_t, nav_off::lat, ALIGNED>(p));
    n.lon = static_cast<std::int32_t>(load_le_field<std::uint32_t, nav_off::lon, ALIGNED>(p));
    n.ecef_x = static_cast<std::int32_t>(load_le_field<std::uint32_t, nav_off::ecef_x, ALIGNED>(p));
    n.ecef_y = static_cast<std::int32_t>(load_le_field<std::uint32_t, nav_off::ecef_y, ALIGNED>(p));
    n.ecef_z = static_cast<std::int32_t>(load_le_field<std::uint32_t, nav_off::ecef_z, ALIGNED>(p));
    n.time_of_week = load_le_field<std::uint32_t, nav_off::time_of_week, ALIGNED>(p);
    n.gps_alt = load_le_field<std::uint32_t, nav_off::gps_alt, ALIGNED>(p);
    n.week = load_le_field<std::uint16_t, nav_off::week, ALIGNED>(p);
    n.pdop = load_le_field<std::uint16_t, nav_off::pdop, ALIGNED>(p);
    n.vdop = load_le_field<std::uint16_t, nav_off::vdop, ALIGNED>(p);
    n.fix_mode = p[nav_off::fix_mode];
    n.used_sat = p[nav_off::used_sat];
    n.h_speed = static_cast<std::int32_t>(load_le_field<std::uint32_t, nav_off::h_speed, ALIGNED>(p));
    n.vspeed = static_cast<std::int32_t>(load_le_field<std::uint32_t, nav_off::vspeed, ALIGNED>(p));
    return n;
}
}  // namespace dat_detail

inline SensorSample decode_sensor_sample(const std::uint8_t* payload) {
    return dat_detail::decode_sensor_sample<false>(payload);
}
inline SensorSample decode_sensor_sample(const LogEntry& e) {
    return dat_detail::decode_sensor_sample<true>(e.payload.data());
}
void encode_sensor_sample(std::uint8_t* payload, const SensorSample& s);
inline GpsFix decode_gps_fix(const std::uint8_t* payload) { return dat_detail::decode_gps_fix<false>(payload); }
inline GpsFix decode_gps_fix(const LogEntry& e) { return dat_detail::decode_gps_fix<true>(e.payload.data()); }
void encode_gps_fix(std::uint8_t* payload, const GpsFix& f);
inline GpsNavData decode_gps_nav_data(const std::uint8_t* payload) {
    return dat_detail::decode_gps_nav_data<false>(payload);
}
inline GpsNavData decode_gps_nav_data(const LogEntry& e) {
    return dat_detail::decode_gps_nav_data<true>(e.payload.data());
}
void encode_gps_nav_data(std::uint8_t* payload, const GpsNavData& n);

// Whole entry (header + payload) as bytes for a file; used by writers and tests.
// Returns the number of bytes written into `out` (8 + size).
std::size_t encode_log_entry(std::uint8_t* out, std::uint16_t type, std::uint16_t size, std::uint32_t vid_timestamp,
                             const std::uint8_t* payload);

// ---- Recorder side: one write(2) call each, on a raw descriptor so that a
// full or removed card shows as a failed call. Return 0, or -1 when the
// write did not take all bytes.
int write_dat_header(int fd, const char* serial /* or nullptr */, std::int32_t ground_offset, std::uint32_t rec_date,
                     std::uint32_t expander_id, std::uint32_t hw_revision);

int write_sensor_sample(int fd, std::uint32_t vid_timestamp, std::int32_t altitude, std::int32_t pressure,
                        std::int32_t temperature, const std::int16_t* accel_xyz /* or nullptr */, std::uint32_t flags);

// ---- Readers' side.
// The one check of a log's start, in the order the converter reports:
// `start` is what the file holds of its first DAT_HEADER_SIZE bytes (fewer
// when the file is shorter). `out` is decoded from a whole header.
enum class HeaderCheck { Ok, Short, BadMagic, BadVersion };
HeaderCheck check_dat_header(std::span<const std::uint8_t> start, DatHeader& out);
// Whether a file is meant as a log, judged by its first bytes (at least 4
// when it has them): it starts with the magic, or is too short to tell (its
// conversion then says why it fails).
bool has_dat_magic(std::span<const std::uint8_t> start);

// The converter's line for a refused header, without the newline; empty for Ok.
std::string dat_header_problem(HeaderCheck check, const DatHeader& h);

// Reads and checks the header; prints dat_header_problem's line and returns
// -1 on a short header, wrong magic or wrong version; 0 when valid. With
// `problem`, the line is also kept there.
int read_dat_header(std::FILE* f, DatHeader& out, std::string* problem = nullptr);

enum class ReadResult { Entry, End, InvalidSize };

// Reads a log's entries from a stream in large blocks: one fread per 64 KiB
// instead of two or more per entry, which on the camera cost more than the
// decoding. Entries are decoded from the block in place. Nothing else may
// read the stream while a reader holds part of it.
inline constexpr std::size_t LOG_BLOCK_SIZE = 64 * 1024;

struct LogReader {
    std::FILE* file = nullptr;  // positioned after the header
    std::size_t pos = 0;        // first unread byte of `block`
    std::size_t len = 0;        // bytes held in `block`
    bool drained = false;       // the stream has given all it will
    // Bytes of the stream before block[0], counted from where a fresh reader
    // started; kept per block, so the entries' path pays nothing for it.
    std::uint64_t block_start = 0;
    alignas(4) std::array<std::uint8_t, LOG_BLOCK_SIZE> block;
};

// Where the next entry starts, in bytes from where the reader started. After
// End it is the stream's length: the bytes of a cut-off last entry are those
// between its start and this.
inline std::uint64_t reader_offset(const LogReader& r) { return r.block_start + r.pos; }

// Zero `e`, then take the 8-byte entry header and `size` payload bytes. A
// payload over 96 bytes keeps its first 96 and the rest is skipped so the
// next entry starts where it should. A short header or payload ends the
// entries: every later call returns End too.
// Inline for the common case only (whole_entry below); read_log_entry_any
// takes every case.
ReadResult read_log_entry_any(LogReader& r, LogEntry& e);

namespace dat_detail {
// Moves on the camera's processor, which has no unaligned access and makes
// memcpy and memset library calls: whole words or halves where the address
// allows, in straight lines (a loop would be turned back into the call).
// The same bytes on any host.
template <class T, std::size_t... I>
inline void copy_units(std::uint8_t* dst, const std::uint8_t* src, std::index_sequence<I...>) {
    T v;
    ((std::memcpy(&v, src + I * sizeof v, sizeof v), std::memcpy(dst + I * sizeof v, &v, sizeof v)), ...);
}

// SIZE (even) bytes; `src` even, `dst` at a multiple of 4.
template <std::size_t SIZE>
inline void copy_even_payload(std::uint8_t* dst, const std::uint8_t* src) {
    static_assert(SIZE % 2 == 0);
    auto* d = static_cast<std::uint8_t*>(__builtin_assume_aligned(dst, 4));
    if ((reinterpret_cast<std::uintptr_t>(src) & 3) == 0) {
        const auto* s = static_cast<const std::uint8_t*>(__builtin_assume_aligned(src, 4));
        // Whole words, both ends aligned: the compiler moves them in blocks
        // (ldm, stm) rather than calling the library.
        std::memcpy(d, s, SIZE / 4 * 4);
        copy_units<std::uint16_t>(d + SIZE / 4 * 4, s + SIZE / 4 * 4, std::make_index_sequence<SIZE % 4 / 2>());
    } else {
        const auto* s = static_cast<const std::uint8_t*>(__builtin_assume_aligned(src, 2));
        copy_units<std::uint16_t>(d, s, std::make_index_sequence<SIZE / 2>());
    }
}

inline void copy_sample_payload(std::uint8_t* dst, const std::uint8_t* src) {
    copy_even_payload<SENSOR_SAMPLE_PAYLOAD>(dst, src);
}

// Any other payload, `src` even and `dst` at a multiple of 4: the GPS kinds'
// usual sizes in straight lines, the rest by the library.
inline void copy_other_payload(std::uint8_t* dst, const std::uint8_t* src, std::size_t size) {
    switch (size) {
        case fix_off::min_size: copy_even_payload<fix_off::min_size>(dst, src); break;
        case nav_off::min_size: copy_even_payload<nav_off::min_size>(dst, src); break;
        default: std::memcpy(dst, src, size); break;
    }
}

// `dst` at a multiple of 4.
template <std::size_t... I>
inline void zero_words(std::uint8_t* dst, std::index_sequence<I...>) {
    auto* d = static_cast<std::uint8_t*>(__builtin_assume_aligned(dst, 4));
    const std::uint32_t zero = 0;
    (std::memcpy(d + I * sizeof zero, &zero, sizeof zero), ...);
}

// Little-endian field at an even address.
inline std::uint16_t load_le16_even(const std::uint8_t* p) {
    if constexpr (std::endian::native == std::endian::little) {
        std::uint16_t v;
        std::memcpy(&v, __builtin_assume_aligned(p, 2), sizeof v);
        return v;
    } else {
        return load_le16(p);
    }
}
}  // namespace dat_detail

// whole_entry (below) in two steps. The first: the next entry's header when the
// block holds the largest entry from there on at an even address, whatever
// the entry's size; otherwise nullptr.
inline const std::uint8_t* entry_in_block(const LogReader& r) {
    const std::uint8_t* h = r.block.data() + r.pos;
    if (r.len - r.pos < ENTRY_HEADER_SIZE + MAX_PAYLOAD || (reinterpret_cast<std::uintptr_t>(h) & 1) != 0) {
        return nullptr;
    }
    return h;
}

// The second: whether that entry's size is 1 to 96.
inline bool entry_size_whole(const std::uint8_t* h) {
    const std::uint16_t size = dat_detail::load_le16_even(h + 2);
    return size != 0 && size <= MAX_PAYLOAD;
}

// The header of the next entry when the entry lies whole in the block at an
// even address with 1 to 96 payload bytes (every entry of a log whose
// entries all have even sizes, but for a few at each block's end);
// otherwise nullptr. Such an entry is sure to be read by take_whole_entry
// (or by the one of its two cases that it is for).
inline const std::uint8_t* whole_entry(const LogReader& r) {
    const std::uint8_t* h = entry_in_block(r);
    return h != nullptr && entry_size_whole(h) ? h : nullptr;
}

inline std::uint16_t whole_entry_type(const std::uint8_t* h) { return dat_detail::load_le16_even(h); }

// Whether whole_entry's entry (or entry_in_block's: a full sample is whole)
// is a full sensor sample, the most common entry, which take_sample_entry reads.
inline bool whole_entry_is_sample(const std::uint8_t* h) {
    return dat_detail::load_le16_even(h) == static_cast<std::uint16_t>(EntryKind::SensorSample) &&
           dat_detail::load_le16_even(h + 2) == SENSOR_SAMPLE_PAYLOAD;
}

// Reads such an entry as take_whole_entry does: it fills every field its
// readers decode, so the rest of the record's area is not cleared.
inline void take_sample_entry(LogReader& r, const std::uint8_t* h, LogEntry& e) {
    using namespace dat_detail;
    e.type = static_cast<std::uint16_t>(EntryKind::SensorSample);
    e.size = SENSOR_SAMPLE_PAYLOAD;
    e.vid_timestamp = load_le16_even(h + 4) | (static_cast<std::uint32_t>(load_le16_even(h + 6)) << 16);
    copy_sample_payload(e.payload.data(), h + ENTRY_HEADER_SIZE);
    r.pos += SENSOR_SAMPLE_ENTRY;
}

// Reads any other entry whole_entry gave, as read_log_entry does. With
// `clean_from` below 96, the record's payload area is known to hold zeros
// from that byte on, so only the bytes before it are cleared.
inline void take_other_entry(LogReader& r, const std::uint8_t* h, LogEntry& e, std::size_t clean_from = MAX_PAYLOAD) {
    using namespace dat_detail;
    const std::uint16_t size = load_le16_even(h + 2);
    e.type = load_le16_even(h);
    e.size = size;
    e.vid_timestamp = load_le16_even(h + 4) | (static_cast<std::uint32_t>(load_le16_even(h + 6)) << 16);
    if (clean_from >= MAX_PAYLOAD) {
        zero_words(e.payload.data(), std::make_index_sequence<MAX_PAYLOAD / 4>());
    } else if (size < clean_from) {
        std::memset(e.payload.data() + size, 0, clean_from - size);
    }
    copy_other_payload(e.payload.data(), h + ENTRY_HEADER_SIZE, size);
    r.pos += ENTRY_HEADER_SIZE + size;
}

// Reads the entry whose header whole_entry gave, as read_log_entry does.
inline void take_whole_entry(LogReader& r, const std::uint8_t* h, LogEntry& e) {
    if (whole_entry_is_sample(h)) {
        take_sample_entry(r, h, e);
    } else {
        take_other_entry(r, h, e);
    }
}

// Whether the entries have ended: every later read returns End, as the one
// that found the end did.
inline bool entries_ended(const LogReader& r) { return r.drained && r.pos == r.len; }

inline ReadResult read_log_entry(LogReader& r, LogEntry& e) {
    const std::uint8_t* h = whole_entry(r);
    if (h == nullptr) return read_log_entry_any(r, e);
    take_whole_entry(r, h, e);
    return ReadResult::Entry;
}

}  // namespace tarvex
