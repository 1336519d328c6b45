#include "ui/conventions.h"

#include <cmath>
#include <cstdio>

#include "platform/numbers.h"
#include "ui/controls.h"
#include "ui/program.h"
#include "ui/screen.h"

namespace ui {

void AdvanceOnEnter(Screen& screen, int& key) {
    if (key != 13) return;
    key = 0;
    const auto& cs = screen.controls();
    int n = static_cast<int>(cs.size());
    Control* f = screen.focused();
    if (!f || n == 0) return;
    int pos = f->tabIndex();
    for (int step = 0; step < n; ++step) {
        int target = pos == n - 1 ? 0 : pos + 1;
        Control* holder = nullptr;
        for (auto& c : cs)
            if (c->tabIndex() == target) {
                holder = c.get();
                break;
            }
        if (!holder) return;
        if (holder->canTakeFocus()) {
            holder->setFocus();
            return;
        }
        pos = target;
    }
}

std::string FormatMoney(double value) {
    // Round half away from zero on the decimal digits the value shows.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.6f", std::fabs(value));
    double cents = std::floor(std::atof(buf) * 100.0 + 0.5 + 1e-7);
    bool neg = value < 0 && cents > 0;
    long long whole = static_cast<long long>(cents / 100.0);
    int frac = static_cast<int>(cents - static_cast<double>(whole) * 100.0 + 0.5);
    if (frac >= 100) { whole += 1; frac -= 100; }
    std::string digits = std::to_string(whole);
    std::string grouped;
    for (size_t i = 0; i < digits.size(); ++i) {
        if (i && (digits.size() - i) % 3 == 0) grouped += ',';
        grouped += digits[i];
    }
    std::snprintf(buf, sizeof buf, "%02d", frac);
    std::string s = std::string(neg ? "-" : "") + "$" + grouped + "." + buf;
    if (s.size() < 10) s.insert(0, 10 - s.size(), ' ');
    return s;
}

std::string FormatMoney(const std::string& text) { return FormatMoney(platform::leadingNumber(text)); }

void MoneyToText(Program& p) { p.shared().MoneyText = FormatMoney(p.shared().MoneyValue); }

void CheckDate(Program& p) {
    auto& s = p.shared();
    auto d = p.workstation().locale().recognise(s.DateText);
    if (!d) {
        s.DateIsValid = 0;
        s.DateBoxColour = static_cast<double>(colour::LightOrange);
        s.DateText = "FAIL";
    } else {
        s.DateIsValid = -1;
        s.DateBoxColour = static_cast<double>(colour::White);
        s.DateText = p.workstation().locale().shortDate(*d);
    }
}

}  // namespace ui
