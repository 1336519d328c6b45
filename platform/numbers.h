#pragma once
// The two readings of a text as a number that the whole program uses, and the
// platform's general number formatting. Nothing else parses or prints numbers
// by hand.
#include <optional>
#include <string>
#include <string_view>

#include "platform/money.h"

namespace platform {

// Number reading: the whole text must be a number. Leading and trailing blanks,
// a "$", grouping commas in the whole part, a decimal point, a leading sign and
// an exponent are accepted; anything else is no number (nullopt). A number
// beyond the range of a double is the Overflow failure.
std::optional<double> readNumber(std::string_view text);
// The same reading, exact to four decimals for amounts (rounded half to even
// beyond that). nullopt for no number; the Overflow failure for too large.
std::optional<Money> readMoney(std::string_view text);

// The leading-number rule: blanks anywhere are ignored; an optional sign,
// digits, an optional decimal point with digits and an optional exponent are
// read up to the first character that cannot continue a number. Never fails:
// "1,500" -> 1, "$15" -> 0, "" -> 0.
double leadingNumber(std::string_view text);

// General formatting, 15 significant digits for doubles, 7 for singles, up to
// four decimals for money; exponent form outside 1E-5 .. 1E15.
// Text form: "0.5", "-12.25", "1E+16".
std::string numberText(double v);
std::string singleText(float v);
std::string moneyText(Money v);
// The sequential-file form: a blank in place of a plus sign, no zero before the
// decimal point of a value between -1 and 1, one blank after: " .25 ", "-3 ".
std::string sequentialNumber(double v);
std::string sequentialSingle(float v);
std::string sequentialMoney(Money v);
// The same without the trailing blank (" .5", "-3"), as slot and status texts use.
std::string signedNumber(double v);

}  // namespace platform
