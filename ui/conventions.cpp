#include "ui/conventions.h"

#include <QEvent>
#include <QFocusEvent>
#include <QLineEdit>
#include <QMetaObject>
#include <QPointer>
#include <QWidget>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

#include "platform/failure.h"
#include "platform/numbers.h"
#include "ui/controls.h"
#include "ui/program.h"

namespace ui {

// ---- Page set-up

void PageSetUp(Screen& screen, MoveExit moveExit, int height) {
    Program& p = screen.program();
    screen.setLeft((p.displayWidthTwips() - 9600) / 2);
    screen.setTop((p.displayHeightTwips() - 7200) / 2);
    screen.setHeight(height);
    screen.setWidth(9600);
    if (moveExit == MoveExit::Yes) screen.c("cmdexit").move(8040, 6240);
}

// ---- Enter moves on

void AdvanceOnEnter(Screen& screen, int& key) {
    if (key != 13) return;
    key = 0;
    const auto& cs = screen.controls();
    int n = static_cast<int>(cs.size());
    Control* f = screen.focused();
    if (!f || n == 0) return;
    int pos = f->tabIndex();
    // At most n positions are tried, so a screen where nothing can take the
    // focus cannot loop.
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

// ---- Money text

namespace {

// "$##,##0.00" from the decimal digits of a whole number of cents.
std::string moneyFromCents(std::string cents, bool negative) {
    size_t nz = cents.find_first_not_of('0');
    cents = nz == std::string::npos ? std::string() : cents.substr(nz);
    if (cents.empty()) negative = false;  // no "-$0.00"
    if (cents.size() < 3) cents.insert(0, 3 - cents.size(), '0');
    std::string whole = cents.substr(0, cents.size() - 2);
    std::string grouped;
    for (size_t i = 0; i < whole.size(); ++i) {
        if (i && (whole.size() - i) % 3 == 0) grouped += ',';
        grouped += whole[i];
    }
    std::string s = std::string(negative ? "-" : "") + "$" + grouped + "." + cents.substr(cents.size() - 2);
    if (s.size() < 10) s.insert(0, 10 - s.size(), ' ');
    return s;
}

// Adds one to a string of decimal digits.
void incrementDigits(std::string& d) {
    for (size_t i = d.size(); i-- > 0;) {
        if (d[i] != '9') {
            ++d[i];
            return;
        }
        d[i] = '0';
    }
    d.insert(d.begin(), '1');
}

}  // namespace

std::string FormatMoney(double value) {
    if (!std::isfinite(value)) throw platform::overflowError();
    // The value's 15 significant digits, as the platform's formatting sees a
    // double, rounded half away from zero to cents.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.14e", std::fabs(value));
    std::string digits = std::string(1, buf[0]) + std::string(buf + 2, 14);
    int exponent = std::atoi(buf + 17);
    int point = exponent + 1;  // digits before the decimal point
    std::string whole, frac;
    if (point <= 0) {
        whole = "0";
        frac = std::string(static_cast<size_t>(-point), '0') + digits;
    } else if (point >= 15) {
        whole = digits + std::string(static_cast<size_t>(point - 15), '0');
    } else {
        whole = digits.substr(0, static_cast<size_t>(point));
        frac = digits.substr(static_cast<size_t>(point));
    }
    if (frac.size() < 3) frac.resize(3, '0');
    std::string cents = whole + frac.substr(0, 2);
    if (frac[2] >= '5') incrementDigits(cents);
    return moneyFromCents(cents, value < 0);
}

std::string FormatMoney(const std::string& text) { return FormatMoney(platform::leadingNumber(text)); }

std::string FormatMoney(platform::Money value) {
    int64_t v = value.tenThousandths();
    uint64_t magnitude = v < 0 ? uint64_t(0) - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
    uint64_t cents = magnitude / 100 + (magnitude % 100 >= 50 ? 1 : 0);
    return moneyFromCents(std::to_string(cents), v < 0);
}

void MoneyToText(Program& p) { p.shared().MoneyText = FormatMoney(p.shared().MoneyValue); }

void ShowMoney(Control& box, double value) {
    std::string t = FormatMoney(value);
    if (box.maxLength() > 0 && static_cast<int>(t.size()) > box.maxLength())
        box.setMaxLength(static_cast<int>(t.size()));
    box.setText(t);
}

std::optional<double> readNumberOrNothing(std::string_view text) {
    try {
        return platform::readNumber(text);
    } catch (const platform::Failure&) {
        return std::nullopt;  // too large: no number either
    }
}

// ---- Dates

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

// ---- Field conventions

namespace {

struct ConventionState {
    // The date box putting the focus back into itself, until it has it again.
    QPointer<QWidget> restoreTo;
};

// The conventions of one field: an event filter on its widget, installed
// after the screen's own, so the conventions run before the screen's routines.
class FieldRoutines : public QObject {
public:
    FieldRoutines(Screen& s, Control& c) : QObject(c.widget()), screen_(s), control_(c) {
        setObjectName(kName);
        c.widget()->installEventFilter(this);
        if (auto* le = qobject_cast<QLineEdit*>(c.widget()))
            QObject::connect(le, &QLineEdit::textChanged, this, [this] { run(changed); });
    }

    static FieldRoutines& of(Screen& s, Control& c) {
        if (!c.widget()) throw std::logic_error("control " + c.name() + " takes no focus conventions");
        // Found by name: the class has no meta-object of its own to cast by.
        auto* r = c.widget()->findChild<QObject*>(kName, Qt::FindDirectChildrenOnly);
        return r ? *static_cast<FieldRoutines*>(r) : *new FieldRoutines(s, c);
    }

    static constexpr const char* kName = "velmora-field-conventions";
    std::vector<std::function<void()>> got, lost, changed;

    bool eventFilter(QObject* o, QEvent* e) override {
        if (o != control_.widget()) return false;
        if (e->type() == QEvent::FocusIn) {
            auto& st = screen_.program().part<ConventionState>();
            if (st.restoreTo && st.restoreTo != control_.widget()) return false;  // passed over
            st.restoreTo = nullptr;
            // Already holding the focus for the conventions: its window came back.
            if (session_) return false;
            session_ = true;
            run(got);
        } else if (e->type() == QEvent::FocusOut) {
            auto reason = static_cast<QFocusEvent*>(e)->reason();
            // Another window taking the activation is no move away from the field.
            if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) return false;
            if (!session_) return false;
            session_ = false;
            run(lost);
        }
        return false;
    }

private:
    void run(const std::vector<std::function<void()>>& routines) {
        if (routines.empty()) return;
        auto copy = routines;
        screen_.program().guard([&] {
            for (auto& r : copy) r();
        });
    }

    Screen& screen_;
    Control& control_;
    bool session_ = false;
};

// A date box that held no date takes the focus back once the focus change
// that left it has finished (taking it from inside that change would leave the
// box focused but without its cursor). The controls the focus passes through
// meanwhile are passed over by their conventions. The pending window events
// then run as the routine returns to the event loop; a yield of its own would
// run them, and the next user action with them, in the middle of the focus
// change.
void putFocusBack(Screen& s, Control& box) {
    Program& p = s.program();
    p.part<ConventionState>().restoreTo = box.widget();
    QPointer<QWidget> w = box.widget();
    QMetaObject::invokeMethod(
        box.widget(),
        [&p, &s, &box, w] {
            p.guard([&] {
                auto& st = p.part<ConventionState>();
                if (!w || st.restoreTo != w) return;
                if (s.visible() && box.canTakeFocus() && !box.hasFocus()) box.setFocus();
                st.restoreTo = nullptr;
            });
        },
        Qt::QueuedConnection);
}

}  // namespace

void addFocusRoutine(Screen& s, const std::string& control, Event e, std::function<void()> routine) {
    auto& r = FieldRoutines::of(s, s.c(control));
    switch (e) {
        case Event::GotFocus: r.got.push_back(std::move(routine)); break;
        case Event::LostFocus: r.lost.push_back(std::move(routine)); break;
        case Event::Change: r.changed.push_back(std::move(routine)); break;
        default: throw std::logic_error("addFocusRoutine takes GotFocus, LostFocus or Change");
    }
}

void attach(Screen& s, const std::string& control, Behaviour b, FieldOptions o) {
    Control* c = &s.c(control);
    Program* p = &s.program();
    Screen* sp = &s;
    auto add = [&](Event e, std::function<void()> f) { addFocusRoutine(s, control, e, std::move(f)); };
    switch (b) {
        case Behaviour::SelectAll: add(Event::GotFocus, [c] { c->select(0, 200); }); break;
        case Behaviour::EmptyOnFocus: add(Event::GotFocus, [c] { c->setText(""); }); break;
        case Behaviour::RememberAndPutBack: {
            auto kept = std::make_shared<std::string>();
            add(Event::GotFocus, [c, kept] { *kept = c->text(); });
            add(Event::LostFocus, [c, kept] { c->setText(*kept); });
            break;
        }
        case Behaviour::DateBox:
            add(Event::LostFocus, [p, sp, c, onDate = std::move(o.onDate)] {
                auto& sv = p->shared();
                sv.DateText = c->text();
                if (sv.DateText.empty()) return;  // an emptied box can be left; its colour stays
                CheckDate(*p);
                c->setBackColor(static_cast<int64_t>(sv.DateBoxColour));
                if (sv.DateText != "FAIL") {
                    c->setText(sv.DateText);
                    if (onDate) onDate(std::string(sv.DateText));
                } else {
                    putFocusBack(*sp, *c);
                }
            });
            break;
        case Behaviour::MoneyReformat: {
            auto remember = [p, c] {
                if (auto v = readNumberOrNothing(c->text())) p->shared().PriorValue = *v;
            };
            add(Event::GotFocus, remember);
            if (o.rememberOnChange) add(Event::Change, remember);
            add(Event::LostFocus, [p, c] {
                auto& sv = p->shared();
                if (auto v = readNumberOrNothing(c->text())) sv.EnteredValue = *v;
                else sv.EnteredValue = sv.PriorValue;  // what the field shows again
                ShowMoney(*c, sv.EnteredValue);
            });
            break;
        }
        case Behaviour::MoneyBlankOnEntry:
            add(Event::GotFocus, [p, c, zero = o.emptyRemembersZero] {
                auto& sv = p->shared();
                std::string t = c->text();
                if (zero && t.empty()) sv.PriorValue2 = 0;
                else if (auto v = readNumberOrNothing(t)) sv.PriorValue2 = *v;
                c->setText("");
            });
            add(Event::LostFocus, [p, c] {
                auto& sv = p->shared();
                std::string t = c->text();
                if (t.empty()) {
                    ShowMoney(*c, sv.PriorValue2);
                } else {
                    sv.EnteredValue2 = platform::leadingNumber(t);
                    ShowMoney(*c, sv.EnteredValue2);
                }
            });
            break;
        case Behaviour::MoneyShowStored:
            if (!o.stored) throw std::logic_error("field " + control + " shows a stored value but has no getter");
            add(Event::LostFocus, [c, stored = std::move(o.stored)] { ShowMoney(*c, stored()); });
            break;
    }
}

void attach(Screen& s, const std::vector<FieldConvention>& table) {
    for (const auto& f : table) attach(s, f.control, f.behaviour, f.options);
}

void attachMoneyField(Screen& s, const std::string& control, MoneyPattern pattern, FieldOptions options) {
    switch (pattern) {
        case MoneyPattern::Reformat: attach(s, control, Behaviour::MoneyReformat, std::move(options)); break;
        case MoneyPattern::BlankOnEntry: attach(s, control, Behaviour::MoneyBlankOnEntry, std::move(options)); break;
        case MoneyPattern::ShowStored: attach(s, control, Behaviour::MoneyShowStored, std::move(options)); break;
    }
}

}  // namespace ui
