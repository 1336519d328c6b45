#include "platform/dates.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <vector>

namespace platform {

namespace {
bool leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int daysIn(int y, int m) {
    static const int d[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leap(y) ? 29 : d[m - 1];
}
// Days from civil, after H. Hinnant's algorithm.
long daysFromCivil(long y, unsigned m, unsigned d) {
    y -= m <= 2;
    const long era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<long>(doe) - 719468;
}
void civilFromDays(long z, int& y, int& m, int& d) {
    z += 719468;
    const long era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const long yy = static_cast<long>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}
const long kEpoch = daysFromCivil(1899, 12, 30);

// Order of the parts in a short-date format: 'M', 'd', 'y'.
std::string partOrder(const std::string& fmt) {
    std::string order;
    for (char c : fmt) {
        char k = c == 'M' ? 'M' : (c == 'd' ? 'd' : (c == 'y' ? 'y' : 0));
        if (k && order.find(k) == std::string::npos) order += k;
    }
    return order.size() == 3 ? order : "Mdy";
}
}  // namespace

bool isCalendarDate(int y, int m, int d) {
    return y >= 100 && y <= 9999 && m >= 1 && m <= 12 && d >= 1 && d <= daysIn(y, m);
}

double toSerial(const Date& d) {
    double days = static_cast<double>(daysFromCivil(d.year, d.month, d.day) - kEpoch);
    return days + (d.hour * 3600 + d.minute * 60 + d.second) / 86400.0;
}

Date fromSerial(double s) {
    double whole = std::floor(s);
    Date d;
    civilFromDays(static_cast<long>(whole) + kEpoch, d.year, d.month, d.day);
    long secs = std::lround((s - whole) * 86400.0);
    if (secs >= 86400) secs = 86399;
    d.hour = static_cast<int>(secs / 3600);
    d.minute = static_cast<int>(secs / 60 % 60);
    d.second = static_cast<int>(secs % 60);
    return d;
}

int monthsBetween(const Date& a, const Date& b) { return (b.year - a.year) * 12 + (b.month - a.month); }

int expandTwoDigitYear(int yy) { return yy < 30 ? 2000 + yy : 1900 + yy; }

Locale::Locale(std::string shortFormat) : shortFormat_(std::move(shortFormat)) {}

std::optional<Date> Locale::recognise(std::string_view t) const {
    size_t i = 0, n = t.size();
    while (i < n && t[i] == ' ') ++i;
    while (n > i && t[n - 1] == ' ') --n;
    std::vector<std::string> parts;
    for (int k = 0; k < 3; ++k) {
        std::string digits;
        while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) digits += t[i++];
        if (digits.empty() || digits.size() > 4) return std::nullopt;
        parts.push_back(digits);
        if (k < 2) {
            if (i >= n || (t[i] != '/' && t[i] != '-' && t[i] != '.')) return std::nullopt;
            ++i;
        }
    }
    Date d;
    if (i < n) {  // optional time of day
        if (t[i] != ' ') return std::nullopt;
        while (i < n && t[i] == ' ') ++i;
        int fields[3] = {0, 0, 0};
        int count = 0;
        while (count < 3) {
            std::string digits;
            while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) digits += t[i++];
            if (digits.empty() || digits.size() > 2) return std::nullopt;
            fields[count++] = std::stoi(digits);
            if (i < n && t[i] == ':') { ++i; continue; }
            break;
        }
        if (i != n || count < 2) return std::nullopt;
        if (fields[0] > 23 || fields[1] > 59 || fields[2] > 59) return std::nullopt;
        d.hour = fields[0]; d.minute = fields[1]; d.second = fields[2];
    }
    std::string order = partOrder(shortFormat_);
    int m = 0, day = 0, y = 0;
    std::string yearText;
    for (int k = 0; k < 3; ++k) {
        int v = std::stoi(parts[k]);
        switch (order[k]) {
            case 'M': if (parts[k].size() > 2) return std::nullopt; m = v; break;
            case 'd': if (parts[k].size() > 2) return std::nullopt; day = v; break;
            default: y = v; yearText = parts[k]; break;
        }
    }
    if (yearText.size() <= 2) y = expandTwoDigitYear(y);
    if (!isCalendarDate(y, m, day)) return std::nullopt;
    d.year = y; d.month = m; d.day = day;
    return d;
}

std::string Locale::shortDate(const Date& d) const {
    std::string out;
    const std::string& f = shortFormat_;
    for (size_t i = 0; i < f.size();) {
        char c = f[i];
        size_t j = i;
        while (j < f.size() && f[j] == c) ++j;
        size_t run = j - i;
        char buf[16];
        if (c == 'M') { std::snprintf(buf, sizeof buf, run >= 2 ? "%02d" : "%d", d.month); out += buf; }
        else if (c == 'd') { std::snprintf(buf, sizeof buf, run >= 2 ? "%02d" : "%d", d.day); out += buf; }
        else if (c == 'y') {
            if (run <= 2) std::snprintf(buf, sizeof buf, "%02d", d.year % 100);
            else std::snprintf(buf, sizeof buf, "%04d", d.year);
            out += buf;
        } else out.append(run, c);
        i = j;
    }
    if (d.hour || d.minute || d.second) out += " " + formatTime(d);
    return out;
}

std::string formatMDY(const Date& d, char sep) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02d%c%02d%c%04d", d.month, sep, d.day, sep, d.year);
    return buf;
}

std::string formatTime(const Date& d) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", d.hour, d.minute, d.second);
    return buf;
}

}  // namespace platform
