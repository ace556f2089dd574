#include "csv_writer.h"

#include <array>
#include <ctime>
#include <initializer_list>

#include "printable_text.h"
#include "text_out.h"

namespace tarvex {

namespace {

// GPS columns of a row without a fresh GPS record.
constexpr char EMPTY_GPS_PART[] = ",,,,,,,,,,,,,,,,,,\n";

[[gnu::always_inline]] inline void put_fix_columns(Row& t, const GpsFix& fix) {
    t.degrees(fix.lat_deg, fix.lat_frac);
    t.put(',');
    t.degrees(fix.lon_deg, fix.lon_frac);
    t.put(',');
    t.fixed<2>(fix.gps_alt);  // cm -> m
    t.put(',');
    t.dec(fix.gps_speed);
    t.put(',');
    t.dec(fix.heading);
    t.put(',');
    t.fixed<2>(fix.dist);  // hundredths of a km -> km
    t.put(',');
    t.dec(fix.accuracy);
    t.put(',');
    t.udec(fix.used_sat);
    t.put(',');
    t.udec(fix.total_sat);
    t.put(',');
    t.udec(fix.gps_timestamp);
    t.lit(",\n");
}

[[gnu::always_inline]] inline void put_nav_columns(Row& t, const GpsNavData& nav, double dist_cm) {
    t.fixed<7>(nav.lat);  // 1e-7 degree
    t.lit(", ");
    t.fixed<7>(nav.lon);
    t.lit(", ");
    t.fixed<2>(nav.gps_alt);  // cm -> m; unsigned, so never a minus sign
    t.lit(", ");
    t.dec(nav.h_speed);
    t.lit(", , ");
    t.scaled_cm<4, 10>(dist_cm, 100000.0);  // km
    t.lit(", , ");
    t.udec(nav.used_sat);
    t.lit(", ,  , ");
    t.udec(nav.time_of_week);
    t.lit(", ");
    t.udec(nav.week);
    t.lit(", ");
    t.dec(nav.vspeed);
    t.lit(", ");
    t.dec(nav.ecef_x);
    t.lit(", ");
    t.dec(nav.ecef_y);
    t.lit(", ");
    t.dec(nav.ecef_z);
    t.lit(", ");
    t.udec(nav.fix_mode);
    t.lit(", ");
    t.udec(nav.pdop);
    t.lit(", ");
    t.udec(nav.vdop);
    t.put('\n');
}

}  // namespace

void csv_write_header(TextOut& out, const DatHeader& header) {
    const bool gps_unit = header.expander_id == EXPANDER_GPS;
    // The serial field may fill all 32 bytes without a NUL, and may hold
    // bytes that would break the heading's line.
    std::array<char, DAT_SERIAL_SIZE + 1> serial;
    printable_copy(serial.data(), header.serial.data(), DAT_SERIAL_SIZE);
    const std::time_t rec_date = header.rec_date;
    const char* date = std::ctime(&rec_date);

    Row t(out);
    t.lit("; Raw data values recorded by Tarvex Sensor Pack ");
    if (gps_unit) t.lit("& GPS ");
    t.put('(');
    t.str(MAKER_WEB_ADDRESS);
    t.lit(")\n");
    t.lit(
        "; Divide data in columns by indicated integer to obtain values in listed units\n"
        "; Flags are bitwise indicators of input states (ID1=bit0; ID2=bit1)\n"
        ";\n");
    t.lit("; Unit serial number: ");
    t.str(serial.data());
    if (header.expander_id == EXPANDER_NONE) t.lit("   Expander ID: none\n");
    else t.printf("   Expander ID: %02x\n", header.expander_id);
    t.lit("; Ground offset: ");
    t.dec(header.ground_offset);
    t.lit(" ft\n");
    // ctime's text ends with its own newline.
    t.lit("; Recording date: ");
    t.str(date != nullptr ? date : "\n");
    t.lit(";\n");
    // Column names, divisors and units: the sensor columns, then the GPS
    // columns of the unit's kind.
    t.lit("vid_timestamp,abs_press,altitude,temp,accel_x,accel_y,accel_z,flags,");
    if (gps_unit) {
        t.lit(
            "lat, lon, gps_alt, h_speed, heading, dist, accuracy, used_sat, total_sat, "
            "gps_timestamp, time_of_week, week, vspeed, ecef_x, ecef_y, ecef_z, "
            "fix_mode, pdop, vdop\n");
    } else {
        t.lit(
            "lat, lon, gps_alt, gps_speed, heading, dist, accuracy, used_sat, "
            "total_sat, gps_timestamp\n");
    }
    t.lit("div_by_1000,div_by_100,div_by_1,div_by_10,div_by_2048,div_by_2048,div_by_2048,dec2bin,");
    if (gps_unit) {
        t.lit(
            " , , , , , , , , , , div_by_100, , ,div_by_100,div_by_100,div_by_100, "
            ",div_by_100,div_by_100\n");
    } else {
        t.put('\n');
    }
    t.lit("seconds,mbar,feet,deg_C,Gs,Gs,Gs,bits,");
    if (gps_unit) t.lit("deg,deg,m,km/h,n/a,km,n/a,sat,n/a,n/a,seconds,wk,km/h,m,m,m,mode, , ,\n");
    else t.lit("deg,deg,m,km/h,deg,km,m,sat,sat, unix_msec\n");
}

void csv_write_row(TextOut& out, const LogEvent& ev) {
    const SensorSample s = decode_sensor_sample(ev);
    Row t(out);
    t.udec(ev.vid_timestamp);
    t.put(',');
    // Three calls rather than a loop over a list: GCC kept the loop, and
    // the list in memory, around the inlined number text.
    const auto reading = [&t](std::int32_t v) {
        if (v != NO_VALUE) t.dec(v);
        t.put(',');
    };
    reading(s.abs_press);
    reading(s.altitude);
    reading(s.temp);
    if (s.accel_x != -1 && s.accel_y != -1 && s.accel_z != -1) {
        t.dec(s.accel_x);
        t.put(',');
        t.dec(s.accel_y);
        t.put(',');
        t.dec(s.accel_z);
        t.put(',');
    } else {
        t.lit(",,,");
    }
    t.udec(s.flags);
    t.put(',');

    // GPS columns only on the row that took the record up. A record without
    // columns (GpsFix2, unknown kinds) still gets the empty part and the line
    // end, so that every row is one line.
    const LogEvent* rec = ev.gps_new == 1 ? ev.gps : nullptr;
    if (rec != nullptr && rec->type == static_cast<std::uint16_t>(EntryKind::GpsFix)) {
        put_fix_columns(t, decode_gps_fix(*rec));
    } else if (rec != nullptr && rec->type == static_cast<std::uint16_t>(EntryKind::GpsNavData)) {
        put_nav_columns(t, decode_gps_nav_data(*rec), ev.dist);
    } else {
        t.lit(EMPTY_GPS_PART);
    }
}

}  // namespace tarvex
