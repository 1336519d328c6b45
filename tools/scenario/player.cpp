#include "tools/scenario/player.h"

#include <sqlite3.h>

#include <QApplication>
#include <QDateTime>
#include <QImage>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QWidget>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <sstream>
#include <stdexcept>

#include "platform/codepage.h"
#include "platform/dates.h"
#include "platform/files.h"
#include "platform/numbers.h"
#include "platform/print/print_surface.h"
#include "platform/print/recording_backend.h"
#include "printing/printing.h"
#include "settings/program/program_settings.h"
#include "tools/scenario/test_screens.h"
#include "ui/dialogs.h"
#include "ui/password.h"
#include "ui/program.h"
#include "ui/screen.h"

namespace scenario {

using ui::Control;
using ui::Screen;

namespace {

long long nowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

struct StepFailure {
    std::string found;
};

[[noreturn]] void failWith(const std::string& found) { throw StepFailure{found}; }

// Events the player itself lets run while it prepares a step (activating a
// window, moving the focus) must not start the next step: that one runs only
// inside the event loops of the program's own routines.
int pumping = 0;
void pump() {
    ++pumping;
    QCoreApplication::processEvents();
    --pumping;
}

}  // namespace

std::vector<Step> parseScript(const std::string& text) {
    std::vector<Step> steps;
    std::istringstream in(text);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        ++n;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        Step s;
        s.line = n;
        s.source = line;
        size_t i = 0;
        while (i < line.size()) {
            char c = line[i];
            if (c == ' ' || c == '\t') { ++i; continue; }
            if (c == '#') break;
            if (c == '"') {
                std::string v;
                ++i;
                bool closed = false;
                while (i < line.size()) {
                    char d = line[i++];
                    if (d == '"') { closed = true; break; }
                    if (d == '\\' && i < line.size()) {
                        char e = line[i++];
                        // Only \", \\, \r and \n are escapes; any other backslash stays, so
                        // that paths such as M:\trans.mdb read as written.
                        if (e == 'n') v += '\n';
                        else if (e == 'r') v += '\r';
                        else if (e == '"' || e == '\\') v += e;
                        else { v += '\\'; v += e; }
                    } else {
                        v += d;
                    }
                }
                if (!closed) throw std::runtime_error("line " + std::to_string(n) + ": unclosed text");
                s.tokens.push_back({Token::Text, v});
                continue;
            }
            if (c == '{') {
                size_t e = line.find('}', i);
                if (e == std::string::npos) throw std::runtime_error("line " + std::to_string(n) + ": unclosed key");
                s.tokens.push_back({Token::Key, line.substr(i + 1, e - i - 1)});
                i = e + 1;
                continue;
            }
            size_t j = i;
            while (j < line.size() && line[j] != ' ' && line[j] != '\t' && line[j] != '"' && line[j] != '{') ++j;
            s.tokens.push_back({Token::Word, line.substr(i, j - i)});
            i = j;
        }
        if (!s.tokens.empty()) steps.push_back(std::move(s));
    }
    return steps;
}

Player::Player(ui::Program& program, std::string scriptName, std::vector<Step> steps)
    : program_(program), name_(std::move(scriptName)), steps_(std::move(steps)) {
    registerTestScreens(program_);
}

void Player::start() { schedule(0); }

void Player::schedule(int delayMs) {
    unsigned t = ++token_;
    QTimer::singleShot(delayMs, [this, t] {
        if (t == token_) runNext();
    });
}

void Player::fail(const Step& s, const std::string& found) {
    std::fprintf(stderr, "%s:%d: %s\n  found: %s\n", name_.c_str(), s.line, s.source.c_str(), found.c_str());
    std::fflush(stderr);
    std::fflush(stdout);
    std::_Exit(1);
}

void Player::succeed() {
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(0);
}

void Player::runNext() {
    if (pumping > 0) {
        schedule(1);
        return;
    }
    if (next_ >= steps_.size()) succeed();
    const Step& s = steps_[next_];
    const std::string& verb = s.tokens[0].value;
    bool waitsForEnd =
        verb == "expect" && s.tokens.size() >= 2 && (s.tokens[1].value == "ended" || s.tokens[1].value == "exit");
    // Once an "expect ended" has held, later expectations look at what the
    // ended program left; any other step after the end is a failure.
    if (program_.ended() && !waitsForEnd && !(afterEnd_ && verb == "expect"))
        fail(s, "the program ended (exit status " + std::to_string(program_.exitStatus()) + ") before this step");
    ++next_;
    nextDelay_ = 0;
    bool done = false;
    // The next step is scheduled before this one runs, so that it runs inside
    // whatever event loop this step's routine enters.
    schedule(0);
    try {
        done = execute(s);
    } catch (const StepFailure& f) {
        fail(s, f.found);
    } catch (const std::exception& e) {
        fail(s, std::string("error: ") + e.what());
    }
    if (!done) {
        --next_;  // retry later
        return;
    }
    // "wait": hold the next step back while events run.
    if (nextDelay_ > 0) schedule(nextDelay_);
}

namespace {

struct Ctx {
    ui::Program& p;
};

Screen* screenNamed(ui::Program& p, const std::string& name) {
    Screen* s = p.screens().existing(name);
    if (!s) failWith("screen " + name + " does not exist (not created)");
    return s;
}

Control& controlNamed(ui::Program& p, const std::string& qualified) {
    size_t dot = qualified.find('.');
    if (dot == std::string::npos) failWith("not a control name: " + qualified);
    Screen* s = screenNamed(p, qualified.substr(0, dot));
    Control* c = s->find(qualified.substr(dot + 1));
    if (!c) failWith("screen " + s->name() + " has no control " + qualified.substr(dot + 1));
    return *c;
}

std::string boolText(bool b) { return b ? "true" : "false"; }

std::string property(ui::Program& p, const std::string& ref) {
    size_t last = ref.rfind('.');
    if (last == std::string::npos) failWith("no property in " + ref);
    std::string owner = ref.substr(0, last), prop = platform::asciiLower(ref.substr(last + 1));
    if (owner.find('.') == std::string::npos) {
        if (prop == "exists") return boolText(p.screens().existing(owner) != nullptr);
        Screen* s = screenNamed(p, owner);
        if (prop == "visible") return boolText(s->visible());
        if (prop == "left") return std::to_string(s->left());
        if (prop == "top") return std::to_string(s->top());
        if (prop == "width") return std::to_string(s->width());
        if (prop == "height") return std::to_string(s->height());
        if (prop == "caption") return s->definition().caption;
        if (prop == "helpcontext") return std::to_string(s->helpContext());
        failWith("unknown screen property " + prop);
    }
    Control& c = controlNamed(p, owner);
    if (prop == "text" || prop == "caption") return c.text();
    if (prop == "items") {
        std::string out;
        for (auto& i : c.items()) out += (out.empty() ? "" : "|") + i;
        return out;
    }
    if (prop == "visible") return boolText(c.visible());
    if (prop == "enabled") return boolText(c.enabled());
    if (prop == "backcolor") return std::to_string(c.backColor());
    if (prop == "forecolor") return std::to_string(c.foreColor());
    if (prop == "tooltip") return c.tooltip();
    if (prop == "left") return std::to_string(c.left());
    if (prop == "top") return std::to_string(c.top());
    if (prop == "width") return std::to_string(c.width());
    if (prop == "height") return std::to_string(c.height());
    if (prop == "maxlength") return std::to_string(c.maxLength());
    if (prop == "tabindex") return std::to_string(c.tabIndex());
    if (prop == "interval") return std::to_string(c.interval());
    if (prop == "font") {
        QFont f = c.widget() ? c.widget()->font() : QFont();
        return f.family().toStdString() + " " + platform::numberText(f.pointSizeF()) + (f.bold() ? " bold" : "") +
               (f.italic() ? " italic" : "") + (f.underline() ? " underline" : "");
    }
    failWith("unknown control property " + prop);
}

void compare(const std::string& found, const std::string& op, const std::string& want) {
    if (op == "=") {
        if (found != want) failWith("\"" + found + "\"");
    } else if (op == "contains") {
        if (found.find(want) == std::string::npos) failWith("\"" + found + "\"");
    } else {
        failWith("unknown comparison " + op);
    }
}

void activate(QWidget* w) {
    QWidget* win = w->window();
    win->activateWindow();
    QApplication::setActiveWindow(win);
    pump();
}

void focusControl(ui::Program& p, Control& c) {
    if (!c.widget()) failWith(c.name() + " cannot take the focus");
    if (!c.screen().visible()) failWith("screen " + c.screen().name() + " is not shown");
    activate(c.widget());
    c.setFocus();
    pump();
    (void)p;
}

Qt::Key namedKey(const std::string& k) {
    static const std::map<std::string, Qt::Key> keys = {
        {"Enter", Qt::Key_Return}, {"Tab", Qt::Key_Tab},       {"Backspace", Qt::Key_Backspace},
        {"Delete", Qt::Key_Delete}, {"Escape", Qt::Key_Escape}, {"Left", Qt::Key_Left},
        {"Right", Qt::Key_Right},   {"Up", Qt::Key_Up},         {"Down", Qt::Key_Down},
        {"Shift", Qt::Key_Shift},   {"Ctrl", Qt::Key_Control},  {"CapsLock", Qt::Key_CapsLock},
        {"F1", Qt::Key_F1},         {"Home", Qt::Key_Home},     {"End", Qt::Key_End},
        {"Space", Qt::Key_Space}};
    auto it = keys.find(k);
    if (it == keys.end()) failWith("unknown key {" + k + "}");
    return it->second;
}

// Alt+X presses the shown, enabled button whose caption has the access key X.
void pressAccessKey(Screen& s, char x) {
    std::string want = std::string("&") + static_cast<char>(std::toupper(static_cast<unsigned char>(x)));
    for (auto& c : s.controls()) {
        if (c->kind() != ui::Kind::Button || !c->visible() || !c->enabled()) continue;
        std::string cap = platform::asciiUpper(c->text());
        if (cap.find(want) != std::string::npos) {
            if (auto* b = qobject_cast<QPushButton*>(c->widget())) b->click();
            return;
        }
    }
}

void typeKeys(ui::Program& p, Control& c, const std::vector<Token>& toks, size_t from) {
    for (size_t i = from; i < toks.size(); ++i) {
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : c.widget();
        if (toks[i].kind == Token::Text) {
            for (unsigned char ch : toks[i].value) {
                target = QApplication::focusWidget() ? QApplication::focusWidget() : c.widget();
                QTest::keyClick(target, static_cast<char>(ch));
                pump();
                if (p.ended()) return;
            }
        } else if (toks[i].kind == Token::Key) {
            const std::string& k = toks[i].value;
            if (k.rfind("Alt+", 0) == 0 && k.size() == 5) {
                pressAccessKey(c.screen(), k[4]);
            } else {
                QTest::keyClick(target, namedKey(k));
            }
            pump();
            if (p.ended()) return;
        } else {
            failWith("expected a text or a {key}: " + toks[i].value);
        }
    }
}

std::string readFileText(ui::Program& p, const std::string& path) {
    auto host = p.drives().resolve(path);
    std::ifstream in(host, std::ios::binary);
    if (!in) failWith("file " + path + " does not exist");
    std::stringstream ss;
    ss << in.rdbuf();
    return platform::cp1252ToUtf8(ss.str());
}

std::string sqlValue(sqlite3_stmt* st, int col, const platform::Locale& loc) {
    int t = sqlite3_column_type(st, col);
    if (t == SQLITE_NULL) return "NULL";
    const char* dt = sqlite3_column_decltype(st, col);
    std::string decl = dt ? platform::asciiUpper(dt) : "";
    if (decl == "CURRENCY" && t == SQLITE_INTEGER)
        return platform::moneyText(platform::Money::fromTenThousandths(sqlite3_column_int64(st, col)));
    if (decl == "DATETIME" && t != SQLITE_TEXT) return loc.shortDate(platform::fromSerial(sqlite3_column_double(st, col)));
    if (t == SQLITE_FLOAT) return platform::numberText(sqlite3_column_double(st, col));
    const unsigned char* s = sqlite3_column_text(st, col);
    return s ? reinterpret_cast<const char*>(s) : "";
}

std::string runSql(ui::Program& p, const std::string& path, const std::string& sql, bool query) {
    auto host = p.drives().resolve(path);
    if (!std::filesystem::exists(host)) failWith("database " + path + " does not exist");
    sqlite3* db = nullptr;
    if (sqlite3_open_v2(host.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) {
        sqlite3_close(db);
        failWith("cannot open " + path);
    }
    sqlite3_busy_timeout(db, 5000);
    std::string out, err;
    sqlite3_stmt* st = nullptr;
    if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) != SQLITE_OK) {
        err = sqlite3_errmsg(db);
    } else {
        int rc = sqlite3_step(st);
        if (rc == SQLITE_ROW && query) out = sqlValue(st, 0, p.workstation().locale());
        else if (rc != SQLITE_ROW && rc != SQLITE_DONE) err = sqlite3_errmsg(db);
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    if (!err.empty()) failWith("sql error: " + err);
    return out;
}

// ---- printing

platform::PrintSurface& printSurfaceOf(ui::Program& p) {
    if (!p.printSurface()) failWith("the program has no print surface");
    return *p.printSurface();
}

// The output recorded since the "printers" step, if printing goes to one.
platform::RecordingBackend* recordingPrinter(ui::Program& p) {
    return p.printSurface() ? dynamic_cast<platform::RecordingBackend*>(&p.printSurface()->backend()) : nullptr;
}

// A host file at a drive as the program names it ("G:\Printed\x.pdf").
std::string programPathOf(ui::Program& p, const std::filesystem::path& host) {
    for (char d : {'G', 'M'}) {
        auto root = p.drives().root(d);
        if (!root) continue;
        auto rel = host.lexically_relative(*root);
        if (rel.empty() || *rel.begin() == "..") continue;
        std::string out = std::string(1, d) + ":";
        for (auto& part : rel) out += "\\" + part.string();
        return out;
    }
    return host.string();
}

// Texts to print: a number before a text is the text's column.
std::vector<platform::PrintItem> printItems(const std::vector<Token>& t, size_t from) {
    std::vector<platform::PrintItem> items;
    std::optional<int> column;
    for (size_t i = from; i < t.size(); ++i) {
        if (t[i].kind == Token::Text) {
            items.push_back(column ? platform::PrintItem(*column, t[i].value) : platform::PrintItem(t[i].value));
            column.reset();
            continue;
        }
        auto n = platform::readNumber(t[i].value);
        if (t[i].kind != Token::Word || !n || column) failWith("expected a column and a quoted text: " + t[i].value);
        column = static_cast<int>(*n);
    }
    if (column) failWith("a column without a text");
    return items;
}

// What the caller of "start password" got: "waiting", then "returned:" and the entry.
std::string& passwordHandshake() {
    static std::string result;
    return result;
}

// What became of each screen shown by "start modal": waiting, returned.
std::map<std::string, std::string>& modalCallers() {
    static std::map<std::string, std::string> m;
    return m;
}

}  // namespace

bool Player::execute(const Step& s) {
    ui::Program& p = program_;
    const auto& t = s.tokens;
    auto word = [&](size_t i) -> std::string { return i < t.size() ? t[i].value : std::string(); };
    auto text = [&](size_t i) -> std::string {
        if (i >= t.size() || t[i].kind != Token::Text) failWith("expected a quoted text at word " + std::to_string(i + 1));
        return t[i].value;
    };
    const std::string verb = word(0);

    if (verb == "clock") {
        auto d = platform::Locale("MM/dd/yyyy").recognise(text(1));
        if (!d) failWith("not a date and time: " + text(1));
        p.workstation().setDateTime(*d);
        return true;
    }
    if (verb == "start") {
        std::string what = word(1);
        if (what == "recovery") {
            p.guard([&p] { p.screens().get("frmopen"); });
            if (!p.ended()) p.end(0);
            return true;
        }
        if (what == "normal") {
            if (!p.screens().known("normal-start")) failWith("the normal start sequence is not built yet");
            p.guard([&p] { p.screens().get("normal-start"); });
            return true;
        }
        if (what == "screen") {
            std::string name = word(2);
            if (!p.screens().known(name)) failWith("no screen named " + name);
            p.guard([&p, name] {
                settings::ResetSharedValues(p);
                settings::LoadSystemSpec(p);
                p.screens().get(name).show();
            });
            return true;
        }
        if (what == "modal") {
            // As a caller that shows a screen modally: this step waits until
            // the screen hides itself while the steps after it run.
            std::string name = word(2);
            if (!p.screens().known(name)) failWith("no screen named " + name);
            modalCallers()[name] = "waiting";
            p.guard([&p, name] {
                Screen& sc = p.screens().get(name);
                // The offscreen platform keeps a hidden window as its focus
                // window and so never activates it again when it is shown;
                // activate it as a window manager would.
                QTimer::singleShot(0, [w = sc.window()] {
                    if (w->isVisible()) activate(w);
                });
                sc.showModal();
            });
            modalCallers()[name] = p.ended() ? "ended" : "returned";
            // The steps run meanwhile have scheduled what follows.
            nextDelay_ = 0;
            return true;
        }
        if (what == "password") {
            // As a guarded operation: the password handshake with this length;
            // the steps after it type the entry while it waits.
            auto n = platform::readNumber(word(2));
            if (!n) failWith("start password LENGTH [show]");
            auto how = word(3) == "show" ? ui::PasswordShow::ShowPasswordEntry : ui::PasswordShow::Reset;
            std::string* result = &passwordHandshake();
            p.registerShared("PasswordHandshake", [result] { return *result; });
            *result = "waiting";
            p.guard([&p, n, how, result] {
                std::string entry = ui::AskPassword(p, static_cast<int16_t>(*n), how);
                *result = "returned:" + entry;
            });
            nextDelay_ = 0;
            return true;
        }
        failWith("unknown start " + what);
    }
    if (verb == "click" || verb == "dblclick") {
        Control& c = controlNamed(p, word(1));
        if (!c.screen().visible()) failWith("screen " + c.screen().name() + " is not shown");
        if (!c.visible() || !c.enabled()) failWith(c.name() + " is hidden or disabled");
        activate(c.widget());
        if (verb == "click") {
            if (auto* b = qobject_cast<QPushButton*>(c.widget())) b->click();
            else c.screen().raise(c.name(), ui::Event::Click);
        } else {
            c.screen().raise(c.name(), ui::Event::DblClick);
        }
        return true;
    }
    if (verb == "select") {
        Control& c = controlNamed(p, word(1));
        auto* lw = qobject_cast<QListWidget*>(c.widget());
        if (!lw) failWith(c.name() + " is not a list box");
        std::string item = text(2);
        // Activating the screen may fill its list afresh: look for the item after.
        activate(lw);
        auto found = lw->findItems(QString::fromStdString(item), Qt::MatchExactly);
        if (found.isEmpty()) failWith("no item \"" + item + "\" in " + c.name());
        lw->setCurrentItem(found.front());
        emit lw->itemClicked(found.front());
        return true;
    }
    if (verb == "key") {
        Control& c = controlNamed(p, word(1));
        focusControl(p, c);
        // A user typing into a box types after its text, unless the box has
        // selected its text on getting the focus.
        if (auto* le = qobject_cast<QLineEdit*>(c.widget()); le && !le->hasSelectedText()) le->end(false);
        typeKeys(p, c, t, 2);
        return true;
    }
    if (verb == "set") {
        Control& c = controlNamed(p, word(1));
        focusControl(p, c);
        if (auto* le = qobject_cast<QLineEdit*>(c.widget())) le->selectAll();
        if (auto* pe = qobject_cast<QPlainTextEdit*>(c.widget())) pe->selectAll();
        std::string v = text(2);
        if (v.empty()) {
            QTest::keyClick(c.widget(), Qt::Key_Delete);
        } else {
            std::vector<Token> one{{Token::Text, v}};
            typeKeys(p, c, one, 0);
        }
        return true;
    }
    if (verb == "show") {
        // As a routine that shows a hidden control (a report showing an option).
        controlNamed(p, word(1)).setVisible(true);
        return true;
    }
    if (verb == "focus") {
        Control& c = controlNamed(p, word(1));
        focusControl(p, c);
        return true;
    }
    if (verb == "answer") {
        if (word(1) == "input") {
            if (t.size() > 2 && t[2].kind == Token::Word && t[2].value == "cancel") p.dialogs().queueInput(std::nullopt);
            else p.dialogs().queueInput(text(2));
            return true;
        }
        if (word(1) == "message") {
            p.dialogs().queueMessageOk();
            return true;
        }
        failWith("unknown answer " + word(1));
    }
    if (verb == "sql") {
        runSql(p, text(1), text(2), false);
        return true;
    }
    if (verb == "write") {
        auto host = p.drives().resolve(text(1));
        platform::atomicWriteFile(host, platform::utf8ToCp1252(text(2)), text(1));
        return true;
    }
    if (verb == "delete") {
        p.files().remove(text(1));
        return true;
    }
    if (verb == "wait") {
        auto n = platform::readNumber(word(1));
        if (!n) failWith("wait needs milliseconds");
        nextDelay_ = static_cast<int>(*n);
        return true;
    }
    if (verb == "printers") {
        std::vector<std::string> names;
        for (size_t i = 1; i < t.size(); ++i) names.push_back(text(i));
        p.setPrintSurface(std::make_shared<platform::PrintSurface>(std::make_unique<platform::RecordingBackend>(names)));
        return true;
    }
    if (verb == "choose") {
        if (word(1) != "printer") failWith("choose printer \"name\"");
        std::string name = text(2);
        p.guard([&p, name] { printing::SelectPrinter(p, name); });
        return true;
    }
    if (verb == "print") {
        platform::PrintSurface& ps = printSurfaceOf(p);
        std::string what = word(1);
        std::function<void()> job;
        if (what == "line" || what == "text") {
            auto items = printItems(t, 2);
            auto end = what == "line" ? platform::PrintSurface::LineEnd::Yes : platform::PrintSurface::LineEnd::No;
            job = [&ps, items, end] { ps.print(items, end); };
        } else if (what == "font") {
            auto size = platform::readNumber(word(3));
            if (!size) failWith("print font \"name\" SIZE [bold]");
            std::string name = text(2);
            bool bold = word(4) == "bold";
            job = [&ps, name, size, bold] { ps.setFont(name, *size, bold); };
        } else if (what == "document") {
            std::string name = text(2);
            job = [&ps, name] { ps.setDocumentName(name); };
        } else if (what == "page") {
            job = [&ps] { ps.newPage(); };
        } else if (what == "end") {
            job = [&ps] { ps.endDocument(); };
        } else if (what == "screen") {
            Screen* sc = screenNamed(p, word(2));
            std::string doc = t.size() > 3 ? text(3) : std::string();
            pump();
            QImage img = sc->window()->grab().toImage();
            job = [&ps, img, doc] { ps.printImage(img, doc); };
        } else {
            failWith("print line|text|font|document|page|end|screen");
        }
        p.guard(job);
        return true;
    }
    if (verb == "shot") {
        Screen* sc = screenNamed(p, word(1));
        pump();
        QPixmap px = sc->window()->grab();
        if (!px.save(QString::fromStdString(text(2)), "PNG")) failWith("cannot save " + text(2));
        return true;
    }
    if (verb == "await") {
        // Like expect, but retried until it holds (60 s at most), for states a
        // running routine reaches later.
        try {
            compare(property(p, word(1)), word(2), text(3));
        } catch (const StepFailure& f) {
            if (p.ended()) failWith(f.found + " (and the program has ended)");
            if (!waitStarted_) waitStarted_ = nowMs();
            if (nowMs() - waitStarted_ > 60000) failWith(f.found + " for 60 s");
            return false;
        }
        waitStarted_ = 0;
        return true;
    }
    if (verb == "expect") {
        std::string what = word(1);
        if (what == "ended" || what == "exit") {
            if (!p.ended()) {
                if (!waitStarted_) waitStarted_ = nowMs();
                if (nowMs() - waitStarted_ > 60000) failWith("the program did not end within 60 s");
                return false;
            }
            waitStarted_ = 0;
            afterEnd_ = true;
            if (what == "exit") {
                auto n = platform::readNumber(word(2));
                if (!n || static_cast<int>(*n) != p.exitStatus())
                    failWith("exit status " + std::to_string(p.exitStatus()));
            }
            return true;
        }
        if (what == "focus") {
            QWidget* f = QApplication::focusWidget();
            std::string found = "(none)";
            for (Screen* sc : p.screens().all())
                for (auto& c : sc->controls())
                    if (f && c->widget() == f) found = sc->name() + "." + c->name();
            compare(found, word(2), text(3));
            return true;
        }
        if (what == "shared") {
            std::string v;
            if (!p.sharedValue(word(2), v)) failWith("no shared value named " + word(2));
            compare(v, word(3), text(4));
            return true;
        }
        if (what == "message") {
            const auto& m = p.dialogs().messages();
            compare(m.empty() ? std::string("(no message box)") : m.back().text, word(2), text(3));
            return true;
        }
        if (what == "input") {
            const auto& m = p.dialogs().inputs();
            if (word(2) != "prompt") failWith("expect input prompt ...");
            compare(m.empty() ? std::string("(no input box)") : m.back().text, word(3), text(4));
            return true;
        }
        if (what == "file") {
            std::string path = text(2);
            std::string mode = word(3);
            if (mode == "exists") {
                if (!p.drives().exists(path)) failWith("missing");
                return true;
            }
            if (mode == "missing") {
                if (p.drives().exists(path)) failWith("exists");
                return true;
            }
            if (mode == "line") {
                auto n = platform::readNumber(word(4));
                if (!n) failWith("line needs a number");
                std::string content = readFileText(p, path);
                std::vector<std::string> lines;
                size_t start = 0;
                while (start <= content.size()) {
                    size_t e = content.find("\r\n", start);
                    if (e == std::string::npos) {
                        if (start < content.size()) lines.push_back(content.substr(start));
                        break;
                    }
                    lines.push_back(content.substr(start, e - start));
                    start = e + 2;
                }
                size_t idx = static_cast<size_t>(*n);
                std::string found = idx >= 1 && idx <= lines.size() ? lines[idx - 1] : "(no such line)";
                compare(found, word(5), text(6));
                return true;
            }
            failWith("expect file ... exists|missing|line N");
        }
        if (what == "sql") {
            compare(runSql(p, text(2), text(3), true), word(4), text(5));
            return true;
        }
        if (what == "printed") {
            if (word(2) == "file") {
                const auto& last = printSurfaceOf(p).lastDocument();
                compare(last && !last->file.empty() ? programPathOf(p, last->file) : std::string("(no file printed)"),
                        word(3), text(4));
                return true;
            }
            platform::RecordingBackend* rec = recordingPrinter(p);
            if (!rec) failWith("printing does not go to a recording printer (no printers step)");
            compare(rec->allText(), word(2), text(3));
            return true;
        }
        if (what == "printer") {
            compare(printSurfaceOf(p).currentPrinter(), word(2), text(3));
            return true;
        }
        if (what == "modal") {
            auto it = modalCallers().find(word(2));
            compare(it == modalCallers().end() ? std::string("(not shown modally)") : it->second, word(3), text(4));
            return true;
        }
        // expect Screen.control.prop = "text"
        compare(property(p, what), word(2), text(3));
        return true;
    }
    failWith("unknown step " + verb);
}

}  // namespace scenario
