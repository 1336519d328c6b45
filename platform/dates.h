#pragma once
// Calendar dates, the workstation's short-date setting and the platform's
// date recognition.
#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct Date {
    int year = 1899, month = 12, day = 30;
    int hour = 0, minute = 0, second = 0;
    bool operator==(const Date&) const = default;
};

bool isCalendarDate(int year, int month, int day);
// Days since 12/30/1899 plus the fraction of the day, as date values are kept.
double toSerial(const Date& d);
Date fromSerial(double serial);
// Whole months from a to b, as the platform's date arithmetic counts them
// (only the year and month parts count).
int monthsBetween(const Date& a, const Date& b);

// Two-digit years: 00-29 are 2000-2029, 30-99 are 1930-1999.
int expandTwoDigitYear(int yy);

class Locale {
public:
    // The workstation's short-date format before the program sets its own.
    static constexpr const char* kDefaultShortDate = "M/d/yyyy";

    explicit Locale(std::string shortFormat = kDefaultShortDate);
    const std::string& shortDateFormat() const { return shortFormat_; }
    void setShortDateFormat(std::string fmt) { shortFormat_ = std::move(fmt); }

    // Month, day and year in the order of the short-date format; one or two
    // digits for month and day; "/", "-" or "." between them; a year of one to
    // four digits (one or two digits expand by the century window); an optional
    // time "hh:mm[:ss]" after a blank. The date must exist on the calendar.
    // Nothing else is taken as a date: day and month are never swapped.
    std::optional<Date> recognise(std::string_view text) const;
    // The date in the short-date format ("03/04/2005" under MM/dd/yyyy); a time
    // of day other than midnight follows as " hh:mm:ss".
    std::string shortDate(const Date& d) const;

private:
    std::string shortFormat_;
};

// The fixed forms that do not follow the locale.
std::string formatMDY(const Date& d, char sep);   // 12-28-2005
std::string formatTime(const Date& d);            // 14:03:59

}  // namespace platform
