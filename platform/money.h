#pragma once
// Currency: a 64-bit fixed-point amount with four decimals, held exactly as
// ten-thousandths. No binary floating point is involved in storing it.
#include <cstdint>
#include <compare>
#include <string>

namespace platform {

class Money {
public:
    constexpr Money() = default;
    static constexpr Money fromTenThousandths(int64_t v) { Money m; m.v_ = v; return m; }
    // Rounds half to even at the fourth decimal; out of range is the Overflow failure.
    static Money fromDouble(double d);
    static Money fromWhole(int64_t units);

    constexpr int64_t tenThousandths() const { return v_; }
    double toDouble() const { return static_cast<double>(v_) / 10000.0; }

    Money operator+(Money o) const;
    Money operator-(Money o) const;
    Money& operator+=(Money o) { *this = *this + o; return *this; }
    constexpr auto operator<=>(const Money&) const = default;

private:
    int64_t v_ = 0;
};

}  // namespace platform
