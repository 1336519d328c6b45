#pragma once
// Conventions shared by the screens: page set-up, Enter moves to the next tab
// position, money shown as right-aligned money text, date boxes checked on
// leaving, and the focus habits of single fields, which a screen names per
// field in a small table (see FieldConvention).
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/money.h"
#include "ui/screen.h"

namespace ui {

class Control;
class Program;

// ---- Page set-up

enum class MoveExit { No, Yes };

// Every screen's load starts with this: left and top centre the page on the
// display, then the height and the width are set, in that order. The top is
// always worked out from the usual 7200 twips, also when `height` is larger
// (the printer choice screen is 8200 high and still placed as a 7200 page).
// MoveExit::Yes puts the screen's `cmdexit` button at 8040,6240.
void PageSetUp(Screen& screen, MoveExit moveExit = MoveExit::No, int height = 7200);

// ---- Enter moves on

// The key-press handler of screens with key preview. Enter (13) moves the
// focus to the control holding the next tab position (wrapping from n - 1 to
// 0, n counting every control of the screen, timers included) and is always
// swallowed, so a multi-line box never receives it. Controls without a tab
// position are passed over in the search. When the control at the target
// position cannot take the focus (a label, hidden or disabled), the search
// moves on to the following position by the same rule; when no control holds
// a target position at all, the focus stays where it is. Other keys are left
// alone.
void AdvanceOnEnter(Screen& screen, int& key);

// ---- Money text

// Exactly 10 characters of "$##,##0.00", right-aligned, "-" before "$",
// rounded half away from zero on the value's 15 significant digits. A value
// too large for 10 characters ($100,000.00 and more, -$10,000.00 and less) is
// shown wider, never cut, so that reading the text back loses no digit.
// A value that is not finite is the Overflow failure.
std::string FormatMoney(double value);
std::string FormatMoney(const std::string& text);  // read by the leading-number rule
// An amount exact to its four decimals (no 15-digit limit), rounded the same way.
std::string FormatMoney(platform::Money value);
// MoneyText = FormatMoney(MoneyValue).
void MoneyToText(Program& p);
// Puts a money text into a box; a box whose maximum length is shorter than the
// text (a wide value) is widened first, so that no digit is lost.
void ShowMoney(Control& box, double value);

// Number reading for the focus routines: a text that is not a number (or is
// too large) gives nullopt instead of a failure.
std::optional<double> readNumberOrNothing(std::string_view text);

// ---- Dates

// DateText checked by the platform's date recognition: DateIsValid -1 and
// DateText in short-date form, or 0 and "FAIL"; DateBoxColour white or light
// orange.
void CheckDate(Program& p);

// ---- Field conventions
//
// A field convention adds focus routines to a field. A field may have several
// (a date box that also selects its text on entry); they run in the order they
// were attached. A screen whose field also needs focus routines of its own
// adds them with addFocusRoutine (Screen::on would replace the conventions').
//
// While a date box puts the focus back into itself, the control the user tried
// to move to is passed over: its got-focus and lost-focus conventions do not
// run, so nothing is emptied, remembered or put back on its account and two
// boxes never hand the focus back and forth.

enum class Behaviour {
    SelectAll,           // whole text selected on getting the focus (start 0, length 200)
    EmptyOnFocus,        // emptied on getting the focus; left empty it stays empty
    RememberAndPutBack,  // text remembered on getting the focus and put back on losing it
    DateBox,             // checked on losing the focus (see attachDateBox)
    MoneyReformat,       // reformat with restore
    MoneyBlankOnEntry,   // blank on entry
    MoneyShowStored,     // show the stored value again
};

struct FieldOptions {
    // DateBox: runs with the normalised date when the box held a date
    // (the screens that store a date at once).
    std::function<void(const std::string& date)> onDate;
    // MoneyShowStored: the stored value the field shows again (required).
    std::function<double()> stored;
    // MoneyBlankOnEntry: an empty field remembers 0 (otherwise the number
    // reading of an empty field keeps the last value that read as a number).
    bool emptyRemembersZero = false;
    // MoneyReformat: also take the remembered value at every change of the
    // text. The value is still taken on getting the focus, so the last value
    // that read as a number is always this field's own.
    bool rememberOnChange = false;
};

struct FieldConvention {
    std::string control;
    Behaviour behaviour;
    FieldOptions options = {};
};

void attach(Screen& screen, const std::string& control, Behaviour b, FieldOptions options = {});
void attach(Screen& screen, const std::vector<FieldConvention>& table);

// Date box on losing the focus: DateText = the box's text; an empty box is
// left as it is (colour included). Otherwise CheckDate: a date makes the box
// white and shows the date in short-date form (then options.onDate runs); any
// other text makes it light orange (8438015) and the focus is put back into
// the box. Then pending window events run.
inline void attachDateBox(Screen& s, const std::string& control, std::function<void(const std::string&)> onDate = {}) {
    FieldOptions o;
    o.onDate = std::move(onDate);
    attach(s, control, Behaviour::DateBox, std::move(o));
}

// Money fields. Reformat with restore (PriorValue / EnteredValue): on getting
// the focus PriorValue = number reading of the field; on losing it the field
// shows FormatMoney(EnteredValue = number reading), or FormatMoney(PriorValue)
// when the text is no number. Blank on entry (PriorValue2 / EnteredValue2): on
// getting the focus PriorValue2 = number reading and the field is emptied; on
// losing it an empty field shows FormatMoney(PriorValue2), otherwise
// FormatMoney of the leading number of what was typed. Show the stored value
// again: on losing the focus the field shows FormatMoney(options.stored()).
// A number reading that meets a non-number keeps the last value that did read.
enum class MoneyPattern { Reformat, BlankOnEntry, ShowStored };
void attachMoneyField(Screen& s, const std::string& control, MoneyPattern pattern, FieldOptions options = {});

// A focus routine of the screen's own for a field that has conventions
// (GotFocus, LostFocus or Change), run after the conventions' routines.
void addFocusRoutine(Screen& s, const std::string& control, Event e, std::function<void()> routine);

}  // namespace ui
