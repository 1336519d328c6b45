#include "ui/screen.h"

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <stdexcept>

#include "ui/program.h"

namespace ui {

namespace {

// Forwards the widgets' events to their screen.
class Filter : public QObject {
public:
    explicit Filter(Screen& s) : screen_(s) {}
    bool eventFilter(QObject* obj, QEvent* e) override { return screen_.eventFilter(obj, e); }

private:
    Screen& screen_;
};

class Window : public QWidget {
public:
    Window() : QWidget(nullptr, Qt::Tool | Qt::FramelessWindowHint) {}
};

int virtualKey(int qtKey) {
    if (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z) return 'A' + (qtKey - Qt::Key_A);
    if (qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) return '0' + (qtKey - Qt::Key_0);
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F12) return key::F1 + (qtKey - Qt::Key_F1);
    switch (qtKey) {
        case Qt::Key_Return:
        case Qt::Key_Enter: return key::Enter;
        case Qt::Key_Backspace: return key::Backspace;
        case Qt::Key_Tab: return key::Tab;
        case Qt::Key_Shift: return key::Shift;
        case Qt::Key_Control: return key::Ctrl;
        case Qt::Key_Alt: return key::Alt;
        case Qt::Key_CapsLock: return key::CapsLock;
        case Qt::Key_Escape: return key::Escape;
        case Qt::Key_Space: return key::Space;
        case Qt::Key_End: return key::End;
        case Qt::Key_Home: return key::Home;
        case Qt::Key_Left: return key::Left;
        case Qt::Key_Up: return key::Up;
        case Qt::Key_Right: return key::Right;
        case Qt::Key_Down: return key::Down;
        case Qt::Key_Delete: return key::Delete;
        default: return 0;
    }
}

// The character code a key press produces, 0 for none.
int keyAscii(const QKeyEvent* k) {
    switch (k->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter: return 13;
        case Qt::Key_Backspace: return 8;
        case Qt::Key_Escape: return 27;
        default: break;
    }
    if (k->modifiers() & (Qt::AltModifier | Qt::ControlModifier)) return 0;
    QString t = k->text();
    if (t.isEmpty()) return 0;
    ushort c = t.at(0).unicode();
    return c >= 32 && c != 127 ? c : 0;
}

int shiftState(Qt::KeyboardModifiers m) {
    return ((m & Qt::ShiftModifier) ? 1 : 0) | ((m & Qt::ControlModifier) ? 2 : 0) | ((m & Qt::AltModifier) ? 4 : 0);
}

}  // namespace

Screen::Screen(Program& program, ScreenDef def, std::vector<ControlDef> controls)
    : program_(program), def_(std::move(def)), width_(def_.width), height_(def_.height) {
    window_ = new Window();
    window_->setObjectName(QString::fromStdString(def_.name));
    window_->setWindowTitle(QString::fromStdString(def_.caption));
    window_->setAttribute(Qt::WA_DeleteOnClose, false);
    window_->setAutoFillBackground(true);
    QPalette pal = window_->palette();
    int64_t b = def_.back;
    pal.setColor(QPalette::Window, QColor(static_cast<int>(b & 0xFF), static_cast<int>((b >> 8) & 0xFF),
                                          static_cast<int>((b >> 16) & 0xFF)));
    window_->setPalette(pal);
    window_->resize(width_ / 15, height_ / 15);
    filter_ = std::make_unique<Filter>(*this);
    window_->installEventFilter(filter_.get());
    for (auto& d : controls) {
        auto ctl = std::make_unique<Control>(*this, std::move(d));
        Control* raw = ctl.get();
        byName_[raw->name()] = raw;
        controls_.push_back(std::move(ctl));
        const std::string name = raw->name();
        if (QWidget* w = raw->widget()) {
            w->installEventFilter(filter_.get());
            if (auto* btn = qobject_cast<QPushButton*>(w))
                QObject::connect(btn, &QPushButton::clicked, [this, name] { raise(name, Event::Click); });
            if (auto* le = qobject_cast<QLineEdit*>(w))
                QObject::connect(le, &QLineEdit::textChanged, [this, name] { raise(name, Event::Change); });
            if (auto* pe = qobject_cast<QPlainTextEdit*>(w))
                QObject::connect(pe, &QPlainTextEdit::textChanged, [this, name] { raise(name, Event::Change); });
            if (auto* lw = qobject_cast<QListWidget*>(w)) {
                QObject::connect(lw, &QListWidget::itemClicked, [this, name] { raise(name, Event::Click); });
                QObject::connect(lw, &QListWidget::itemDoubleClicked,
                                 [this, name] { raise(name, Event::DblClick); });
            }
        }
        if (QTimer* t = raw->timer()) QObject::connect(t, &QTimer::timeout, [this, name] { raise(name, Event::Timer); });
    }
    // Tab and Shift+Tab follow the tab positions (moveByTab); the toolkit's
    // own chain follows creation order and is not used.
}

Screen::~Screen() {
    controls_.clear();
    delete window_;
}

Control& Screen::c(const std::string& name) {
    auto* p = find(name);
    if (!p) throw std::logic_error("screen " + def_.name + " has no control " + name);
    return *p;
}

Control* Screen::find(const std::string& name) {
    auto it = byName_.find(name);
    return it == byName_.end() ? nullptr : it->second;
}

Control* Screen::focused() {
    QWidget* f = QApplication::focusWidget();
    for (auto& c : controls_)
        if (c->widget() && c->widget() == f) return c.get();
    return nullptr;
}

void Screen::show() {
    program_.checkEnded();
    window_->move(left_ / 15, top_ / 15);
    window_->resize(width_ / 15, height_ / 15);
    window_->show();
    if (QGuiApplication::platformName() != "offscreen") window_->raise();
    window_->activateWindow();
    // The screen shown becomes the active one now, not when the window
    // system gets round to saying so: its activation runs before the caller
    // goes on.
    if (!activated_) {
        activated_ = true;
        program_.guard([this] { activate(); });
        program_.checkEnded();
    }
}

void Screen::showModal() {
    window_->setWindowModality(Qt::ApplicationModal);
    show();
    modalRunning_ = true;
    try {
        program_.waitWhile([this] { return visible(); });
    } catch (...) {
        modalRunning_ = false;
        throw;
    }
    modalRunning_ = false;
    window_->setWindowModality(Qt::NonModal);
}

void Screen::hide() {
    window_->hide();
    // Hiding a modal screen ends the caller's wait.
    if (modalRunning_ && qApp) QCoreApplication::postEvent(qApp, new QEvent(QEvent::User));
}

bool Screen::visible() const { return window_->isVisible(); }

void Screen::setLeft(int t) {
    left_ = t;
    window_->move(left_ / 15, top_ / 15);
}
void Screen::setTop(int t) {
    top_ = t;
    window_->move(left_ / 15, top_ / 15);
}
void Screen::setWidth(int t) {
    width_ = t;
    window_->resize(width_ / 15, height_ / 15);
}
void Screen::setHeight(int t) {
    height_ = t;
    window_->resize(width_ / 15, height_ / 15);
}

void Screen::on(const std::string& control, Event e, std::function<void()> routine) {
    handlers_[{control, e}] = std::move(routine);
}
void Screen::onKeyPress(const std::string& control, std::function<void(int&)> routine) {
    keyPress_[control] = std::move(routine);
}
void Screen::onKeyDown(const std::string& control, std::function<bool(int, int, const std::string&)> r) {
    keyDown_[control] = std::move(r);
}


void Screen::raise(const std::string& control, Event e) {
    auto it = handlers_.find({control, e});
    if (it == handlers_.end()) return;
    auto routine = it->second;
    program_.guard(routine);
}

bool Screen::eventFilter(QObject* obj, QEvent* e) {
    if (program_.ended()) {
        // No further event runs once the program has ended.
        switch (e->type()) {
            case QEvent::KeyPress:
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
            case QEvent::MouseButtonRelease: return true;
            default: return false;
        }
    }
    if (obj == window_) {
        if (e->type() == QEvent::WindowActivate && !activated_) {
            activated_ = true;
            program_.guard([this] { activate(); });
        }
        if (e->type() == QEvent::WindowDeactivate || e->type() == QEvent::Hide) activated_ = false;
        if (e->type() == QEvent::KeyPress && def_.keyPreview && screenKeyPress_) {
            int a = keyAscii(static_cast<QKeyEvent*>(e));
            if (a) {
                bool swallow = false;
                program_.guard([&] {
                    int k = a;
                    screenKeyPress_(k);
                    swallow = k == 0;
                });
                return swallow;
            }
        }
        return false;
    }
    Control* ctl = nullptr;
    for (auto& c : controls_)
        if (c->widget() == obj) ctl = c.get();
    if (!ctl) return false;
    switch (e->type()) {
        case QEvent::FocusIn:
            lastFocus_ = ctl;
            raise(ctl->name(), Event::GotFocus);
            return false;
        case QEvent::FocusOut: {
            auto* fe = static_cast<QFocusEvent*>(e);
            // A window losing the activation is no lost focus of the control.
            if (fe->reason() == Qt::ActiveWindowFocusReason || fe->reason() == Qt::PopupFocusReason) return false;
            raise(ctl->name(), Event::LostFocus);
            return false;
        }
        case QEvent::MouseButtonPress:
            if (ctl->kind() == Kind::Label || ctl->kind() == Kind::Picture || ctl->kind() == Kind::TextBox ||
                ctl->kind() == Kind::MaskedBox)
                raise(ctl->name(), Event::Click);
            return false;
        case QEvent::MouseButtonDblClick:
            if (ctl->kind() != Kind::ListBox) raise(ctl->name(), Event::DblClick);
            return false;
        case QEvent::KeyPress: {
            auto* k = static_cast<QKeyEvent*>(e);
            if ((k->key() == Qt::Key_Tab || k->key() == Qt::Key_Backtab) &&
                !(k->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
                moveByTab(*ctl, k->key() == Qt::Key_Tab && !(k->modifiers() & Qt::ShiftModifier));
                return true;
            }
            if (auto* lw = qobject_cast<QListWidget*>(ctl->widget())) {
                // A selection moved with the keyboard is a click, as on the
                // original platform: look once the list has taken the key.
                int before = lw->currentRow();
                std::string name = ctl->name();
                QTimer::singleShot(0, lw, [this, lw, before, name] {
                    if (lw->currentRow() != before && lw->currentRow() >= 0) raise(name, Event::Click);
                });
            }
            bool swallow = false;
            std::string name = ctl->name();
            if (auto it = keyDown_.find(name); it != keyDown_.end()) {
                auto r = it->second;
                std::string text = k->text().toStdString();
                int vk = virtualKey(k->key());
                int sh = shiftState(k->modifiers());
                program_.guard([&] { swallow = r(vk, sh, text); });
                if (swallow || program_.ended()) return true;
            }
            int a = keyAscii(k);
            if (a == 0) return false;
            int original = a;
            if (def_.keyPreview && screenKeyPress_) {
                program_.guard([&] { screenKeyPress_(a); });
                if (a == 0 || program_.ended()) return true;
            }
            if (auto it = keyPress_.find(name); it != keyPress_.end()) {
                auto r = it->second;
                program_.guard([&] { r(a); });
                if (a == 0 || program_.ended()) return true;
            }
            if (a != original) {
                // The routine changed the character: type that one instead.
                if (auto* le = qobject_cast<QLineEdit*>(ctl->widget())) le->insert(QString(QChar(a)));
                return true;
            }
            // Enter presses a focused button, as on the original platform.
            if (a == 13 && ctl->kind() == Kind::Button) {
                if (auto* b = qobject_cast<QPushButton*>(ctl->widget())) b->click();
                return true;
            }
            return false;
        }
        default: return false;
    }
}

void Screen::moveByTab(Control& from, bool forward) {
    std::vector<Control*> order;
    for (auto& c : controls_)
        if (c->tabIndex() >= 0 && c->canTakeFocus()) order.push_back(c.get());
    if (order.empty()) return;
    std::stable_sort(order.begin(), order.end(), [](Control* a, Control* b) { return a->tabIndex() < b->tabIndex(); });
    Control* target = nullptr;
    if (forward) {
        for (Control* c : order)
            if (c->tabIndex() > from.tabIndex()) { target = c; break; }
        if (!target) target = order.front();
    } else {
        for (auto it = order.rbegin(); it != order.rend(); ++it)
            if ((*it)->tabIndex() < from.tabIndex()) { target = *it; break; }
        if (!target) target = order.back();
    }
    if (target->widget()) target->widget()->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
}

// ---- Screens

Screens::~Screens() = default;

void Screens::add(const std::string& name, Factory f) { factories_[name] = std::move(f); }

Screen& Screens::get(const std::string& name) {
    if (auto it = screens_.find(name); it != screens_.end()) return *it->second;
    auto f = factories_.find(name);
    if (f == factories_.end()) throw std::logic_error("no screen named " + name);
    auto s = f->second(program_);
    Screen& ref = *s;
    screens_[name] = std::move(s);
    ref.load();
    return ref;
}

Screen* Screens::existing(const std::string& name) const {
    auto it = screens_.find(name);
    return it == screens_.end() ? nullptr : it->second.get();
}

std::vector<Screen*> Screens::all() const {
    std::vector<Screen*> v;
    for (auto& [n, s] : screens_) v.push_back(s.get());
    return v;
}

void Screens::hideAll() {
    for (auto& [n, s] : screens_) s->window()->hide();
}

}  // namespace ui
