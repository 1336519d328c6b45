#include "menus/utility_menu.h"

#include "accounts/scan/bad_data_scan.h"
#include "ui/conventions.h"
#include "ui/program.h"
#include "ui/wrapped_caption.h"

namespace menus {

using namespace ui;

namespace {

// Bold 8.25-point sans serif captions; the lettered buttons and the way back
// on the system window colour, the others on the ordinary button colour.
Look lettered() {
    Look l;
    l.font = "MS Sans Serif";
    l.size = 8.25;
    l.bold = true;
    l.back = colour::Window;
    return l;
}
Look plain() {
    Look l = lettered();
    l.back = colour::ButtonFace;
    return l;
}

ControlDef button(const char* name, int left, int top, int width, int height, const char* caption, Look look,
                  int tab, const char* tooltip = "") {
    ControlDef d{name, Kind::Button, left, top, width, height, caption, look, tab, tooltip};
    return d;
}

std::vector<ControlDef> utilityControls() {
    Look title{colour::Blue, colour::White, "Times New Roman", 17.25, true, false, true, Align::Left, false};
    ControlDef specialOps = button("CmdShowSpecialOps", 4200, 960, 1215, 975, "Show Special Options Screen", plain(), 16);
    specialOps.visible = false;
    ControlDef payBook = button("CmdPrintPayBook", 4200, 2280, 1215, 975, "Print Payment Book", plain(), 17);
    payBook.visible = false;
    ControlDef progress{"Text1", Kind::TextBox, 1080, 6600, 6015, 285, "", Look{}, 19};
    progress.visible = false;
    return {
        button("Command1", 1080, 960, 2655, 495, "&A. Change System Spec.", lettered(), 0,
               "Store address | sales tax fact | et. etc. etc."),
        button("Command2", 1080, 1680, 2655, 495, "&B. Set Various Rates", lettered(), 1,
               "Insurance rate and refunding method changes."),
        button("Command3", 1080, 2400, 2655, 495, "&C. Change Date", lettered(), 2),
        button("Command4", 1080, 3120, 2655, 495, "&D. Add New Accounts", lettered(), 3, "Force accounts onto system."),
        button("Command5", 1080, 3840, 2655, 495, "&E. Quick Update", lettered(), 4),
        button("Command7", 1080, 4560, 2655, 495, "&G. Rebuild Databases", lettered(), 5,
               "Fix errors automatically (HOPEFULLY) if you have a database crash."),
        button("Command8", 1080, 5280, 2655, 495, "Insurance File Editor", plain(), 6, "Edit the Raw Insurance File."),
        button("Command14", 1080, 6000, 2655, 495, "Inventory Trans. Editor", plain(), 7,
               "Edit the Raw Inventory Transaction File."),
        button("Command15", 6000, 960, 2655, 495, "Customer File Editor", plain(), 8, "Edit the Raw Customer File."),
        button("Command9", 6000, 1680, 2655, 495, "Payment File Editor", plain(), 9,
               "Edit the Raw Payment History File."),
        button("Command6", 6000, 2400, 2655, 495, "Comment File Editor", plain(), 10, "Edit the Raw Comment File."),
        button("Command11", 6000, 3120, 2655, 495, "&K. Add Late Charges", plain(), 11,
               "Add Late Charges to INSTALLMENT ACCOUNTS on a Posting Basis."),
        button("Command16", 6000, 3840, 2655, 495, "Create Credit Bur. Data FIle", plain(), 12,
               "Create a file suitable for giving to the credit bureaus."),
        button("Command12", 6000, 4560, 2655, 495, "Scan Customer File for      BAD DATA", plain(), 13,
               "DO THIS PLEASE. Check for bad dates in the customer file."),
        button("Command10", 6000, 5280, 2655, 495, "Convert Dos Data Files", plain(), 14, "Used at system startup ONLY."),
        button("Command13", 4200, 3720, 1215, 975, "Show Special Functions Screen", plain(), 15),
        specialOps,
        payBook,
        // Placed by the load (see UtilityMenu::load).
        button("cmdexit", 8160, 6360, 1335, 735, "&]  Main Menu", lettered(), 18),
        progress,
        {"Label1", Kind::Label, 3720, 240, 2055, 495, "Utility Menu", title, 20},
    };
}

}  // namespace

UtilityMenu::UtilityMenu(Program& p)
    : Screen(p, ScreenDef{"Utility", "Utility", colour::Blue, "MS Sans Serif", 8.25, false, false}, utilityControls()) {
    on("Command12", Event::Click, [this] { Command12_Click(); });
    on("cmdexit", Event::Click, [this] { cmdexit_Click(); });
    // "Scan Customer File for      BAD DATA" and the tall buttons show their
    // captions on two or three lines.
    for (auto& ctl : controls())
        if (ctl->kind() == Kind::Button) WrapCaption(*ctl);
    // "&B. Set Various Rates" has no click action. The other buttons open the
    // tools of their own subsystems and are wired with those tools:
    //   Command1  the system specification screen
    //   Command3  Change Date
    //   Command4  Add New Accounts (Adact, its two error labels hidden first)
    //   Command5  Quick Update
    //   Command7  Rebuild Databases (Rebuild, its status box RepairOK hidden first)
    //   Command8, Command14, Command15, Command9, Command6  the password-guarded raw file editors
    //   Command11 the late-charge posting screen
    //   Command16 the credit-bureau screen CBIReport
    //   Command10 the data conversion screen
    //   Command13 the special functions screen
    //   CmdShowSpecialOps  the special options screen
    //   CmdPrintPayBook    the payment-book program M:\wledger.exe, started without waiting
}

void UtilityMenu::load() { PageSetUp(*this, MoveExit::Yes); }

void UtilityMenu::Command12_Click() {
    if (accounts::ScanRunning(program())) return;
    // No other tool may open the customer file under the running scan: the
    // menu's buttons wait until it has finished.
    std::vector<Control*> disabled;
    for (auto& ctl : controls())
        if (ctl->kind() == Kind::Button && ctl->enabled()) {
            ctl->setEnabled(false);
            disabled.push_back(ctl.get());
        }
    struct Restore {
        std::vector<Control*>& list;
        ~Restore() {
            for (Control* ctl : list) ctl->setEnabled(true);
        }
    } restore{disabled};
    accounts::ScanForBadData(program());
}

void UtilityMenu::cmdexit_Click() {
    Screen& main = program().screens().get("mainmnu");
    main.c("Timer1").setTimerEnabled(true);
    main.show();
    hide();
    main.c("cmdexit").setFocus();
}

void registerUtilityMenu(Program& p) {
    p.screens().add("Utility", [](Program& pr) { return std::make_unique<UtilityMenu>(pr); });
}

}  // namespace menus
