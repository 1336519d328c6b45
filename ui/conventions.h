#pragma once
// Conventions shared by the screens: Enter moves to the next tab position,
// money shown as right-aligned money text, date boxes checked on leaving.
#include <string>

namespace ui {

class Program;
class Screen;

// The key-press handler of screens with key preview. Enter (13) moves the
// focus to the control holding the next tab position (wrapping from n - 1 to
// 0, n counting every control of the screen) and is always swallowed. When the
// control at the target position cannot take the focus (a label, hidden or
// disabled), the search moves on to the following position by the same rule;
// when no control holds a target position at all, the focus stays where it is.
void AdvanceOnEnter(Screen& screen, int& key);

// Exactly 10 characters of "$##,##0.00", right-aligned, "-" before "$"; a value
// too large for 10 characters is shown wider, never cut.
std::string FormatMoney(double value);
std::string FormatMoney(const std::string& text);  // read by the leading-number rule
// MoneyText = FormatMoney(MoneyValue).
void MoneyToText(Program& p);
// DateText checked by the platform's date recognition: DateIsValid -1 and
// DateText in short-date form, or 0 and "FAIL"; DateBoxColour white or light orange.
void CheckDate(Program& p);

}  // namespace ui
