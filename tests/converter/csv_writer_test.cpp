// CSV heading block and rows, byte for byte; the GPS rows also against the
// printf formats they stand for.
#include <gtest/gtest.h>

#include <cinttypes>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>

#include "csv_writer.h"
#include "log_events.h"
#include "maker.h"
#include "test_support.h"

namespace tarvex {
namespace {

using test::attach;
using test::fix2_record;
using test::fix_record;
using test::nav_record;
using test::reading;
using test::sensor_event;
using test::written_by;

// ctime prints local time: pin the zone so the date line is known.
class CsvHeader : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("TZ", "UTC", 1);
        tzset();
    }
};

DatHeader header_with(std::uint32_t expander, const char* serial = "TVX123") {
    DatHeader h;
    h.rec_date = 1700000000;  // Tue Nov 14 22:13:20 2023 UTC
    h.ground_offset = -42;
    h.expander_id = expander;
    for (std::size_t i = 0; serial[i] != '\0' && i < h.serial.size(); ++i) h.serial[i] = serial[i];
    return h;
}

std::string header_text(const DatHeader& h) {
    return written_by([&](TextOut& t) { csv_write_header(t, h); });
}

TEST_F(CsvHeader, WithoutExpander) {
    EXPECT_EQ(header_text(header_with(EXPANDER_NONE)),
              std::string("; Raw data values recorded by Tarvex Sensor Pack (") + MAKER_WEB_ADDRESS +
                  ")\n"
                  "; Divide data in columns by indicated integer to obtain values in listed units\n"
                  "; Flags are bitwise indicators of input states (ID1=bit0; ID2=bit1)\n"
                  ";\n"
                  "; Unit serial number: TVX123   Expander ID: none\n"
                  "; Ground offset: -42 ft\n"
                  "; Recording date: Tue Nov 14 22:13:20 2023\n"
                  ";\n"
                  "vid_timestamp,abs_press,altitude,temp,accel_x,accel_y,accel_z,flags,"
                  "lat, lon, gps_alt, gps_speed, heading, dist, accuracy, used_sat, total_sat, gps_timestamp\n"
                  "div_by_1000,div_by_100,div_by_1,div_by_10,div_by_2048,div_by_2048,div_by_2048,dec2bin,\n"
                  "seconds,mbar,feet,deg_C,Gs,Gs,Gs,bits,deg,deg,m,km/h,deg,km,m,sat,sat, unix_msec\n");
}

TEST_F(CsvHeader, GpsExpander) {
    EXPECT_EQ(header_text(header_with(EXPANDER_GPS, "")),
              std::string("; Raw data values recorded by Tarvex Sensor Pack & GPS (") + MAKER_WEB_ADDRESS +
                  ")\n"
                  "; Divide data in columns by indicated integer to obtain values in listed units\n"
                  "; Flags are bitwise indicators of input states (ID1=bit0; ID2=bit1)\n"
                  ";\n"
                  "; Unit serial number:    Expander ID: 03\n"
                  "; Ground offset: -42 ft\n"
                  "; Recording date: Tue Nov 14 22:13:20 2023\n"
                  ";\n"
                  "vid_timestamp,abs_press,altitude,temp,accel_x,accel_y,accel_z,flags,"
                  "lat, lon, gps_alt, h_speed, heading, dist, accuracy, used_sat, total_sat, "
                  "gps_timestamp, time_of_week, week, vspeed, ecef_x, ecef_y, ecef_z, fix_mode, pdop, vdop\n"
                  "div_by_1000,div_by_100,div_by_1,div_by_10,div_by_2048,div_by_2048,div_by_2048,dec2bin,"
                  " , , , , , , , , , , div_by_100, , ,div_by_100,div_by_100,div_by_100, ,div_by_100,div_by_100\n"
                  "seconds,mbar,feet,deg_C,Gs,Gs,Gs,bits,"
                  "deg,deg,m,km/h,n/a,km,n/a,sat,n/a,n/a,seconds,wk,km/h,m,m,m,mode, , ,\n");
}

TEST_F(CsvHeader, SerialLineVariants) {
    struct Case {
        std::uint32_t expander;
        const char* serial;
        const char* line;
    };
    const Case cases[] = {
        {1, "A1", "; Unit serial number: A1   Expander ID: 01\n"},
        {0xab, "A1", "; Unit serial number: A1   Expander ID: ab\n"},
        // A serial without its NUL stops at the field's end.
        {EXPANDER_NONE, "0123456789abcdef0123456789ABCDEFGHIJ",
         "; Unit serial number: 0123456789abcdef0123456789ABCDEF   Expander ID: none\n"},
        // Bytes that would break the line, or are not ASCII, show as '?'.
        {1, "A\nB\rC\tD\x7f\xff-7",
         "; Unit serial number: A?B?C?D?"
         "?-7   Expander ID: 01\n"},
    };
    for (const Case& c : cases) {
        const std::string text = header_text(header_with(c.expander, c.serial));
        EXPECT_NE(text.find(c.line), std::string::npos) << text;
    }
}

const std::string EMPTY_GPS = ",,,,,,,,,,,,,,,,,,\n";

std::string row(const LogEvent& ev) {
    return written_by([&](TextOut& t) { csv_write_row(t, ev); });
}

TEST(CsvRow, SensorPart) {
    struct Case {
        const char* name;
        SensorSample s;
        std::uint32_t ts;
        const char* text;
    };
    SensorSample absent = reading(950, 215);
    absent.abs_press = NO_VALUE;
    absent.accel_x = -1;
    absent.accel_y = 5;
    absent.accel_z = 6;
    absent.flags = 3;
    SensorSample none_at_all = reading(NO_VALUE, NO_VALUE);
    none_at_all.abs_press = NO_VALUE;
    none_at_all.accel_z = -1;
    SensorSample negatives = reading(-120, -55);
    negatives.accel_x = -2048;
    negatives.accel_y = 32767;
    negatives.accel_z = -32768;
    negatives.flags = 0x20001;
    const Case cases[] = {
        {"all present", reading(500), 100, "100,101325,500,215,0,0,2048,0,"},
        {"pressure and one axis absent", absent, 1234, "1234,,950,215,,,,3,"},
        {"nothing present", none_at_all, 0, "0,,,,,,,0,"},
        {"negative values", negatives, 4294967295u, "4294967295,101325,-120,-55,-2048,32767,-32768,131073,"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(row(sensor_event(c.ts, c.s)), c.text + EMPTY_GPS) << c.name;
    }
}

GpsFix sample_fix() {
    GpsFix f;
    f.lat_deg = 51;
    f.lat_frac = 123456;
    f.lon_deg = -1;
    f.lon_frac = 500000;
    f.gps_alt = -250;
    f.gps_speed = 36;
    f.heading = 270;
    f.dist = 5;
    f.accuracy = 3;
    f.used_sat = 7;
    f.total_sat = 12;
    f.gps_timestamp = 1700000000123ull;
    return f;
}

GpsNavData sample_nav() {
    GpsNavData n;
    n.lat = -335000000;
    n.lon = 5;
    n.gps_alt = 123456;
    n.h_speed = 40;
    n.used_sat = 9;
    n.time_of_week = 12345600;
    n.week = 2300;
    n.vspeed = -3;
    n.ecef_x = 1;
    n.ecef_y = -2;
    n.ecef_z = 3;
    n.fix_mode = 3;
    n.pdop = 150;
    n.vdop = 220;
    return n;
}

TEST(CsvRow, GpsPart) {
    const std::string sensor = "100,101325,500,215,0,0,2048,0,";
    GpsNavData high = sample_nav();
    high.gps_alt = 4294967295u;  // unsigned: never a minus sign
    high.lat = 0;
    const LogEvent fix = fix_record(sample_fix());
    const LogEvent nav = nav_record(sample_nav(), 250000.0);
    const LogEvent nav_high = nav_record(high, 0.0);
    const LogEvent fix2 = fix2_record();
    struct Case {
        const char* name;
        const LogEvent* rec;
        bool fresh;
        std::string gps;
    };
    const Case cases[] = {
        {"fix", &fix, true, "51.123456,-1.500000,-2.50,36,270, 0.05,3,7,12,1700000000123,\n"},
        {"fix still in effect", &fix, false, EMPTY_GPS},
        {"navdata", &nav, true,
         "-33.5000000,  0.0000005,  1234.56, 40, , 2.5000, , 9, ,  , 12345600, 2300, -3, 1, -2, 3, 3, 150, 220\n"},
        {"navdata still in effect", &nav, false, EMPTY_GPS},
        {"navdata at the top of the altitude range", &nav_high, true,
         " 0.0000000,  0.0000005,  42949672.95, 40, , 0.0000, , 9, ,  , 12345600, 2300, -3, 1, -2, 3, 3, 150, 220\n"},
        // No columns for a GpsFix2, but the row keeps its shape and its line end.
        {"fix2", &fix2, true, EMPTY_GPS},
    };
    for (const Case& c : cases) {
        LogEvent ev = sensor_event(100);
        attach(ev, *c.rec, c.fresh);
        EXPECT_EQ(row(ev), sensor + c.gps) << c.name;
    }
}

// The literal printf formats of the GPS parts, with the fixed-point fields
// split into sign, whole and fraction in 64 bits.
struct Split {
    int sign;
    long long whole, frac;
};
Split split(std::int64_t v, std::int64_t unit) {
    const std::int64_t mag = v < 0 ? -v : v;
    return {v < 0 ? '-' : ' ', static_cast<long long>(mag / unit), static_cast<long long>(mag % unit)};
}

TEST(CsvRow, GpsPartsMatchPrintfFormats) {
    std::mt19937 rng(1234);
    const auto any32 = [&] { return static_cast<std::int32_t>(rng()); };
    const auto any16 = [&] { return static_cast<std::int16_t>(rng()); };
    const std::string sensor = "7,101325,500,215,0,0,2048,0,";
    for (int i = 0; i < 3000; ++i) {
        GpsFix f;
        f.lat_deg = any16();
        f.lat_frac = rng() % 1000000;
        f.lon_deg = any16();
        f.lon_frac = rng() % 1000000;
        f.gps_alt = i == 0 ? INT32_MIN : any32();
        f.gps_speed = any16();
        f.heading = any16();
        f.dist = i == 1 ? INT32_MIN : any32();
        f.accuracy = any16();
        f.used_sat = static_cast<std::uint8_t>(rng());
        f.total_sat = static_cast<std::uint8_t>(rng());
        f.gps_timestamp = (static_cast<std::uint64_t>(rng()) << 32) | rng();
        const Split alt = split(f.gps_alt, 100), dist = split(f.dist, 100);
        char expected[256];
        std::snprintf(expected, sizeof expected, "%d.%06d,%d.%06d,%c%lld.%02lld,%d,%d,%c%lld.%02lld,%d,%d,%d,%llu,\n",
                      f.lat_deg, static_cast<int>(f.lat_frac), f.lon_deg, static_cast<int>(f.lon_frac), alt.sign,
                      alt.whole, alt.frac, f.gps_speed, f.heading, dist.sign, dist.whole, dist.frac, f.accuracy,
                      f.used_sat, f.total_sat, static_cast<unsigned long long>(f.gps_timestamp));
        const LogEvent rec = fix_record(f);
        LogEvent ev = sensor_event(7);
        attach(ev, rec);
        ASSERT_EQ(row(ev), sensor + expected) << i;
    }
    for (int i = 0; i < 3000; ++i) {
        GpsNavData n;
        n.lat = i == 0 ? INT32_MIN : any32();
        n.lon = any32();
        n.gps_alt = rng();
        n.h_speed = any32();
        n.used_sat = static_cast<std::uint8_t>(rng());
        n.time_of_week = rng() % 60480000;  // a week in hundredths of a second
        n.week = static_cast<std::uint16_t>(rng());
        n.vspeed = any32();
        n.ecef_x = any32();
        n.ecef_y = any32();
        n.ecef_z = any32();
        n.fix_mode = static_cast<std::uint8_t>(rng());
        n.pdop = static_cast<std::uint16_t>(rng());
        n.vdop = static_cast<std::uint16_t>(rng());
        const double dist = static_cast<double>(rng()) * 37.25;
        const Split lat = split(n.lat, 10000000), lon = split(n.lon, 10000000);
        char expected[400];
        std::snprintf(expected, sizeof expected,
                      "%c%lld.%07lld, %c%lld.%07lld, %c%d.%02d, %d, , %.4f, , %d, ,  , %d, %d, %d, %d, "
                      "%d, %d, %d, %d, %d\n",
                      lat.sign, lat.whole, lat.frac, lon.sign, lon.whole, lon.frac, ' ',
                      static_cast<int>(n.gps_alt / 100), static_cast<int>(n.gps_alt % 100), n.h_speed, dist / 100000.0,
                      n.used_sat, static_cast<int>(n.time_of_week), n.week, n.vspeed, n.ecef_x, n.ecef_y, n.ecef_z,
                      n.fix_mode, n.pdop, n.vdop);
        const LogEvent rec = nav_record(n, dist);
        LogEvent ev = sensor_event(7);
        attach(ev, rec);
        ASSERT_EQ(row(ev), sensor + expected) << i;
    }
}

}  // namespace
}  // namespace tarvex
