#include "platform/money.h"

#include <cmath>

#include "platform/failure.h"

namespace platform {

Money Money::fromDouble(double d) {
    if (!std::isfinite(d)) throw overflowError();
    double scaled = d * 10000.0;
    // Most decimal amounts are not exact in binary: round the product to the
    // nearest representable count first, then apply half-even only to true halves.
    double r = std::nearbyint(scaled);  // default rounding mode is half-even
    // 2^63 itself is out of range (and converting it would be undefined).
    if (!(r >= -9.2233720368547758e18 && r < 9.2233720368547758e18)) throw overflowError();
    Money m;
    m.v_ = static_cast<int64_t>(r);
    return m;
}

Money Money::fromWhole(int64_t units) {
    if (units > INT64_MAX / 10000 || units < INT64_MIN / 10000) throw overflowError();
    return fromTenThousandths(units * 10000);
}

Money Money::operator+(Money o) const {
    int64_t r;
    if (__builtin_add_overflow(v_, o.v_, &r)) throw overflowError();
    return fromTenThousandths(r);
}
Money Money::operator-(Money o) const {
    int64_t r;
    if (__builtin_sub_overflow(v_, o.v_, &r)) throw overflowError();
    return fromTenThousandths(r);
}

}  // namespace platform
