#include "protocol/Dates.h"

#include <cstdio>

namespace protocol {

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int daysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && isLeapYear(year) ? 29 : days[month - 1];
}

static bool digits(const std::string& s, size_t from, size_t count) {
    if (s.size() < from + count) return false;
    for (size_t i = from; i < from + count; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

static int number(const std::string& s, size_t from, size_t count) {
    int v = 0;
    for (size_t i = from; i < from + count; ++i) v = v * 10 + (s[i] - '0');
    return v;
}

std::optional<Date> Date::parse(const std::string& text) {
    if (!digits(text, 0, 4) || text.size() < 10 || text[4] != '-' || !digits(text, 5, 2) || text[7] != '-' ||
        !digits(text, 8, 2))
        return std::nullopt;
    if (text.size() > 10) {
        // Only a time part "THH:MM:SS" (or with a blank) may follow; it is ignored.
        if (text.size() != 19 || (text[10] != 'T' && text[10] != ' ') || !digits(text, 11, 2) || text[13] != ':' ||
            !digits(text, 14, 2) || text[16] != ':' || !digits(text, 17, 2))
            return std::nullopt;
        if (number(text, 11, 2) > 23 || number(text, 14, 2) > 59 || number(text, 17, 2) > 59) return std::nullopt;
    }
    Date d{number(text, 0, 4), number(text, 5, 2), number(text, 8, 2)};
    if (d.year < 1 || d.month < 1 || d.month > 12 || d.day < 1 || d.day > daysInMonth(d.year, d.month))
        return std::nullopt;
    return d;
}

std::string Date::toString() const {
    if (year < 0 || year > 9999 || month < 0 || month > 99 || day < 0 || day > 99) {
        char buf[48];
        std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", year, month, day);
        return buf;
    }
    // Written by hand: snprintf was a tenth of the JSON writing of a large reply.
    std::string text = "0000-00-00";
    text[0] = static_cast<char>('0' + year / 1000);
    text[1] = static_cast<char>('0' + year / 100 % 10);
    text[2] = static_cast<char>('0' + year / 10 % 10);
    text[3] = static_cast<char>('0' + year % 10);
    text[5] = static_cast<char>('0' + month / 10);
    text[6] = static_cast<char>('0' + month % 10);
    text[8] = static_cast<char>('0' + day / 10);
    text[9] = static_cast<char>('0' + day % 10);
    return text;
}

// Civil-from-days and days-from-civil after H. Hinnant's public-domain algorithms.
long Date::toDayNumber() const {
    const int y = year - (month <= 2 ? 1 : 0);
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}

Date Date::fromDayNumber(long z) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long y = static_cast<long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    const unsigned d = doy - (153 * mp + 2) / 5 + 1;
    const unsigned m = mp < 10 ? mp + 3 : mp - 9;
    return Date{static_cast<int>(y + (m <= 2 ? 1 : 0)), static_cast<int>(m), static_cast<int>(d)};
}

int Date::weekDay() const {
    const long n = toDayNumber();  // 1970-01-01 was a Thursday
    return static_cast<int>(((n % 7) + 7 + 4) % 7);
}

} // namespace protocol
