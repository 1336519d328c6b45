#include "accounts/scan/error_form.h"

#include "ui/conventions.h"
#include "ui/program.h"
#include "ui/wrapped_caption.h"

namespace accounts {

using namespace ui;

namespace {

std::vector<ControlDef> errorFormControls() {
    Look yellow{colour::Yellow, colour::Red, "MS Sans Serif", 12, true, false, false, Align::Center, true};
    Look label{colour::Blue, colour::White, "MS Sans Serif", 9.75, true, false, false, Align::Right, false};
    Look box{colour::Window, colour::Black, "MS Sans Serif", 9.75, true, false, false, Align::Left, true};
    Look big{colour::Window, colour::Black, "Times New Roman", 15.75, true, false, false, Align::Center, true};
    Look stop{colour::Window, colour::Black, "MS Sans Serif", 9.75, true, false, false, Align::Center, true};
    ControlDef accountNo{"TxtAccountNO", Kind::TextBox, 3840, 2040, 2535, 375, "", box, 2};
    accountNo.visible = false;
    accountNo.enabled = false;
    ControlDef badData{"TxtBadData", Kind::TextBox, 3840, 2640, 2535, 375, "", box, 3};
    badData.visible = false;
    badData.enabled = false;
    ControlDef fixedData{"TxtFixedData", Kind::TextBox, 3840, 3240, 2535, 375, "", box, 4};
    fixedData.visible = false;
    ControlDef command2{"Command2", Kind::Button, 7920, 6240, 1335, 735, "Stop Scan", stop, 6};
    command2.visible = false;
    ControlDef label1{"Label1", Kind::Label, 960, 2085, 2775, 375, "On Account Number ->", label, 7};
    label1.visible = false;
    ControlDef badMessage{"LblBadMessage", Kind::Label, 960, 2685, 2775, 375, "Bad Message ", label, 8};
    badMessage.visible = false;
    ControlDef label2{"Label2", Kind::Label, 960, 3285, 2775, 375, "Change it to this ------>", label, 9};
    label2.visible = false;
    return {
        {"Text1", Kind::TextBox, 120, 360, 9360, 420, "", yellow, 0},
        {"Text2", Kind::TextBox, 120, 960, 9360, 420, "", yellow, 1},
        accountNo,
        badData,
        fixedData,
        {"Command1", Kind::Button, 960, 4200, 7680, 1455, "Please Click Here when Error is Corrected.", big, 5},
        command2,
        label1,
        badMessage,
        label2,
    };
}

}  // namespace

ErrorForm::ErrorForm(Program& p)
    : Screen(p, ScreenDef{"ErrorForm", "Error", colour::Blue, "MS Sans Serif", 8.25, false, true},
             errorFormControls()) {
    on("Command1", Event::Click, [this] { Command1_Click(); });
    on("Command2", Event::Click, [this] { Command2_Click(); });
    onScreenKeyPress([this](int& k) { AdvanceOnEnter(*this, k); });
    // The last-name caption is a long sentence: it wraps, as captions did.
    WrapCaption(c("Command1"));
}

void ErrorForm::load() { PageSetUp(*this); }

void ErrorForm::Command1_Click() {
    c("TxtFixedData").setVisible(true);
    c("TxtFixedData").setFocus();
    for (const char* name : {"TxtAccountNO", "TxtBadData", "TxtFixedData", "Label1", "Label2", "LblBadMessage"})
        c(name).setVisible(false);
    const std::string& code = program().shared().ActionCode;
    // Each use waits on the dialog's modal showing; any other operation code
    // leaves the dialog up.
    if (code == "LASTNAMECHECK" || code == "CHECKDATE") hide();
}

void ErrorForm::Command2_Click() {
    // Stop Scan: the row under correction is not stored; the rows stored
    // before keep their changes.
    program().files().closeAll();
    program().end(0);
}

void registerScreens(Program& p) {
    p.screens().add("ErrorForm", [](Program& pr) { return std::make_unique<ErrorForm>(pr); });
}

}  // namespace accounts
