#pragma once
// Controls of a screen, declared as data: a table of ControlDef rows close to
// the tables the screens are specified with, built into widgets by Screen.
// Places and sizes are in twips (15 to a pixel); colours are colour numbers
// in blue-green-red order, as stored and compared by the program.
#include <cstdint>
#include <string>
#include <vector>

class QWidget;
class QTimer;

namespace ui {

class Screen;

enum class Kind { TextBox, MaskedBox, Label, Button, ListBox, Timer, Picture };
enum class Align { Left, Center, Right };

// Colour numbers (blue-green-red order).
constexpr int64_t rgb(int r, int g, int b) { return r | (g << 8) | (static_cast<int64_t>(b) << 16); }
namespace colour {
constexpr int64_t Default = -1;
constexpr int64_t White = rgb(255, 255, 255);
constexpr int64_t Black = rgb(0, 0, 0);
constexpr int64_t Blue = rgb(0, 0, 255);
constexpr int64_t Grey = rgb(192, 192, 192);       // covers and caption boxes (silver)
constexpr int64_t DarkGrey = rgb(128, 128, 128);
constexpr int64_t Red = rgb(255, 0, 0);
constexpr int64_t DarkRed = rgb(192, 0, 0);
constexpr int64_t Yellow = rgb(255, 255, 0);
constexpr int64_t LightYellow = rgb(255, 255, 192);
constexpr int64_t LightOrange = rgb(255, 192, 128);  // 8438015
constexpr int64_t LightRed = rgb(255, 128, 128);     // 8421631
constexpr int64_t Window = rgb(255, 255, 255);       // the system window colour
constexpr int64_t ButtonFace = rgb(240, 240, 240);   // the ordinary button colour
}  // namespace colour

struct Look {
    int64_t back = colour::Default;
    int64_t fore = colour::Default;
    std::string font;  // "" is the screen's font (MS Sans Serif)
    double size = 0;   // points; 0 is the screen's size
    bool bold = false, italic = false, underline = false;
    Align align = Align::Left;
    bool border = true;
    bool multiline = false;
};

struct ControlDef {
    std::string name;  // "TxtSerNo(3)" for an element of an indexed set
    Kind kind = Kind::TextBox;
    int left = 0, top = 0, width = 0, height = 0;
    std::string text;  // text or caption; for a list, items joined by '|'
    Look look;
    int tab = -1;  // tab position; -1 for none (timers)
    std::string tooltip;
    int maxLength = 0;  // 0: no limit
    bool visible = true;
    bool enabled = true;
    int interval = 0;   // timer interval in milliseconds (0 stopped)
    std::string mask;   // masked box: '#' digit places, other characters literal
};

// One control, reachable by its name. Properties read and write the widget.
class Control {
public:
    Control(Screen& screen, ControlDef def);
    ~Control();
    Control(const Control&) = delete;
    Control& operator=(const Control&) = delete;

    const std::string& name() const { return def_.name; }
    Kind kind() const { return def_.kind; }
    Screen& screen() { return screen_; }
    QWidget* widget() const { return widget_; }
    QTimer* timer() const { return timer_; }

    std::string text() const;
    void setText(const std::string& t);
    // Caption is the text of labels and buttons.
    std::string caption() const { return text(); }
    void setCaption(const std::string& c) { setText(c); }

    bool visible() const;
    void setVisible(bool v);
    bool enabled() const;
    void setEnabled(bool e);
    int64_t backColor() const { return back_; }
    void setBackColor(int64_t c);
    int64_t foreColor() const { return fore_; }
    void setForeColor(int64_t c);
    std::string tooltip() const { return tooltip_; }
    void setTooltip(const std::string& t);
    int left() const { return def_.left; }
    int top() const { return def_.top; }
    int width() const { return def_.width; }
    int height() const { return def_.height; }
    void move(int left, int top);
    void resize(int width, int height);
    int maxLength() const { return def_.maxLength; }
    void setMaxLength(int n);
    int tabIndex() const { return def_.tab; }
    int interval() const;
    void setInterval(int ms);
    bool timerEnabled() const;
    void setTimerEnabled(bool on);

    // List boxes.
    std::vector<std::string> items() const;
    void clearItems();
    void addItem(const std::string& item, int at = -1);
    int listIndex() const;

    // Focus and selection.
    bool canTakeFocus() const;
    void setFocus();
    bool hasFocus() const;
    void select(int start, int length);

    const ControlDef& definition() const { return def_; }

private:
    void applyLook();
    Screen& screen_;
    ControlDef def_;
    QWidget* widget_ = nullptr;
    QTimer* timer_ = nullptr;
    int64_t back_, fore_;
    std::string tooltip_;
    friend class Screen;
};

// Font families the program names, mapped to the installed metric-compatible ones.
std::string fontFamilyFor(const std::string& name);

}  // namespace ui
