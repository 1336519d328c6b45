#pragma once
// A field value as the engine hands it out: no value (Null), text, a whole
// number, a floating-point number, money or yes/no. Dates come out as text.
#include <cstdint>
#include <string>
#include <variant>

#include "platform/money.h"

namespace platform {

class Value {
public:
    enum class Kind { Null, Text, Integer, Double, Money, Boolean };

    Value() = default;
    Value(std::string s) : v_(std::move(s)) {}
    Value(const char* s) : v_(std::string(s)) {}
    Value(int i) : v_(static_cast<int64_t>(i)) {}
    Value(int64_t i) : v_(i) {}
    Value(double d) : v_(d) {}
    Value(Money m) : v_(m) {}
    Value(bool b) : v_(b) {}
    static Value null() { return Value(); }

    Kind kind() const { return static_cast<Kind>(v_.index()); }
    bool isNull() const { return kind() == Kind::Null; }
    bool isText() const { return kind() == Kind::Text; }

    const std::string& text() const { return std::get<std::string>(v_); }
    int64_t integer() const { return std::get<int64_t>(v_); }
    double real() const { return std::get<double>(v_); }
    platform::Money money() const { return std::get<platform::Money>(v_); }
    bool boolean() const { return std::get<bool>(v_); }

    // The platform's conversions: text of any value (Null gives failure 94
    // "Invalid use of Null"), number of any value (text by number reading;
    // failure 13 "Type mismatch" for a non-number).
    std::string toText() const;
    double toDouble() const;
    platform::Money toMoney() const;
    // Text unless Null or empty: the test of the text rule.
    bool isNonEmptyText() const;

    bool operator==(const Value& o) const = default;

private:
    std::variant<std::monostate, std::string, int64_t, double, platform::Money, bool> v_;
};

}  // namespace platform
