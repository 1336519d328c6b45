#include "menus/main_menu.h"

#include "platform/dates.h"
#include "settings/program/program_settings.h"
#include "ui/conventions.h"
#include "ui/program.h"

namespace menus {

using namespace ui;

namespace {

Look button(double size = 0, bool bold = false) {
    Look l;
    l.size = size;
    l.bold = bold;
    l.back = colour::Window;
    return l;
}

std::vector<ControlDef> mainMenuControls() {
    Look exitLook = button(12, true);
    exitLook.font = "MS Sans Serif";
    Look contract = button();
    contract.back = colour::DarkGrey;
    Look text1{colour::Grey, colour::Red, "MS Sans Serif", 12, true, false, false, Align::Left, false};
    Look title{colour::Blue, colour::White, "Times New Roman", 17.25, true, false, true, Align::Left, false};
    Look clock{colour::Blue, colour::White, "", 0, false, false, false, Align::Left, false};
    Look windows{colour::Grey, colour::Red, "Times New Roman", 12.75, true, true, false, Align::Left, false};
    Look version{colour::Grey, colour::Red, "MS Sans Serif", 12, true, false, false, Align::Center, false};
    Look notice{colour::Blue, colour::White, "", 0, false, false, false, Align::Center, false};
    return {
        {"cmdexit", Kind::Button, 8160, 6240, 1335, 735, "&]  Exit", exitLook, 0},
        {"cmdlookup", Kind::Button, 480, 960, 2292, 492, "&A.  Account Lookup      ", button(), 1},
        {"Cmdsales", Kind::Button, 480, 2040, 2292, 492, "&B.  Sales Menu              ", button(), 2},
        {"CMDContract", Kind::Button, 480, 3120, 2292, 492, "&C.  Contract Sales         ", contract, 3},
        {"CMDList", Kind::Button, 480, 4200, 2292, 492, "&D. Account Lists           ", button(), 4},
        {"CMDOTHERP", Kind::Button, 480, 5280, 2292, 492, "&E.  Other Printing          ", button(), 5},
        {"cmdinven", Kind::Button, 6720, 960, 2295, 495, "&F.  Inventory Operations", button(), 6},
        {"CMDIprint", Kind::Button, 6720, 2040, 2295, 495, "&G.  Inventory Printing     ", button(), 7},
        {"CMDMAil", Kind::Button, 6720, 3120, 2295, 495, "&H.  Mailing Lists            ", button(), 8},
        {"CMDCHeckup", Kind::Button, 6720, 4200, 2295, 495, "&I.  Checkup                  ", button(), 9},
        {"CMDUtility", Kind::Button, 6720, 5280, 2295, 495, "&J.  Utilities                   ", button(), 10},
        {"Text1", Kind::TextBox, 120, 6600, 2532, 285, "  V e l m o r a ", text1, 11},
        // The maker's copyright notice holds the tab position between the
        // product name and the title. With it the screen has 18 controls, so
        // Enter on the last tab position (16, Text7) targets 17, which no
        // control holds, and the focus stays where it is.
        {"Text2", Kind::TextBox, 2880, 6240, 3735, 285, "", notice, 12},
        {"Label1", Kind::Label, 2760, 240, 4095, 375, "Velmora Main Menu", title, 13},
        {"Text3", Kind::TextBox, 4080, 6840, 1935, 285, "", clock, 14},
        {"Text4", Kind::TextBox, 600, 6840, 1335, 285, "W i n d o w s", windows, 15},
        {"Text7", Kind::TextBox, 3600, 2880, 2055, 285, "Ver. 11/10/05a", version, 16},
        {"Timer1", Kind::Timer, 0, 0, 0, 0, "", Look{}, -1, "", 0, true, true, 1000},
    };
}

}  // namespace

MainMenu::MainMenu(Program& p)
    : Screen(p, ScreenDef{"mainmnu", "Velmora Main Menu", colour::Blue, "MS Sans Serif", 8.25, false, true}, mainMenuControls()) {
    on("Timer1", Event::Timer, [this] { Timer1_Timer(); });
    onScreenKeyPress([this](int& k) { AdvanceOnEnter(*this, k); });
}

std::string MainMenu::clockLine() {
    platform::Date d = program().workstation().now();
    return platform::formatMDY(d, '-') + " " + platform::formatTime(d);
}

void MainMenu::load() {
    PageSetUp(*this);
    c("Text2").setText("Copyright (C) Torvane Inc. 1997-" + std::to_string(program().workstation().now().year));
    c("Text3").setText(clockLine());
    settings::LoadSystemSpec(program());
}

void MainMenu::Timer1_Timer() {
    c("Text3").setText(clockLine());
    program().shared().ScratchNumber = 3;
}

void SetMainMenuTooltips(Program& p) {
    Screen& m = p.screens().get("mainmnu");
    m.c("cmdlookup").setTooltip("Work with accounts (receipts, comments, changing info, etc.)");
    m.c("Cmdsales").setTooltip(
        "Installment sales | Cash sales | Post Slotted Sales | Post Hand Sales | Sales Reversal | Written DPs | Misc "
        "Receipts of $$");
    m.c("CMDList").setTooltip("Many Many account lists.");
    m.c("CMDOTHERP").setTooltip(
        "Print Reminders | Insur. Rpt | Payment Book | Thankyou Letters | Startup Letters | TSNR Statements | Monthly "
        "Installment Statements | Startup Letters | Refunded Insur. List");
    m.c("cmdinven").setTooltip("All Inventory Actions except Printing");
    m.c("CMDIprint").setTooltip("All Inventory Printing Functions");
    m.c("CMDMAil").setTooltip("A/R and Non A/R Mailing Lists");
    m.c("CMDCHeckup").setTooltip("A/R Total | Transactions Journal | End of Day Totals Printing");
    m.c("CMDUtility").setTooltip(
        "System Spec | Rate Charts | Rebuild Databases | File Editors | Credit Bureaur Reporting | Whatever");
    m.c("cmdexit").setTooltip("Leave Velmora and Return to Windows Desktop");
    m.setHelpContext(1000);
}

void registerScreens(Program& p) {
    p.screens().add("mainmnu", [](Program& pr) { return std::make_unique<MainMenu>(pr); });
    settings::hooks(p).prepareMainMenu = [&p] {
        // Creating the screen runs its load, which reads the settings once more.
        p.screens().get("mainmnu");
        SetMainMenuTooltips(p);
    };
}

}  // namespace menus
