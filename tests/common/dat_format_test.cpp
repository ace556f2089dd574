#include "dat_format.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "dat_log.h"
#include "test_support.h"

using namespace tarvex;
using tarvex::test::capture_stdout;
using tarvex::test::DatLog;
using tarvex::test::read_file;
using tarvex::test::stream_of;
using tarvex::test::TempDir;

namespace {

using Bytes = std::string;

Bytes header_bytes(std::uint32_t magic = DAT_MAGIC, std::uint32_t version = 1) {
    DatHeader h;
    h.magic = magic;
    h.version = version;
    h.rec_date = 1700000000;
    h.ground_offset = -42;
    h.expander_id = 3;
    h.hw_revision = 4;
    std::strcpy(h.serial.data(), "SIM00001");
    return DatLog(h).take();
}

// An entry of `size` bytes, each `fill`.
void append_entry(DatLog& log, std::uint16_t type, std::uint16_t size, std::uint32_t ts, char fill) {
    log.entry(type, size, ts, std::string(size, fill));
}

// Reads every entry of an in-memory stream; records the results in order.
struct Walk {
    std::vector<ReadResult> results;
    std::vector<LogEntry> entries;
};

Walk walk(const Bytes& bytes) {
    Walk w;
    const auto f = stream_of(bytes);
    auto reader = std::make_unique<LogReader>();
    reader->file = f.get();
    LogEntry e;
    for (int guard = 0; guard < 100000; ++guard) {
        const ReadResult r = read_log_entry(*reader, e);
        w.results.push_back(r);
        if (r == ReadResult::End) break;
        if (r == ReadResult::Entry) w.entries.push_back(e);
    }
    return w;
}

}  // namespace

TEST(DatHeader, HasTheFixedLayout) {
    const Bytes bytes = header_bytes();
    ASSERT_EQ(bytes.size(), 88u);
    const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
    EXPECT_EQ(bytes.substr(0, 4), "TRVX");
    EXPECT_EQ(b[8], 1);      // version
    EXPECT_EQ(b[12], 0xD6);  // -42 little-endian
    EXPECT_EQ(b[15], 0xFF);
    EXPECT_EQ(b[16], 3);  // expander_id
    EXPECT_EQ(b[20], 4);  // hw_revision
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[24])), "SIM00001");
    for (std::size_t i = 56; i < 88; ++i) EXPECT_EQ(b[i], 0) << i;
}

TEST(DatHeader, ReaderChecksLengthMagicAndVersion) {
    struct Case {
        Bytes bytes;
        int result;
        const char* message;
    };
    Bytes shortened = header_bytes();
    shortened.resize(87);
    Bytes wrong_magic = header_bytes();
    wrong_magic[0] = 'X';
    const Case cases[] = {
        {header_bytes(), 0, ""},
        {shortened, -1, "Error reading DAT header!\n"},
        {Bytes{}, -1, "Error reading DAT header!\n"},
        {wrong_magic, -1, "Invalid DAT header magic: 58565258!\n"},
        {header_bytes(0x12345678), -1, "Invalid DAT header magic: 12345678!\n"},
        {header_bytes(DAT_MAGIC, 2), -1, "Unexpected DAT file version: 2\n"},
    };
    for (const Case& c : cases) {
        const auto f = stream_of(c.bytes);
        DatHeader h;
        int r = 0;
        const std::string out = capture_stdout([&] { r = read_dat_header(f.get(), h); });
        EXPECT_EQ(r, c.result) << c.message;
        EXPECT_EQ(out, c.message);
        if (r == 0) {
            EXPECT_EQ(h.ground_offset, -42);
            EXPECT_EQ(h.expander_id, 3u);
            EXPECT_STREQ(h.serial.data(), "SIM00001");
        }
    }
}

TEST(DatHeader, ReaderKeepsAllThirtyTwoSerialBytes) {
    // A foreign writer may fill the field without a terminator.
    Bytes b = header_bytes();
    const std::string full = "0123456789abcdef0123456789ABCDEF";
    std::memcpy(&b[24], full.data(), 32);
    EXPECT_EQ(std::string(decode_dat_header(reinterpret_cast<const std::uint8_t*>(b.data())).serial.data(), 32), full);
}

TEST(LogEntryReader, WalksEntriesAndStopsAtACut) {
    DatLog log;
    append_entry(log, 240, 26, 100, 0x11);
    append_entry(log, 241, 36, 200, 0x22);
    append_entry(log, 240, 26, 300, 0x33);
    Bytes b = log.take();
    b.resize(b.size() - 5);  // the last payload is cut
    const Walk w = walk(b);
    ASSERT_EQ(w.entries.size(), 2u);
    EXPECT_EQ(w.entries[0].vid_timestamp, 100u);
    EXPECT_EQ(w.entries[1].type, 241);
    EXPECT_EQ(w.entries[1].size, 36);
    EXPECT_EQ(w.entries[1].payload[35], 0x22);
    EXPECT_EQ(w.entries[1].payload[36], 0) << "payload beyond size must be zero-filled";
    EXPECT_EQ(w.results.back(), ReadResult::End);
}

TEST(LogEntryReader, PayloadsArriveWholeWhereverTheEntryStarts) {
    // The reader moves words or halves where the address allows: a sample
    // and a GpsFix at each of the four offsets from a multiple of 4.
    std::string payload(36, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i + 1);
    for (std::uint16_t before : {4, 5, 6, 7}) {
        DatLog log;
        append_entry(log, 241, before, 1, 0x7F);
        log.entry(240, 26, 2, payload.substr(0, 26));
        append_entry(log, 241, 96, 1, 0x7F);  // leaves 96 bytes behind in the record
        log.entry(241, 36, 3, payload);
        const Walk w = walk(log.bytes());
        ASSERT_EQ(w.entries.size(), 4u) << before;
        for (std::size_t i = 0; i < 26; ++i) EXPECT_EQ(w.entries[1].payload[i], i + 1) << before << " sample " << i;
        for (std::size_t i = 0; i < 96; ++i)
            EXPECT_EQ(w.entries[3].payload[i], i < 36 ? i + 1 : 0) << before << " fix " << i;
    }
}

TEST(LogEntryReader, CutInsideAnEntryHeaderEndsTheEntries) {
    DatLog log;
    append_entry(log, 240, 26, 100, 1);
    log.raw("\xF0\x00\x1A");
    const Walk w = walk(log.bytes());
    EXPECT_EQ(w.entries.size(), 1u);
    EXPECT_EQ(w.results.back(), ReadResult::End);
}

TEST(LogEntryReader, SizeZeroSkipsOnlyTheEightHeaderBytes) {
    DatLog log;
    append_entry(log, 240, 26, 100, 1);
    append_entry(log, 240, 0, 150, 0);
    append_entry(log, 240, 26, 200, 2);
    const Walk w = walk(log.bytes());
    ASSERT_EQ(w.results.size(), 4u);
    EXPECT_EQ(w.results[1], ReadResult::InvalidSize);
    ASSERT_EQ(w.entries.size(), 2u);
    EXPECT_EQ(w.entries[1].vid_timestamp, 200u);
    EXPECT_EQ(w.entries[1].payload[0], 2);
}

TEST(LogEntryReader, OversizePayloadKeepsNinetySixBytesAndStaysInStep) {
    std::string payload(200, '\0');
    for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<char>(i);
    DatLog log;
    log.entry(241, 200, 50, payload);
    const Bytes big = log.bytes();
    append_entry(log, 240, 26, 60, 0x5A);
    const Walk w = walk(log.bytes());
    ASSERT_EQ(w.entries.size(), 2u);
    EXPECT_EQ(w.entries[0].size, 96);
    EXPECT_EQ(w.entries[0].payload[95], 95);
    EXPECT_EQ(w.entries[1].type, 240);
    EXPECT_EQ(w.entries[1].vid_timestamp, 60u);
    EXPECT_EQ(w.entries[1].payload[0], 0x5A);

    // A cut inside the skipped excess ends the entries.
    EXPECT_EQ(walk(big.substr(0, big.size() - 10)).entries.size(), 0u);
}

TEST(LogEntryReader, EntriesAcrossBlockBoundariesAndLargerThanABlock) {
    // Mostly entries lying whole in a block (decoded inline), with entries
    // cut by block ends, oversized ones, one larger than a block and empty
    // ones (size 0) among them.
    DatLog log;
    std::vector<std::uint16_t> sizes;
    for (std::uint16_t i = 0; i < 3000; ++i)
        sizes.push_back(static_cast<std::uint16_t>(i % 250 == 7 ? 0 : 1 + i % 200));
    sizes[1500] = 65535;  // more than one block on its own
    for (std::size_t i = 0; i < sizes.size(); ++i)
        append_entry(log, 240, sizes[i], static_cast<std::uint32_t>(i), static_cast<char>(i));
    const Walk w = walk(log.bytes());
    std::size_t n = 0;  // entries read so far
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        if (sizes[i] == 0) {
            ASSERT_EQ(w.results[i], ReadResult::InvalidSize) << i;
            continue;
        }
        ASSERT_LT(n, w.entries.size());
        const LogEntry& e = w.entries[n++];
        ASSERT_EQ(e.vid_timestamp, i);
        ASSERT_EQ(e.size, sizes[i] < 96 ? sizes[i] : 96) << i;
        ASSERT_EQ(e.payload[e.size - 1], static_cast<std::uint8_t>(i)) << i;
        if (e.size < 96) {
            ASSERT_EQ(e.payload[e.size], 0) << i;
        }
    }
    EXPECT_EQ(n, w.entries.size());
}

TEST(SensorSampleCodec, FlagsAreTwoLittleEndianHalves) {
    SensorSample s;
    s.abs_press = 101325;
    s.temp = -105;
    s.altitude = NO_VALUE;
    s.press_copy = 101325;
    s.accel_x = -1;
    s.accel_y = 2048;
    s.accel_z = -2048;
    s.flags = (1u << 0) | (1u << 17);
    std::array<std::uint8_t, MAX_PAYLOAD> p{};
    encode_sensor_sample(p.data(), s);
    EXPECT_EQ(p[22], 0x01);
    EXPECT_EQ(p[23], 0x00);
    EXPECT_EQ(p[24], 0x02);
    EXPECT_EQ(p[25], 0x00);
    const SensorSample back = decode_sensor_sample(p.data());
    EXPECT_EQ(back.flags, s.flags);
    EXPECT_EQ(back.temp, -105);
    EXPECT_EQ(back.altitude, NO_VALUE);
    EXPECT_EQ(back.accel_x, -1);
    EXPECT_EQ(back.accel_z, -2048);
}

TEST(GpsCodecs, RoundTripEveryFieldAtItsOffset) {
    GpsFix f;
    f.gps_timestamp = 0x0102030405060708ull;
    f.lat_frac = 123456;
    f.lon_frac = 500000;
    f.dist = -5;
    f.gps_alt = -250;
    f.lat_deg = 51;
    f.lon_deg = -1;
    f.gps_speed = 100;
    f.accuracy = 7;
    f.used_sat = 9;
    f.total_sat = 12;
    f.heading = 270;
    std::array<std::uint8_t, MAX_PAYLOAD> p{};
    encode_gps_fix(p.data(), f);
    EXPECT_EQ(p[0], 0x08);
    EXPECT_EQ(p[7], 0x01);
    EXPECT_EQ(p[26], 0xFF);  // lon_deg -1
    EXPECT_EQ(p[33], 12);
    const GpsFix g = decode_gps_fix(p.data());
    EXPECT_EQ(g.gps_timestamp, f.gps_timestamp);
    EXPECT_EQ(g.dist, -5);
    EXPECT_EQ(g.lon_deg, -1);
    EXPECT_EQ(g.heading, 270);

    GpsNavData n;
    n.lat = -335000000;
    n.lon = 1512345678;
    n.ecef_x = -1;
    n.time_of_week = 0xFFFFFFF0u;
    n.gps_alt = 5;
    n.week = 2300;
    n.fix_mode = 3;
    n.used_sat = 11;
    n.h_speed = 40;
    n.vspeed = -10;
    p.fill(0);
    encode_gps_nav_data(p.data(), n);
    EXPECT_EQ(p[52], 0xF6);  // vspeed -10
    const GpsNavData m = decode_gps_nav_data(p.data());
    EXPECT_EQ(m.lat, n.lat);
    EXPECT_EQ(m.time_of_week, n.time_of_week);
    EXPECT_EQ(m.used_sat, 11);
    EXPECT_EQ(m.vspeed, -10);
}

TEST(RecorderWriters, HeaderAndSampleAreWrittenByteExact) {
    TempDir dir;
    const std::string path = dir.file("datalog.bin");
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(fd, 0);
    const std::string long_serial(40, 'S');
    EXPECT_EQ(write_dat_header(fd, long_serial.c_str(), -57, 1234, 255, 3), 0);
    const std::int16_t accel[3] = {1, -2, 3};
    EXPECT_EQ(write_sensor_sample(fd, 92, NO_VALUE, 88573, 162, accel, 0), 0);
    EXPECT_EQ(write_sensor_sample(fd, 184, 3675, 88573, 162, nullptr, 0), 0);
    ::close(fd);

    const std::string bytes = read_file(path);
    ASSERT_EQ(bytes.size(), 88u + 2 * 34u);
    const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
    const DatHeader h = decode_dat_header(b);
    EXPECT_EQ(h.rec_date, 1234u);
    EXPECT_EQ(h.ground_offset, -57);
    EXPECT_EQ(h.hw_revision, 3u);
    EXPECT_EQ(std::string(h.serial.data()), std::string(31, 'S'));
    EXPECT_EQ(b[24 + 31], 0);

    const std::uint8_t* e1 = b + 88;
    EXPECT_EQ(e1[0], 240);
    EXPECT_EQ(e1[2], 26);
    EXPECT_EQ(e1[4], 92);
    const SensorSample s1 = decode_sensor_sample(e1 + 8);
    EXPECT_EQ(s1.altitude, NO_VALUE);
    EXPECT_EQ(s1.abs_press, 88573);
    EXPECT_EQ(s1.press_copy, 88573);
    EXPECT_EQ(s1.accel_y, -2);
    const SensorSample s2 = decode_sensor_sample(e1 + 34 + 8);
    EXPECT_EQ(s2.altitude, 3675);
    EXPECT_EQ(s2.accel_x, -1);
    EXPECT_EQ(s2.accel_y, -1);
    EXPECT_EQ(s2.accel_z, -1);

    // No serial: all 32 bytes zero.
    const int fd2 = ::open(path.c_str(), O_WRONLY | O_TRUNC);
    EXPECT_EQ(write_dat_header(fd2, nullptr, 0, 1, 255, 1), 0);
    ::close(fd2);
    const std::string none = read_file(path);
    for (std::size_t i = 24; i < 56; ++i) EXPECT_EQ(none[i], 0);
}

TEST(RecorderWriters, AFullCardIsReportedAsFailure) {
    const int fd = ::open("/dev/full", O_WRONLY);
    if (fd < 0) GTEST_SKIP() << "/dev/full not available";
    EXPECT_EQ(write_dat_header(fd, "X", 0, 0, 255, 3), -1);
    EXPECT_EQ(write_sensor_sample(fd, 0, 0, 0, 0, nullptr, 0), -1);
    ::close(fd);
}
