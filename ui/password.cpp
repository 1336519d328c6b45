#include "ui/password.h"

#include <QWidget>

#include <algorithm>

#include "platform/failure.h"
#include "platform/numbers.h"
#include "ui/conventions.h"
#include "ui/program.h"
#include "ui/wrapped_caption.h"

namespace ui {

namespace {

std::vector<ControlDef> passwordControls() {
    Look title{colour::Blue, colour::White, "Times New Roman", 17.25, true, false, true, Align::Center, false};
    Look caption{colour::Yellow, colour::Black, "Times New Roman", 12, true, true, false, Align::Left, true};
    // Stars in 12 point, to be counted at a glance.
    Look entry{colour::White, colour::Black, "MS Sans Serif", 12, true, false, false, Align::Left, true};
    Look button{colour::ButtonFace, colour::Black};
    // The entry box comes first in the tab order, so a caller that does not
    // give it the focus still finds it there. (The table is in tab order: the
    // toolkit gives the first focus by the order of creation.)
    return {
        {"Text2", Kind::TextBox, 3480, 2520, 3135, 375, "", entry, 0},
        {"Cancel", Kind::Button, 7200, 2520, 972, 495, "Process Password", button, 1},
        {"Text1", Kind::TextBox, 360, 2520, 3015, 405, "Please Enter the Password ->", caption, 2},
        {"Label1", Kind::Label, 0, 120, 9255, 615, "Password Entry", title, 3},
    };
}

// Characters are counted and removed whole (an entry may hold "é").
size_t characterCount(const std::string& s) {
    return static_cast<size_t>(std::count_if(s.begin(), s.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}
void removeLastCharacter(std::string& s) {
    while (!s.empty()) {
        char c = s.back();
        s.pop_back();
        if ((c & 0xC0) != 0x80) break;
    }
}

// The character a key produces: empty for keys that produce none (control
// characters: Enter, Backspace, Escape, Delete) and for keys with Ctrl or Alt.
std::string producedCharacter(int shift, const std::string& text) {
    if (shift & 6) return {};
    if (text.empty()) return {};
    unsigned char first = static_cast<unsigned char>(text[0]);
    if (first < 32 || first == 127) return {};
    size_t len = 1;
    while (len < text.size() && (static_cast<unsigned char>(text[len]) & 0xC0) == 0x80) ++len;
    return text.substr(0, len);
}

}  // namespace

PasswordBox::PasswordBox(Program& p)
    : Screen(p, ScreenDef{"Passwordbox", "Password Entry", colour::Blue}, passwordControls()) {
    onKeyDown("Text2", [this](int k, int sh, const std::string& t) { return Text2_KeyDown(k, sh, t); });
    on("Cancel", Event::Click, [this] { Cancel_Click(); });
    WrapCaption(c("Cancel"));
    // Nothing reaches the box but through the key rule: no pasting from the
    // context menu, no dropping of text.
    QWidget* w = c("Text2").widget();
    w->setContextMenuPolicy(Qt::NoContextMenu);
    w->setAcceptDrops(false);
}

void PasswordBox::load() { PageSetUp(*this); }

bool PasswordBox::Text2_KeyDown(int keyCode, int shift, const std::string& text) {
    if (keyCode == key::Tab) return false;
    auto& s = program().shared();
    Control& box = c("Text2");
    std::string ch = producedCharacter(shift, text);
    // A full box refuses the character; the key then counts as producing none.
    if (!ch.empty() && box.maxLength() > 0 && static_cast<int>(characterCount(box.text())) >= box.maxLength())
        ch.clear();
    if (!ch.empty() && (ch != "*" || s.PasswordTyped.empty())) {
        s.PasswordTyped += ch;
        if (static_cast<int>(characterCount(s.PasswordTyped)) == s.PasswordLength) {
            CompleteEntry();
            return true;
        }
    } else if (!s.PasswordTyped.empty()) {
        removeLastCharacter(s.PasswordTyped);
    }
    size_t n = std::min<size_t>(characterCount(s.PasswordTyped), kPasswordMaskLength);
    box.setText(std::string(n, '*'));
    box.select(static_cast<int>(n), 0);  // the caret after the stars
    box.setVisible(true);
    box.setFocus();
    return true;  // the key itself never reaches the box
}

void PasswordBox::CompleteEntry() {
    auto& s = program().shared();
    s.EnteredPassword = s.PasswordTyped;
    s.PasswordWait = "go";
    c("Text2").setMaxLength(0);
    hide();
}

void ResetPasswordEntry(Program& p) {
    auto& s = p.shared();
    Screen& pb = p.screens().get("Passwordbox");
    s.PasswordWait = "wait";
    pb.c("Text2").setText("");
    pb.c("Text2").setVisible(true);
    s.EnteredPassword.clear();
    s.ScratchNumber = 0;
    s.PasswordTyped.clear();
}

void ShowPasswordEntry(Program& p) {
    auto& s = p.shared();
    ResetPasswordEntry(p);
    Screen& pb = p.screens().get("Passwordbox");
    Control& box = pb.c("Text2");
    s.EnteredPassword.clear();
    s.PasswordTyped.clear();
    box.setText("");
    pb.show();
    box.setFocus();
    box.setMaxLength(s.PasswordLength);
    box.setVisible(true);
    box.setFocus();
}

std::string AskPassword(Program& p, int16_t length, PasswordShow how) {
    auto& s = p.shared();
    if (how == PasswordShow::ShowPasswordEntry) {
        s.PasswordLength = length;
        ShowPasswordEntry(p);
    } else {
        ResetPasswordEntry(p);
        s.PasswordLength = length;
        Screen& pb = p.screens().get("Passwordbox");
        pb.show();
        pb.c("Text2").setFocus();
    }
    p.waitWhile([&s] { return s.PasswordWait == "wait"; });
    return s.EnteredPassword;
}

bool SensitiveCodeMatches(const std::string& entry, platform::Money storedTimes11) {
    try {
        return platform::Money::fromDouble(platform::leadingNumber(entry) * 11) == storedTimes11;
    } catch (const platform::Failure&) {
        return false;  // a number too large for an amount is no code
    }
}

}  // namespace ui
