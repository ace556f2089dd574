#include "utc_text.h"

namespace tarvex {

namespace {

constexpr std::int64_t MS_PER_S = 1000;
constexpr std::int64_t S_PER_DAY = 86400;
constexpr std::int64_t DAYS_PER_ERA = 146097;     // 400 Gregorian years
constexpr std::int64_t DAYS_0000_03_01 = 719468;  // from 0000-03-01 to 1970-01-01

// Quotient and remainder rounded towards minus infinity (b > 0), so that
// times before 1970 fall on the day (and second) they lie in; C++ division
// truncates towards zero. Written so that no value of `a` overflows.
std::int64_t floor_div(std::int64_t a, std::int64_t b) { return a / b - (a % b < 0 ? 1 : 0); }
std::int64_t floor_mod(std::int64_t a, std::int64_t b) { return a % b < 0 ? a % b + b : a % b; }

struct UtcParts {
    std::int64_t year;
    std::int64_t month, day, hour, minute, second;  // 1-based month and day
};

// Civil date from days since 1970-01-01, counted in eras of 400 years that
// start on 1 March, so that the leap day ends each era's year.
UtcParts utc_parts(std::int64_t unix_s) {
    const std::int64_t days = floor_div(unix_s, S_PER_DAY);
    const std::int64_t sod = floor_mod(unix_s, S_PER_DAY);
    const std::int64_t z = days + DAYS_0000_03_01;
    const std::int64_t era = floor_div(z, DAYS_PER_ERA);
    const std::int64_t doe = z - era * DAYS_PER_ERA;                                 // [0, 146096]
    const std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;  // [0, 399]
    const std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);                // [0, 365]
    const std::int64_t mp = (5 * doy + 2) / 153;                                     // March = 0
    UtcParts p{};
    p.day = doy - (153 * mp + 2) / 5 + 1;
    p.month = mp < 10 ? mp + 3 : mp - 9;
    p.year = yoe + era * 400 + (p.month <= 2 ? 1 : 0);
    p.hour = sod / 3600;
    p.minute = sod / 60 % 60;
    p.second = sod % 60;
    return p;
}

// Fixed-width fields, written digit by digit (printf costs far more on the
// camera); every field but the year fits its width.
char* put(char* p, std::int64_t value, int width, char after) {
    for (int i = width - 1; i >= 0; --i, value /= 10) p[i] = static_cast<char>('0' + value % 10);
    p += width;
    if (after != '\0') *p++ = after;
    return p;
}

// The year as "%04lld" prints it: at least four characters, a sign included.
char* put_year(char* p, std::int64_t year) {
    // The magnitude as unsigned, so that no year's negation overflows.
    std::uint64_t magnitude = year < 0 ? 0 - static_cast<std::uint64_t>(year) : static_cast<std::uint64_t>(year);
    int width = year < 0 ? 3 : 4;
    if (year < 0) *p++ = '-';
    int digits = 1;
    for (std::uint64_t m = magnitude; m >= 10; m /= 10) ++digits;
    if (digits > width) width = digits;
    for (int i = width - 1; i >= 0; --i, magnitude /= 10) p[i] = static_cast<char>('0' + magnitude % 10);
    p += width;
    *p++ = '-';
    return p;
}

char* put_date_time(char* p, const UtcParts& t, char between) {
    p = put_year(p, t.year);
    p = put(p, t.month, 2, '-');
    p = put(p, t.day, 2, between);
    p = put(p, t.hour, 2, ':');
    p = put(p, t.minute, 2, ':');
    return put(p, t.second, 2, '\0');
}

}  // namespace

void format_utc_iso_ms(std::int64_t unix_ms, char (&out)[UTC_TEXT_SIZE]) {
    const std::int64_t s = floor_div(unix_ms, MS_PER_S);
    char* p = put_date_time(out, utc_parts(s), 'T');
    *p++ = '.';
    p = put(p, floor_mod(unix_ms, MS_PER_S), 3, 'Z');
    *p = '\0';
}

void format_utc_date_time(std::int64_t unix_s, char (&out)[UTC_TEXT_SIZE]) {
    char* p = put_date_time(out, utc_parts(unix_s), ' ');
    constexpr char SUFFIX[] = " UTC";
    for (const char c : SUFFIX) *p++ = c;  // with its NUL
}

}  // namespace tarvex
