#pragma once
// The password screen and the handshake the guarded operations run with it.
//
// The entry is masked: the entry box shows one "*" per character held (from
// a row of 107) and never a typed character. Each key pressed in the box is
// judged by the character it produces:
//  - a character other than "*" is added;
//  - "*" is added only as the first character; later it removes the last
//    character held;
//  - a key that produces no character (Backspace, Enter, Delete, the arrows,
//    Shift, Ctrl, Caps Lock, any key with Ctrl or Alt held) removes the last
//    character held, and does nothing when none is held. A character the box
//    refuses because it is full counts as no character.
// Tab is left to move the focus, as on every screen. Reaching PasswordLength
// completes the entry at once (its last star is never shown); "Process
// Password" completes it with whatever is held, also nothing. Completing sets
// EnteredPassword and PasswordWait = "go", lifts the box's maximum length (so
// a short limit never cuts a later, longer entry) and hides the screen.
#include <cstdint>
#include <string>

#include "platform/money.h"
#include "ui/screen.h"

namespace ui {

class Program;

class PasswordBox : public Screen {
public:
    explicit PasswordBox(Program& p);
    void load() override;
    bool Text2_KeyDown(int keyCode, int shift, const std::string& text);
    void Cancel_Click() { CompleteEntry(); }
    void CompleteEntry();
};

// The row the stars are taken from: 107 "*".
constexpr int kPasswordMaskLength = 107;

// PasswordWait = "wait"; the entry box emptied and visible; EnteredPassword,
// PasswordTyped emptied; ScratchNumber = 0. Does not show the screen.
void ResetPasswordEntry(Program& p);
// ResetPasswordEntry, then shows the screen (not modal) with the focus in the
// entry box, limited to PasswordLength characters.
void ShowPasswordEntry(Program& p);

// How the caller brings up the screen: most reset, set the length and show it
// themselves; the insurance clearing goes through ShowPasswordEntry.
enum class PasswordShow { Reset, ShowPasswordEntry };

// The handshake as callers run it: reset, PasswordLength = length, show the
// screen not modal with the focus in the entry box, then wait (blocking for
// events, the clock timer and painting go on) while PasswordWait is "wait".
// Returns EnteredPassword; the caller compares it (exact, whole string).
std::string AskPassword(Program& p, int16_t length, PasswordShow how = PasswordShow::Reset);

// The sensitive-code test: the entry read by the leading-number rule, times
// 11, equals the stored value (compared as amounts, to four decimals).
bool SensitiveCodeMatches(const std::string& entry, platform::Money storedTimes11);

}  // namespace ui
