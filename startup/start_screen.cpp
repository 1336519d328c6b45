#include "startup/start_screen.h"

#include <cstdio>

#include "platform/engine/engine.h"
#include "settings/program/program_settings.h"
#include "ui/conventions.h"
#include "ui/program.h"

namespace startup {

using namespace ui;

const char* const kDatabases[12] = {"cusfile.mdb",   "detail.mdb", "comment.mdb", "stock.mdb",
                                    "trans.mdb",     "invoice.mdb", "insurance.mdb", "mail1.mdb",
                                    "mail2.mdb",     "mail3.mdb",  "mail4.mdb",   "mail5.mdb"};

namespace {

std::vector<ControlDef> startControls() {
    Look status{colour::White, colour::DarkRed, "MS Sans Serif", 9.75, true, false, false, Align::Center, true};
    Look title{colour::Blue, colour::Red, "Times New Roman", 36, true, false, true, Align::Left, false, true};
    Look maker{colour::Blue, colour::Yellow, "MS Sans Serif", 24, true, false, false, Align::Left, false};
    Look notice{colour::Blue, colour::White, "MS Sans Serif", 8.25, true, false, false, Align::Center, false};
    Look box{colour::White, colour::Black};
    ControlDef goOn{"TxtGoOn", Kind::TextBox, 5280, 2400, 3735, 375, "", status, 0};
    goOn.visible = false;
    return {
        goOn,
        {"Text1", Kind::TextBox, 0, 0, 6375, 1215, "", title, 1},
        {"Text2", Kind::TextBox, 5760, 3240, 3612, 732, "From Torvane Inc.", maker, 2},
        {"Text3", Kind::TextBox, 2520, 5880, 4575, 285, "", notice, 3},
        {"Text4", Kind::TextBox, 120, 6720, 2175, 285, "", box, 4},
        {"Text5", Kind::TextBox, 2520, 6720, 2175, 285, "", box, 5},
        {"Text6", Kind::TextBox, 4920, 6720, 2175, 285, "", box, 6},
        {"Text7", Kind::TextBox, 7320, 6720, 2175, 285, "", box, 7},
    };
}

}  // namespace

CoverScreen::CoverScreen(Program& p, const std::string& name)
    : Screen(p, ScreenDef{name, "", colour::Grey}, {}) {}

StartScreen::StartScreen(Program& p)
    : Screen(p, ScreenDef{"frmopen", "Velmora", colour::Blue, "MS Sans Serif", 8.25, true}, startControls()) {
    c("Text3").setText("Copyright (C) Torvane Inc. 1997-" + std::to_string(p.workstation().now().year) +
                       ". All rights reserved.");
}

// The same placing as every screen's page set-up.
void StartScreen::CenterStartScreen() { ui::PageSetUp(*this); }

void StartScreen::RebuildFile(const std::string& name) {
    Control& status = c("TxtGoOn");
    std::string wait = "Rebuilding File - " + name + " - Please Wait.";
    status.setVisible(true);
    status.setText(wait);
    std::printf("%s\n", wait.c_str());
    std::fflush(stdout);
    program().yield();
    platform::RepairReport rep = program().engine().repair("M:\\" + name);
    if (rep.damaged || rep.rowsInConflict) {
        for (const auto& n : rep.notes) std::printf("  %s: %s\n", name.c_str(), n.c_str());
    }
    std::string done = "Rebuilding File - " + name + " - Done.";
    status.setText(done);
    std::printf("%s\n", done.c_str());
    std::fflush(stdout);
    program().yield();
}

void StartScreen::load() {
    Program& p = program();
    // 1. The workstation's short date, before anything else.
    p.workstation().setShortDateFormat("MM/dd/yyyy");
    // 2. The covers around the layout area (a display smaller than the area
    // gives covers of no size rather than negative ones).
    int W = p.displayWidthTwips(), H = p.displayHeightTwips();
    int M = std::max(0, (W - 9600) / 2), T = std::max(0, (H - 7200) / 2);
    Screen& c1 = p.screens().get("Cover1");
    Screen& c2 = p.screens().get("Cover2");
    Screen& c3 = p.screens().get("Cover3");
    Screen& c4 = p.screens().get("cover4");
    c1.setLeft(0); c1.setTop(0); c1.setHeight(H); c1.setWidth(M);
    c2.setTop(0); c2.setWidth(M); c2.setLeft(c1.width() + 9600); c2.setHeight(c1.height());
    c3.setTop(0); c3.setWidth(9600); c3.setLeft(c1.width()); c3.setHeight(T);
    c4.setTop(T + 7200); c4.setWidth(9600); c4.setLeft(c1.width()); c4.setHeight(c3.height());
    // 3.
    c1.show(); c2.show(); c3.show(); c4.show();
    p.yield();
    // 4.
    CenterStartScreen();
    CenterStartScreen();
    show();
    p.yield();
    // 5. Creates the main menu hidden; its clock runs from now on.
    settings::LoadSystemSpec(p);
    // 6.
    for (int i = 0; i < 12; ++i) {
        RebuildFile(kDatabases[i]);
        if (i < 3) p.yield();
    }
    // 7, 8.
    p.files().closeAll();
    p.end(0);
}

void registerScreens(Program& p) {
    p.screens().add("frmopen", [](Program& pr) { return std::make_unique<StartScreen>(pr); });
    for (const char* n : {"Cover1", "Cover2", "Cover3", "cover4"}) {
        std::string name = n;
        p.screens().add(name, [name](Program& pr) { return std::make_unique<CoverScreen>(pr, name); });
    }
}

}  // namespace startup
