#pragma once
// A screen: a borderless top-level window of 9600 x 7200 twips, not in the task
// bar, built from its control table. It is created on first use (creating it
// runs its load routine), then shown and hidden, never destroyed while the
// program runs, so its boxes keep their texts.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/controls.h"

class QWidget;
class QObject;
class QEvent;

namespace ui {

class Program;

enum class Event { Click, DblClick, GotFocus, LostFocus, Change, Timer };

struct ScreenDef {
    std::string name;
    std::string caption;
    int64_t back = colour::Blue;
    std::string font = "MS Sans Serif";
    double size = 8.25;
    bool bold = false;
    bool keyPreview = false;
    int width = 9600, height = 7200;
    int helpContext = 0;
};

// Key codes as the key events see them (the platform's virtual keys).
namespace key {
constexpr int Backspace = 8, Tab = 9, Enter = 13, Shift = 16, Ctrl = 17, Alt = 18, CapsLock = 20, Escape = 27,
              Space = 32, End = 35, Home = 36, Left = 37, Up = 38, Right = 39, Down = 40, Delete = 46, F1 = 112;
}

class Screen {
public:
    Screen(Program& program, ScreenDef def, std::vector<ControlDef> controls);
    virtual ~Screen();
    Screen(const Screen&) = delete;
    Screen& operator=(const Screen&) = delete;

    const std::string& name() const { return def_.name; }
    Program& program() { return program_; }

    // Every control by name; a missing name is a programming error (throws).
    Control& c(const std::string& name);
    Control* find(const std::string& name);
    const std::vector<std::unique_ptr<Control>>& controls() const { return controls_; }
    Control* focused();

    // The load routine, run once when the screen is created.
    virtual void load() {}
    // Runs each time the screen becomes the active screen.
    virtual void activate() {}

    void show();       // not modal; the caller goes on at once
    void showModal();  // the caller's routine is suspended until the screen hides itself
    void hide();
    bool visible() const;

    int left() const { return left_; }
    int top() const { return top_; }
    int width() const { return width_; }
    int height() const { return height_; }
    void setLeft(int twips);
    void setTop(int twips);
    void setWidth(int twips);
    void setHeight(int twips);
    int helpContext() const { return def_.helpContext; }
    void setHelpContext(int n) { def_.helpContext = n; }
    const ScreenDef& definition() const { return def_; }
    QWidget* window() const { return window_; }

    // Event routines, registered per control.
    void on(const std::string& control, Event e, std::function<void()> routine);
    // Key press of a control (character code by reference; set it to 0 to swallow).
    void onKeyPress(const std::string& control, std::function<void(int& keyAscii)> routine);
    // Key down of a control (virtual key, shift state, the character the key
    // produces if any). Return true to swallow the key.
    void onKeyDown(const std::string& control, std::function<bool(int keyCode, int shift, const std::string& text)> r);
    // The screen's own key press with key preview on: sees each key first.
    void onScreenKeyPress(std::function<void(int& keyAscii)> routine) { screenKeyPress_ = std::move(routine); }

    // Raises a control's event as the toolkit would (used by the widgets and the scenario player).
    void raise(const std::string& control, Event e);
    bool eventFilter(QObject* obj, QEvent* e);  // called by the widgets' filter
    // Moves the focus to the next (or previous) tab position that can take it.
    void moveByTab(Control& from, bool forward);

private:
    Program& program_;
    ScreenDef def_;
    QWidget* window_ = nullptr;
    std::vector<std::unique_ptr<Control>> controls_;
    std::map<std::string, Control*> byName_;
    std::map<std::pair<std::string, Event>, std::function<void()>> handlers_;
    std::map<std::string, std::function<void(int&)>> keyPress_;
    std::map<std::string, std::function<bool(int, int, const std::string&)>> keyDown_;
    std::function<void(int&)> screenKeyPress_;
    std::unique_ptr<QObject> filter_;
    int left_ = 0, top_ = 0, width_, height_;
    bool modalRunning_ = false;
    bool activated_ = false;  // its activation has run since it was last shown or left
    Control* lastFocus_ = nullptr;
    friend class Control;
};

// The screens of the program by name, created on first use.
class Screens {
public:
    using Factory = std::function<std::unique_ptr<Screen>(Program&)>;
    explicit Screens(Program& p) : program_(p) {}
    ~Screens();
    void add(const std::string& name, Factory f);
    bool known(const std::string& name) const { return factories_.count(name) > 0; }
    // The screen, created (and loaded) when it does not exist yet.
    Screen& get(const std::string& name);
    template <class T>
    T& get(const std::string& name) {
        return dynamic_cast<T&>(get(name));
    }
    Screen* existing(const std::string& name) const;
    std::vector<Screen*> all() const;
    void hideAll();

private:
    Program& program_;
    std::map<std::string, Factory> factories_;
    std::map<std::string, std::unique_ptr<Screen>> screens_;
};

}  // namespace ui
