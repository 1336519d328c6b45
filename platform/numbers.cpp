#include "platform/numbers.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "platform/failure.h"

namespace platform {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

struct Parsed {
    bool negative = false;
    std::string digits;  // whole and fraction digits together
    int pointPos = 0;    // number of whole digits in `digits`
    int exponent = 0;
};

// Strict parse of the whole text; false when it is no number.
bool parseStrict(std::string_view t, Parsed& p) {
    size_t i = 0, n = t.size();
    while (i < n && isBlank(t[i])) ++i;
    while (n > i && isBlank(t[n - 1])) --n;
    bool sawSign = false, sawDollar = false;
    for (int k = 0; k < 2 && i < n; ++k) {
        if (!sawSign && (t[i] == '-' || t[i] == '+')) {
            p.negative = t[i] == '-';
            sawSign = true;
            ++i;
        } else if (!sawDollar && t[i] == '$') {
            sawDollar = true;
            ++i;
        }
        while (i < n && isBlank(t[i])) ++i;
    }
    bool anyDigit = false;
    while (i < n && (std::isdigit(static_cast<unsigned char>(t[i])) || t[i] == ',')) {
        if (t[i] != ',') { p.digits += t[i]; anyDigit = true; }
        else if (!anyDigit) return false;  // a grouping comma needs digits before it
        ++i;
    }
    p.pointPos = static_cast<int>(p.digits.size());
    if (i < n && t[i] == '.') {
        ++i;
        while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) {
            p.digits += t[i++];
            anyDigit = true;
        }
    }
    if (!anyDigit) return false;
    if (i < n && (t[i] == 'e' || t[i] == 'E' || t[i] == 'd' || t[i] == 'D')) {
        ++i;
        bool eneg = false;
        if (i < n && (t[i] == '-' || t[i] == '+')) eneg = t[i++] == '-';
        if (i >= n || !std::isdigit(static_cast<unsigned char>(t[i]))) return false;
        long e = 0;
        while (i < n && std::isdigit(static_cast<unsigned char>(t[i]))) {
            e = e * 10 + (t[i++] - '0');
            if (e > 100000) e = 100000;
        }
        p.exponent = static_cast<int>(eneg ? -e : e);
    }
    return i == n;
}

double toDouble(const Parsed& p) {
    std::string s = p.negative ? "-" : "";
    s += p.digits.substr(0, p.pointPos);
    if (s.empty() || s == "-") s += "0";
    s += ".";
    s += p.digits.substr(p.pointPos);
    s += "0e" + std::to_string(p.exponent);
    return std::strtod(s.c_str(), nullptr);
}

std::string fixSmall(std::string s) {
    // "0.5" -> ".5", "-0.5" -> "-.5"
    if (s.rfind("0.", 0) == 0) s.erase(0, 1);
    else if (s.rfind("-0.", 0) == 0) s.erase(1, 1);
    return s;
}

std::string formatG(double v, int digits) {
    if (v == 0) return "0";
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.*G", digits, v);
    return buf;  // %G trims zeros and switches to "1E+15"/"1E-05" at the platform's limits
}

}  // namespace

std::optional<double> readNumber(std::string_view text) {
    Parsed p;
    if (!parseStrict(text, p)) return std::nullopt;
    double v = toDouble(p);
    if (!std::isfinite(v)) throw overflowError();
    return v;
}

std::optional<Money> readMoney(std::string_view text) {
    Parsed p;
    if (!parseStrict(text, p)) return std::nullopt;
    int point = p.pointPos + p.exponent;
    std::string d = p.digits;
    // A point before the first digit: lead with zeros so that the rounding
    // digit is still seen (6E-5 is 0.0001, not 0).
    if (point < 0) {
        if (-point > 100000) return Money();
        d.insert(0, static_cast<size_t>(-point), '0');
        point = 0;
    }
    // Shift the decimal point to four places after it.
    int wantLen = point + 4;
    bool roundUp = false;
    if (static_cast<int>(d.size()) > wantLen) {
        std::string rest = d.substr(wantLen);
        d.resize(wantLen);
        char first = rest[0];
        bool beyond = rest.find_first_not_of('0', 1) != std::string::npos;
        int last = d.empty() ? 0 : d.back() - '0';
        roundUp = first > '5' || (first == '5' && (beyond || (last % 2 == 1)));
    } else {
        d.append(wantLen - d.size(), '0');
    }
    size_t nz = d.find_first_not_of('0');
    d = nz == std::string::npos ? "0" : d.substr(nz);
    if (d.size() > 19) throw overflowError();
    unsigned long long u = std::strtoull(d.c_str(), nullptr, 10);
    if (roundUp) ++u;
    constexpr unsigned long long kMax = static_cast<unsigned long long>(INT64_MAX);
    if (u > kMax + (p.negative ? 1 : 0)) throw overflowError();
    if (p.negative) return Money::fromTenThousandths(u == kMax + 1 ? INT64_MIN : -static_cast<int64_t>(u));
    return Money::fromTenThousandths(static_cast<int64_t>(u));
}

double leadingNumber(std::string_view text) {
    std::string s;
    for (char c : text)
        if (c != ' ' && c != '\t' && c != '\n' && c != '\r') s += c;
    size_t i = 0;
    std::string out;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) out += s[i++];
    bool digits = false;
    while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) { out += s[i++]; digits = true; }
    if (i < s.size() && s[i] == '.') {
        out += s[i++];
        while (i < s.size() && std::isdigit(static_cast<unsigned char>(s[i]))) { out += s[i++]; digits = true; }
    }
    if (!digits) return 0;
    if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
        size_t j = i + 1;
        std::string e = "e";
        if (j < s.size() && (s[j] == '-' || s[j] == '+')) e += s[j++];
        bool ed = false;
        while (j < s.size() && std::isdigit(static_cast<unsigned char>(s[j]))) { e += s[j++]; ed = true; }
        if (ed) out += e;
    }
    double v = std::strtod(out.c_str(), nullptr);
    return std::isfinite(v) ? v : 0;
}

std::string numberText(double v) { return formatG(v, 15); }
std::string singleText(float v) { return formatG(static_cast<double>(v), 7); }

std::string moneyText(Money m) {
    int64_t v = m.tenThousandths();
    bool neg = v < 0;
    unsigned long long u = neg ? static_cast<unsigned long long>(-(v + 1)) + 1 : static_cast<unsigned long long>(v);
    std::string whole = std::to_string(u / 10000);
    std::string frac = std::to_string(u % 10000);
    frac.insert(0, 4 - frac.size(), '0');
    while (!frac.empty() && frac.back() == '0') frac.pop_back();
    std::string s = (neg ? "-" : "") + whole;
    if (!frac.empty()) s += "." + frac;
    return s;
}

std::string signedNumber(double v) {
    std::string s = fixSmall(numberText(v));
    return v < 0 ? s : " " + s;
}
std::string sequentialNumber(double v) { return signedNumber(v) + " "; }
std::string sequentialSingle(float v) {
    std::string s = fixSmall(singleText(v));
    return (v < 0 ? s : " " + s) + " ";
}
std::string sequentialMoney(Money m) {
    std::string s = fixSmall(moneyText(m));
    return (m.tenThousandths() < 0 ? s : " " + s) + " ";
}

}  // namespace platform
