#pragma once
#include <optional>
#include <string>

namespace protocol {

// A calendar date; the wire form is "YYYY-MM-DD", optionally followed by "THH:MM:SS".
struct Date {
    int year = 0;
    int month = 0;
    int day = 0;

    static std::optional<Date> parse(const std::string& text);
    std::string toString() const;               // "YYYY-MM-DD"
    long toDayNumber() const;                    // days since 1970-01-01
    static Date fromDayNumber(long days);
    Date addDays(long days) const { return fromDayNumber(toDayNumber() + days); }
    int weekDay() const;                         // 0 = Sunday
    auto operator<=>(const Date&) const = default;
};

bool isLeapYear(int year);
int daysInMonth(int year, int month);

} // namespace protocol
