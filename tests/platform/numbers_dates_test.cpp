// Number readings and formatting, money and dates.
#include <cmath>
#include <optional>

#include "platform/money.h"
#include "platform/numbers.h"
#include "platform/dates.h"
#include "support.h"

using namespace platform;

namespace {
Money m(int64_t tenThousandths) { return Money::fromTenThousandths(tenThousandths); }
}  // namespace

TEST(Numbers, NumberReading) {
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"12", 12},          {"  12.5  ", 12.5},  {"-3", -3},           {"+4", 4},
        {"$15", 15},         {"-$12.30", -12.3},  {"$1,234.50", 1234.5}, {"1,500", 1500},
        {".5", 0.5},         {"5.", 5},           {"1E3", 1000},        {"2.5e-2", 0.025},
        {"$ 7", 7},          {"12abc", {}},       {".", {}},            {"", {}},
        {"   ", {}},         {"$", {}},           {"-", {}},            {"1 2", {}},
        {",5", {}},          {"1e", {}},          {"--1", {}},          {"1.2.3", {}},
        {"abc", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.value, readNumber(c.text));
    }
}

TEST(Numbers, MoneyReadingIsExact) {
    struct Case {
        const char* text;
        std::optional<int64_t> tenThousandths;
    };
    const Case cases[] = {
        {"$1,234.50", 12345000},   {"-$12.30", -123000},  {"0.1", 1000},
        {"19.99", 199900},         {"0.00005", 0},        {"0.00015", 2},  // half to even
        {"0.000051", 1},           {"6e-5", 1},           {"5e-5", 0},
        {"1.23456", 12346},        {"922337203685477.5807", INT64_MAX},
        {"-922337203685477.5808", INT64_MIN},
        {"12abc", {}},             {"", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto v = readMoney(c.text);
        ASSERT_EQ(c.tenThousandths.has_value(), v.has_value());
        if (v) {
            EXPECT_EQ(*c.tenThousandths, v->tenThousandths());
        }
    }
    EXPECT_FAILURE(6, readMoney("922337203685477.5808"));
    EXPECT_FAILURE(6, readNumber("1e400"));
    EXPECT_FAILURE(6, readMoney("1e30"));
    // No binary rounding on the way: 0.1 + 0.2 is exactly 0.3.
    EXPECT_EQ(*readMoney("0.3"), *readMoney("0.1") + *readMoney("0.2"));
    EXPECT_EQ(199900, Money::fromDouble(19.99).tenThousandths());
    EXPECT_FAILURE(6, Money::fromDouble(1e300));
    EXPECT_FAILURE(6, Money::fromDouble(922337203685477.5808));
    EXPECT_FAILURE(6, Money::fromTenThousandths(INT64_MAX) + m(1));
}

TEST(Numbers, LeadingNumberRule) {
    struct Case {
        const char* text;
        double value;
    };
    const Case cases[] = {
        {"1,500", 1},    {"$15", 0},       {"", 0},         {"  1 2 3", 123}, {"12abc", 12},
        {"-12.5x", -12.5}, {".", 0},       {".5", 0.5},     {"- 4", -4},      {"1e2x", 100},
        {"1e", 1},       {"1e+", 1},       {"abc", 0},      {"02/15/2005", 2}, {"1.2.3", 1.2},
        {"1e999", 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.value, leadingNumber(c.text));
    }
}

TEST(Numbers, GeneralFormatting) {
    struct Case {
        double v;
        const char* text;
        const char* sequential;
    };
    const Case cases[] = {
        {0, "0", " 0 "},          {0.25, "0.25", " .25 "},   {-0.5, "-0.5", "-.5 "},
        {15, "15", " 15 "},       {-3, "-3", "-3 "},         {1e16, "1E+16", " 1E+16 "},
        {1e15, "1E+15", " 1E+15 "}, {123456789012345., "123456789012345", " 123456789012345 "},
        {0.1 + 0.2, "0.3", " .3 "}, {1e-5, "1E-05", " 1E-05 "}, {2.5e-4, "0.00025", " .00025 "},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.text, numberText(c.v));
        EXPECT_EQ(c.sequential, sequentialNumber(c.v));
    }
    EXPECT_EQ(" .5", signedNumber(0.5));
    EXPECT_EQ(" .1 ", sequentialSingle(0.1f));
    struct MoneyCase {
        int64_t v;
        const char* text;
        const char* sequential;
    };
    const MoneyCase money[] = {
        {0, "0", " 0 "},          {12345000, "1234.5", " 1234.5 "}, {5000, "0.5", " .5 "},
        {-5000, "-0.5", "-.5 "},  {1, "0.0001", " .0001 "},        {-123000, "-12.3", "-12.3 "},
        {100000, "10", " 10 "},   {INT64_MIN, "-922337203685477.5808", "-922337203685477.5808 "},
    };
    for (const auto& c : money) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(c.text, moneyText(m(c.v)));
        EXPECT_EQ(c.sequential, sequentialMoney(m(c.v)));
    }
}

// ---- dates

TEST(Dates, Recognition) {
    Locale loc("MM/dd/yyyy");
    struct Case {
        const char* text;
        const char* shortDate;  // nullptr: not a date
    };
    const Case cases[] = {
        {"02/29/2004", "02/29/2004"}, {"02/29/2005", nullptr},      {"13/45/2005", nullptr},
        {"1/a/2005", nullptr},        {"1/2/05", "01/02/2005"},      {"3/4/05", "03/04/2005"},
        {"3-4-2005", "03/04/2005"},   {"3.4.2005", "03/04/2005"},    {" 12/31/1999 ", "12/31/1999"},
        {"1/1/29", "01/01/2029"},     {"1/1/30", "01/01/1930"},      {"1/1/00", "01/01/2000"},
        {"1/1/99", "01/01/1999"},     {"25/12/2005", nullptr},       // day and month are never swapped
        {"04/31/2005", nullptr},      {"00/10/2005", nullptr},       {"10/00/2005", nullptr},
        {"2/29/1900", nullptr},       {"2/29/2000", "02/29/2000"},   {"", nullptr},
        {"01/01/1900", "01/01/1900"}, {"1/2", nullptr},              {"1/2/2005x", nullptr},
        {"123/1/2005", nullptr},      {"1//2005", nullptr},          {"1/2/20051", nullptr},
        {"12/28/2005 14:03:59", "12/28/2005 14:03:59"},             {"12/28/2005 25:00", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        auto d = loc.recognise(c.text);
        ASSERT_EQ(c.shortDate != nullptr, d.has_value());
        if (d) {
            EXPECT_EQ(c.shortDate, loc.shortDate(*d));
        }
    }
    EXPECT_EQ(2029, expandTwoDigitYear(29));
    EXPECT_EQ(1930, expandTwoDigitYear(30));
    // The locale's order decides which part is the month.
    Locale dmy("dd/MM/yyyy");
    ASSERT_TRUE(dmy.recognise("25/12/2005"));
    EXPECT_EQ("25/12/2005", dmy.shortDate(*dmy.recognise("25/12/2005")));
    EXPECT_FALSE(dmy.recognise("12/25/2005"));
    // The workstation's default before the program sets its own.
    EXPECT_EQ("3/4/2005", Locale().shortDate(*loc.recognise("03/04/2005")));
}

TEST(Dates, SerialsAndMonths) {
    struct Case {
        Date d;
        double serial;
    };
    const Case cases[] = {
        {{1899, 12, 30}, 0},        {{1900, 1, 1}, 2},         {{2005, 1, 2}, 38354},
        {{2004, 2, 29}, 38046},     {{1899, 12, 29}, -1},      {{2005, 12, 28, 12, 0, 0}, 38714.5},
    };
    for (const auto& c : cases) {
        EXPECT_DOUBLE_EQ(c.serial, toSerial(c.d));
        EXPECT_EQ(c.d, fromSerial(c.serial));
    }
    for (double s = -1000; s < 80000; s += 37.25) EXPECT_DOUBLE_EQ(s, toSerial(fromSerial(s)));
    EXPECT_EQ(1, monthsBetween({2005, 1, 31}, {2005, 2, 1}));
    EXPECT_EQ(0, monthsBetween({2005, 1, 1}, {2005, 1, 31}));
    EXPECT_EQ(13, monthsBetween({2004, 12, 15}, {2006, 1, 1}));
    EXPECT_EQ(-2, monthsBetween({2005, 3, 1}, {2005, 1, 31}));
}
