#include "ui/dialog_screens.h"

#include <memory>
#include <string>
#include <vector>

#include "ui/conventions.h"
#include "ui/password.h"
#include "ui/program.h"
#include "ui/wrapped_caption.h"

namespace ui {

namespace {

Look titleLook() { return Look{colour::Blue, colour::White, "Times New Roman", 17.25, true, false, true, Align::Center, false}; }
Look buttonLook(double size = 0, bool bold = false, const std::string& font = "") {
    Look l;
    l.back = colour::Window;
    l.font = font;
    l.size = size;
    l.bold = bold;
    return l;
}

// ---- Confirmation

std::vector<ControlDef> areYouSureControls() {
    Look warning{colour::Yellow, colour::Red, "", 13.5, false, false, false, Align::Center, true, true};
    Look big = buttonLook(18);
    // Going back is the first tab position: a stray Enter or space goes back.
    // (The tables of these screens are in tab order: the toolkit gives the
    // first focus by the order of creation.)
    return {
        {"Command1", Kind::Button, 5640, 4080, 2415, 1335, "NO - Go Back I didn't mean it.", big, 0},
        {"Command2", Kind::Button, 1440, 4080, 2535, 1335, "GO On - I know what I am doing", big, 1},
        {"txtWarningBox", Kind::TextBox, 0, 1200, 9615, 1215, "", warning, 2},
    };
}

}  // namespace

AreYouSure::AreYouSure(Program& p)
    : Screen(p, ScreenDef{"AreYouSure", "Are You Sure", colour::Blue}, areYouSureControls()) {
    on("Command2", Event::Click, [this] { Command2_Click(); });
    on("Command1", Event::Click, [this] { Command1_Click(); });
    WrapCaption(c("Command1"));
    WrapCaption(c("Command2"));
}

void AreYouSure::load() { PageSetUp(*this); }

void AreYouSure::Command2_Click() {
    Program& p = program();
    auto& s = p.shared();
    if (s.ActionCode == "POSTHANDSALE") {
        p.screens().get(kHandSalePostingScreen).show();
        hide();
        p.screens().get(kHandSaleScreen).hide();
    } else if (s.ActionCode == "ADD LATE CHARGES") {
        hide();
    } else {
        s.ConfirmAnswer = 12;
        hide();
    }
}

void AreYouSure::Command1_Click() {
    Program& p = program();
    auto& s = p.shared();
    if (s.ActionCode == "POSTHANDSALE") {
        p.screens().get(kHandSalePostingScreen).show();
        hide();
    } else if (s.ActionCode == "ADD LATE CHARGES") {
        hide();
    } else {
        s.ConfirmAnswer = 13;
        hide();
    }
    s.ScratchNumber = 0;
}

namespace {

// ---- Message, input and help screens

class MessageForm : public Screen {
public:
    explicit MessageForm(Program& p) : Screen(p, ScreenDef{"MessageForm", "Message", colour::Blue}, controls()) {
        on("Command1", Event::Click, [this] {
            program().shared().FieldChanged = "0";
            hide();
        });
    }
    void load() override { PageSetUp(*this); }

private:
    static std::vector<ControlDef> controls() {
        Look title{colour::Yellow, colour::Red, "", 0, false, false, false, Align::Center, true};
        Look line{colour::Yellow, colour::Blue, "", 12, true, false, false, Align::Center, true};
        ControlDef titleMessage{"TitleMessage", Kind::TextBox, 0, 240, 9600, 375, "Title Message Not Visible by Default",
                                title, 2};
        titleMessage.visible = false;
        return {
            {"Command1", Kind::Button, 240, 2040, 9120, 4680, "", buttonLook(48, true, "Times New Roman"), 0},
            {"Text1", Kind::TextBox, 240, 1080, 9120, 495, "", line, 1},
            titleMessage,
        };
    }
};

class Inbox : public Screen {
public:
    explicit Inbox(Program& p) : Screen(p, ScreenDef{"Inbox", "Input", colour::Blue}, controls()) {
        on("Cancel", Event::Click, [this] {
            hide();
            program().shared().ScratchText = c("Text1").text();
        });
        WrapCaption(c("Cancel"));
    }
    void load() override { PageSetUp(*this); }

private:
    static std::vector<ControlDef> controls() {
        return {
            {"Text1", Kind::TextBox, 1440, 2880, 6720, 375, "", Look{colour::White, colour::Black}, 0},
            {"Cancel", Kind::Button, 4200, 3600, 1215, 495, "Cancel", buttonLook(), 1},
        };
    }
};

Look helpLook() { return Look{colour::White, colour::Black, "Courier New", 14.25, true, false, false, Align::Left, true, true}; }

ControlDef priorScreenButton(int tab) {
    ControlDef b{"cmdexit", Kind::Button, 8040, 6240, 1335, 735, "&]  Prior Screen", buttonLook(), tab};
    return b;
}

class Help : public Screen {
public:
    explicit Help(Program& p)
        : Screen(p, ScreenDef{"Help", "Help", colour::Blue},
                 {{"TxtHelp", Kind::TextBox, 240, 720, 9120, 5400, "", helpLook(), 0},
                  priorScreenButton(1),
                  {"Label1", Kind::Label, 0, 120, 9600, 495, "Help", titleLook(), 2}}) {
        on("cmdexit", Event::Click, [this] { hide(); });
        WrapCaption(c("cmdexit"));
    }
    void load() override { PageSetUp(*this); }
};

class Help1 : public Screen {
public:
    explicit Help1(Program& p) : Screen(p, ScreenDef{"Help1", "Help", colour::Blue}, controls()) {
        on("cmdexit", Event::Click, [this] { hide(); });
        WrapCaption(c("cmdexit"));
    }
    void load() override { PageSetUp(*this); }

private:
    static std::vector<ControlDef> controls() {
        std::vector<ControlDef> v;
        const char* names[5] = {"Text1", "text2", "Text3", "Text4", "Text5"};
        for (int i = 0; i < 5; ++i) v.push_back({names[i], Kind::TextBox, 240, 720 + i * 1080, 9120, 975, "", helpLook(), i});
        v.push_back(priorScreenButton(5));
        v.push_back({"Label1", Kind::Label, 0, 120, 9600, 495, "Help", titleLook(), 6});
        return v;
    }
};

// ---- Serial numbers

class SerialNo : public Screen {
public:
    explicit SerialNo(Program& p) : Screen(p, ScreenDef{"SerialNo", "Serial Numbers", colour::Blue, "MS Sans Serif", 8.25, false, true}, controls()) {
        onScreenKeyPress([this](int& k) { AdvanceOnEnter(*this, k); });
        for (int i = 1; i <= 30; ++i) attach(*this, box(i), Behaviour::SelectAll);
        on("cmdexit", Event::Click, [this] {
            program().screens().get(kInventoryScreen).show();
            hide();
        });
        WrapCaption(c("cmdexit"));
    }
    void load() override { PageSetUp(*this, MoveExit::Yes); }

    static std::string box(int i) { return "TxtSerNo(" + std::to_string(i) + ")"; }

private:
    static std::vector<ControlDef> controls() {
        Look entry{colour::White, colour::Black, "Courier New", 9.75, false, false, false, Align::Left, true};
        Look caption{colour::Grey, colour::Black, "", 0, false, false, false, Align::Left, true};
        // The boxes hold the first thirty tab positions, so Enter walks down
        // the left column and on down the right one.
        std::vector<ControlDef> v;
        auto top = [](int i) { return 840 + 360 * ((i <= 15 ? i : i - 15) - 1); };
        for (int i = 1; i <= 30; ++i)
            v.push_back({box(i), Kind::TextBox, i <= 15 ? 960 : 5760, top(i), 3735, 315, "", entry, i - 1,
                         "30 Character Alpha-Numeric", 30});
        v.push_back({"cmdexit", Kind::Button, 8040, 6600, 1455, 735, "&]  Inventory Screen", buttonLook(), 30,
                     "Return to Inventory Screen"});
        v.push_back({"Label1", Kind::Label, 0, 120, 9600, 495, "Serial Numbers", titleLook(), 31});
        ControlDef zero{box(0), Kind::TextBox, 960, 480, 3735, 315, "", entry, 32, "30 Character Alpha-Numeric", 30};
        zero.visible = false;
        v.push_back(zero);
        for (int i = 1; i <= 30; ++i)
            v.push_back({"Text1(" + std::to_string(i) + ")", Kind::TextBox, i <= 15 ? 0 : 4800, top(i), 945, 315,
                         "Serial # " + std::to_string(i), caption, 32 + i});
        return v;
    }
};

// ---- Stand-ins for screens of the wider store system

class StandIn : public Screen {
public:
    StandIn(Program& p, const std::string& name, const std::string& title)
        : Screen(p, ScreenDef{name, title, colour::Blue},
                 {{"cmdexit", Kind::Button, 8040, 6240, 1335, 735, "&]  Close", buttonLook(), 0},
                  {"Label1", Kind::Label, 0, 120, 9600, 495, title, titleLook(), 1}}) {
        on("cmdexit", Event::Click, [this] { hide(); });
        WrapCaption(c("cmdexit"));
    }
    void load() override { PageSetUp(*this); }
};

}  // namespace

void registerDialogScreens(Program& p) {
    auto& s = p.screens();
    s.add("Passwordbox", [](Program& pr) { return std::make_unique<PasswordBox>(pr); });
    s.add("AreYouSure", [](Program& pr) { return std::make_unique<AreYouSure>(pr); });
    s.add("MessageForm", [](Program& pr) { return std::make_unique<MessageForm>(pr); });
    s.add("Inbox", [](Program& pr) { return std::make_unique<Inbox>(pr); });
    s.add("Help", [](Program& pr) { return std::make_unique<Help>(pr); });
    s.add("Help1", [](Program& pr) { return std::make_unique<Help1>(pr); });
    s.add("SerialNo", [](Program& pr) { return std::make_unique<SerialNo>(pr); });
    s.add(kHandSalePostingScreen,
          [](Program& pr) { return std::make_unique<StandIn>(pr, kHandSalePostingScreen, "Post Hand Sales"); });
    s.add(kHandSaleScreen, [](Program& pr) { return std::make_unique<StandIn>(pr, kHandSaleScreen, "Hand Sales"); });
    s.add(kInventoryScreen, [](Program& pr) { return std::make_unique<StandIn>(pr, kInventoryScreen, "Inventory"); });
}

}  // namespace ui
