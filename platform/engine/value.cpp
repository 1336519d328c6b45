#include "platform/engine/value.h"

#include "platform/failure.h"
#include "platform/numbers.h"

namespace platform {

std::string Value::toText() const {
    switch (kind()) {
        case Kind::Null: throw Failure(94, "Invalid use of Null");
        case Kind::Text: return text();
        case Kind::Integer: return std::to_string(integer());
        case Kind::Double: return numberText(real());
        case Kind::Money: return moneyText(money());
        case Kind::Boolean: return boolean() ? "True" : "False";
    }
    return {};
}

double Value::toDouble() const {
    switch (kind()) {
        case Kind::Null: throw Failure(94, "Invalid use of Null");
        case Kind::Text: {
            auto d = readNumber(text());
            if (!d) throw typeMismatch();
            return *d;
        }
        case Kind::Integer: return static_cast<double>(integer());
        case Kind::Double: return real();
        case Kind::Money: return money().toDouble();
        case Kind::Boolean: return boolean() ? -1.0 : 0.0;
    }
    return 0;
}

Money Value::toMoney() const {
    switch (kind()) {
        case Kind::Text: {
            auto m = readMoney(text());
            if (!m) throw typeMismatch();
            return *m;
        }
        case Kind::Integer: return Money::fromWhole(integer());
        case Kind::Money: return money();
        default: return Money::fromDouble(toDouble());
    }
}

bool Value::isNonEmptyText() const {
    if (isNull()) return false;
    if (isText()) return !text().empty();
    return true;
}

}  // namespace platform
