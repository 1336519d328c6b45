#include "ui/controls.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "platform/codepage.h"
#include "ui/screen.h"

namespace ui {

std::string fontFamilyFor(const std::string& name) {
    std::string n = platform::asciiLower(name);
    if (n.empty() || n == "ms sans serif" || n == "arial" || n == "sans serif" || n == "microsoft sans serif")
        return "Liberation Sans";
    if (n == "courier new" || n == "courier") return "Liberation Mono";
    if (n == "times new roman" || n == "times") return "Liberation Serif";
    return name;
}

namespace {
QString css(int64_t c) {
    return QString("#%1%2%3")
        .arg(static_cast<int>(c & 0xFF), 2, 16, QChar('0'))
        .arg(static_cast<int>((c >> 8) & 0xFF), 2, 16, QChar('0'))
        .arg(static_cast<int>((c >> 16) & 0xFF), 2, 16, QChar('0'));
}
Qt::Alignment qtAlign(Align a) {
    switch (a) {
        case Align::Center: return Qt::AlignHCenter | Qt::AlignVCenter;
        case Align::Right: return Qt::AlignRight | Qt::AlignVCenter;
        default: return Qt::AlignLeft | Qt::AlignVCenter;
    }
}
// Multi-line boxes hold CR LF between lines, as the program writes them.
QString toWidgetText(const std::string& t) { return QString::fromStdString(t).replace("\r\n", "\n"); }
std::string fromWidgetText(const QString& t) {
    QString s = t;
    return s.replace("\n", "\r\n").toStdString();
}
}  // namespace

Control::Control(Screen& screen, ControlDef def) : screen_(screen), def_(std::move(def)) {
    QWidget* parent = screen_.window();
    switch (def_.kind) {
        case Kind::TextBox:
            if (def_.look.multiline) {
                auto* w = new QPlainTextEdit(parent);
                w->setPlainText(toWidgetText(def_.text));
                w->setTabChangesFocus(true);
                widget_ = w;
            } else {
                auto* w = new QLineEdit(parent);
                w->setText(QString::fromStdString(def_.text));
                w->setCursorPosition(0);  // show a text wider than its box from its start
                if (def_.maxLength > 0) w->setMaxLength(def_.maxLength);
                widget_ = w;
            }
            break;
        case Kind::MaskedBox: {
            auto* w = new QLineEdit(parent);
            w->setText(QString::fromStdString(def_.text.empty() ? def_.mask : def_.text));
            widget_ = w;
            break;
        }
        case Kind::Label:
        case Kind::Picture: {
            auto* w = new QLabel(parent);
            w->setText(toWidgetText(def_.text));
            w->setWordWrap(true);
            w->setTextFormat(Qt::PlainText);
            widget_ = w;
            break;
        }
        case Kind::Button: {
            auto* w = new QPushButton(parent);
            w->setText(QString::fromStdString(def_.text));
            widget_ = w;
            break;
        }
        case Kind::ListBox: {
            auto* w = new QListWidget(parent);
            if (!def_.text.empty())
                for (auto& item : QString::fromStdString(def_.text).split('|')) w->addItem(item);
            widget_ = w;
            break;
        }
        case Kind::Timer:
            timer_ = new QTimer(parent);
            timer_->setInterval(def_.interval);
            if (def_.interval > 0 && def_.enabled) timer_->start();
            break;
    }
    back_ = def_.look.back;
    fore_ = def_.look.fore;
    tooltip_ = def_.tooltip;
    if (widget_) {
        widget_->setObjectName(QString::fromStdString(def_.name));
        widget_->setGeometry(def_.left / 15, def_.top / 15, def_.width / 15, def_.height / 15);
        if (!tooltip_.empty()) widget_->setToolTip(QString::fromStdString(tooltip_));
        widget_->setEnabled(def_.enabled);
        if (def_.kind == Kind::Label || def_.kind == Kind::Picture) widget_->setFocusPolicy(Qt::NoFocus);
        else widget_->setFocusPolicy(Qt::StrongFocus);
        applyLook();
        if (!def_.visible) widget_->hide();
    }
}

Control::~Control() = default;

void Control::applyLook() {
    if (!widget_) return;
    const Look& l = def_.look;
    const ScreenDef& sd = screen_.definition();
    QFont f(QString::fromStdString(fontFamilyFor(l.font.empty() ? sd.font : l.font)));
    f.setPointSizeF(l.size > 0 ? l.size : sd.size);
    f.setBold(l.font.empty() && l.size == 0 ? (l.bold || sd.bold) : l.bold);
    f.setItalic(l.italic);
    f.setUnderline(l.underline);
    widget_->setFont(f);
    int64_t back = back_, fore = fore_;
    if (back == colour::Default) {
        switch (def_.kind) {
            case Kind::Label: back = sd.back; break;
            case Kind::Button: back = colour::ButtonFace; break;
            default: back = colour::Window;
        }
    }
    if (fore == colour::Default) fore = colour::Black;
    QString style = QString("background-color: %1; color: %2;").arg(css(back), css(fore));
    if (def_.kind == Kind::Button) style += " border: 1px solid #404040;";
    else if (def_.kind != Kind::Label && def_.kind != Kind::Picture)
        style += l.border ? " border: 1px solid #808080;" : " border: none;";
    widget_->setStyleSheet(style);
    if (auto* e = qobject_cast<QLineEdit*>(widget_)) e->setAlignment(qtAlign(l.align));
    if (auto* lb = qobject_cast<QLabel*>(widget_)) lb->setAlignment((qtAlign(l.align) & ~Qt::AlignVCenter) | Qt::AlignTop);
    if (auto* pe = qobject_cast<QPlainTextEdit*>(widget_)) {
        QTextOption o = pe->document()->defaultTextOption();
        o.setAlignment(qtAlign(l.align) & Qt::AlignHorizontal_Mask);
        pe->document()->setDefaultTextOption(o);
    }
}

std::string Control::text() const {
    if (auto* e = qobject_cast<QLineEdit*>(widget_)) return e->text().toStdString();
    if (auto* p = qobject_cast<QPlainTextEdit*>(widget_)) return fromWidgetText(p->toPlainText());
    if (auto* b = qobject_cast<QPushButton*>(widget_)) return b->text().toStdString();
    if (auto* l = qobject_cast<QLabel*>(widget_)) return fromWidgetText(l->text());
    if (auto* lw = qobject_cast<QListWidget*>(widget_)) {
        auto* it = lw->currentItem();
        return it ? it->text().toStdString() : std::string();
    }
    return def_.text;
}

void Control::setText(const std::string& t) {
    if (auto* e = qobject_cast<QLineEdit*>(widget_)) {
        e->setText(QString::fromStdString(t));
        e->setCursorPosition(0);
    } else if (auto* p = qobject_cast<QPlainTextEdit*>(widget_)) p->setPlainText(toWidgetText(t));
    else if (auto* b = qobject_cast<QPushButton*>(widget_)) b->setText(QString::fromStdString(t));
    else if (auto* l = qobject_cast<QLabel*>(widget_)) l->setText(toWidgetText(t));
    else def_.text = t;
}

bool Control::visible() const { return widget_ ? !widget_->isHidden() : true; }
void Control::setVisible(bool v) {
    if (widget_) widget_->setVisible(v);
}
bool Control::enabled() const { return widget_ ? widget_->isEnabled() : timerEnabled(); }
void Control::setEnabled(bool e) {
    if (widget_) widget_->setEnabled(e);
    else setTimerEnabled(e);
}
void Control::setBackColor(int64_t c) {
    back_ = c;
    applyLook();
}
void Control::setForeColor(int64_t c) {
    fore_ = c;
    applyLook();
}
void Control::setTooltip(const std::string& t) {
    tooltip_ = t;
    if (widget_) widget_->setToolTip(QString::fromStdString(t));
}
void Control::move(int left, int top) {
    def_.left = left;
    def_.top = top;
    if (widget_) widget_->move(left / 15, top / 15);
}
void Control::resize(int width, int height) {
    def_.width = width;
    def_.height = height;
    if (widget_) widget_->resize(width / 15, height / 15);
}
void Control::setMaxLength(int n) {
    def_.maxLength = n;
    if (auto* e = qobject_cast<QLineEdit*>(widget_)) e->setMaxLength(n > 0 ? n : 32767);
}
int Control::interval() const { return timer_ ? timer_->interval() : 0; }
void Control::setInterval(int ms) {
    if (!timer_) return;
    bool on = timer_->isActive() || def_.enabled;
    timer_->setInterval(ms);
    if (ms == 0) timer_->stop();
    else if (on && def_.enabled) timer_->start();
}
bool Control::timerEnabled() const { return timer_ ? def_.enabled : false; }
void Control::setTimerEnabled(bool on) {
    if (!timer_) return;
    def_.enabled = on;
    if (on && timer_->interval() > 0) timer_->start();
    else timer_->stop();
}

std::vector<std::string> Control::items() const {
    std::vector<std::string> out;
    if (auto* lw = qobject_cast<QListWidget*>(widget_))
        for (int i = 0; i < lw->count(); ++i) out.push_back(lw->item(i)->text().toStdString());
    return out;
}
void Control::clearItems() {
    if (auto* lw = qobject_cast<QListWidget*>(widget_)) lw->clear();
}
void Control::addItem(const std::string& item, int at) {
    if (auto* lw = qobject_cast<QListWidget*>(widget_)) {
        if (at < 0 || at > lw->count()) lw->addItem(QString::fromStdString(item));
        else lw->insertItem(at, QString::fromStdString(item));
    }
}
int Control::listIndex() const {
    if (auto* lw = qobject_cast<QListWidget*>(widget_)) return lw->currentRow();
    return -1;
}

bool Control::canTakeFocus() const {
    return widget_ && widget_->focusPolicy() != Qt::NoFocus && !widget_->isHidden() && widget_->isEnabled();
}
void Control::setFocus() {
    if (widget_) widget_->setFocus(Qt::OtherFocusReason);
}
bool Control::hasFocus() const { return widget_ && widget_->hasFocus(); }
void Control::select(int start, int length) {
    if (auto* e = qobject_cast<QLineEdit*>(widget_)) {
        int n = e->text().size();
        start = std::min(start, n);
        e->setSelection(start, std::min(length, n - start));
    }
}

}  // namespace ui
