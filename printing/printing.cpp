#include "printing/printing.h"

#include <QPlainTextEdit>

#include "platform/print/print_surface.h"
#include "ui/conventions.h"
#include "ui/program.h"
#include "ui/wrapped_caption.h"

namespace printing {

using namespace ui;

namespace {

constexpr const char* kDefault = "DEFAULT";

// A report option: its caption label and its box.
struct Option {
    const char* label;
    const char* box;
    const char* text;
    int maxLength;
};

// In three columns, filled from the top of the first one down.
constexpr Option kOptions[] = {
    {"Print This Section only (A for All)", "txtWhichSection", "A", 3},
    {"Print Zero Balance Accounts", "txtPrintZero", "N", 1},
    {"What Due Date", "TxtWhichDueDate", "", 2},
    {"Print Serial #s", "TxtPrintSerialNo", "N", 1},
    {"Print C Accounts", "TxtPrintC", "N", 1},
    {"Print P Accounts", "TxtPrintP", "N", 1},
    {"Print Zero On Hand Items", "TxTPrintZeroOH", "N", 1},
    {"Print Cost on Report", "TxtPrintCost", "Y", 1},
    {"Print This Dpt. ONLY", "TxtWhichDPT", "", 2},
    {"Print This Ven. ONLY", "TxtWhichVen", "", 5},
    {"How Many to Print", "TxtHowMany", "1", 5},
};
constexpr int kLabelLeft[3] = {120, 3960, 6840};
constexpr int kBoxLeft[3] = {3240, 6360, 8880};
// The middle column's boxes have less room before the third column's labels.
constexpr int kBoxWidth[3] = {615, 375, 615};
constexpr int kRowTop[4] = {6360, 6720, 7080, 7440};

// The label of an option box: "Lbl" and the box's name without its prefix.
std::string labelOf(const std::string& box) { return "Lbl" + box.substr(3); }

// The options the buttons reset and hide; the others keep what was typed.
constexpr const char* kHiddenOnLeaving[] = {"txtPrintZero", "TxTPrintZeroOH", "TxtPrintCost",
                                            "txtWhichSection", "TxtWhichDPT", "TxtWhichVen"};

std::vector<ControlDef> pleaseAlignControls() {
    Look title{colour::Blue, colour::Yellow, "Times New Roman", 48, true, false, true, Align::Center, false};
    Look help{colour::LightYellow, colour::Black, "", 12, true, false, false, Align::Center, true, true};
    Look current{colour::Yellow, colour::Black, "", 13.5, true};
    Look selected{colour::LightRed, colour::Black, "", 13.5, true, false, false, Align::Center};
    Look available{colour::ButtonFace, colour::Black, "", 12, true};
    Look list{colour::LightOrange, colour::Black, "", 9.75, true};
    Look button{colour::ButtonFace, colour::Black, "", 24};
    Look what{colour::LightYellow, colour::Black, "Times New Roman", 24, true, false, false, Align::Center};
    Look optionLabel{colour::ButtonFace, colour::Black};
    Look optionBox{colour::Window, colour::Black};

    std::vector<ControlDef> v = {
        {"Label1", Kind::Label, 0, 0, 9375, 1335, "Please Align the Form", title, 0},
        {"Text2", Kind::TextBox, 120, 1560, 2895, 2295,
         "DEFAULT\r\nin the box below means the computer will pick a printer for you. Click on a printer in the box "
         "to the right to choose a different printer.",
         help, 1},
        {"Label3", Kind::Label, 120, 4080, 2895, 375, "Current Printer", current, 2},
        {"Selected", Kind::Label, 120, 4440, 2895, 855, kDefault, selected, 3},
        {"Label2", Kind::Label, 3120, 1560, 3255, 375, "Printers Available", available, 4},
        {"Printers", Kind::ListBox, 3120, 2040, 3255, 3180, "", list, 5},
        {"Command1", Kind::Button, 6480, 1560, 2895, 1695, "DO NOT PRINT", button, 6},
        {"Command2", Kind::Button, 6480, 3600, 2895, 1695, "OK Print", button, 7},
        {"Text1", Kind::TextBox, 120, 5400, 9255, 735, "", what, 8},
    };
    int tab = 9;
    for (size_t i = 0; i < std::size(kOptions); ++i) {
        const Option& o = kOptions[i];
        int col = static_cast<int>(i / 4), row = static_cast<int>(i % 4);
        ControlDef label{labelOf(o.box), Kind::Label, kLabelLeft[col], kRowTop[row],
                         kBoxLeft[col] - kLabelLeft[col] - 60, 315, o.label, optionLabel, tab++};
        label.visible = false;
        ControlDef box{o.box, Kind::TextBox, kBoxLeft[col], kRowTop[row], kBoxWidth[col], 315, o.text, optionBox, tab++};
        box.maxLength = o.maxLength;
        box.visible = false;
        v.push_back(label);
        v.push_back(box);
    }
    return v;
}

std::vector<ControlDef> printingControls() {
    Look title{colour::Red, colour::Black, "", 18, false, false, false, Align::Center, false};
    Look display{colour::Window, colour::Black, "", 12, true};
    std::vector<ControlDef> v = {{"Label1", Kind::Label, 240, 240, 9135, 495, "Printing Now", title, 0}};
    const int tops[5] = {1440, 1920, 2400, 2880, 3360};
    for (int i = 0; i < 5; ++i) {
        ControlDef d{"Display" + std::to_string(i + 1), Kind::TextBox, 2160, tops[i], 5295, 375, "", display, i + 1};
        d.visible = i < 4;
        v.push_back(d);
    }
    v.push_back({"Command1", Kind::Button, 8040, 5880, 1215, 615, "Stop Printing", Look{colour::ButtonFace}, 6,
                 "Halts the printing cycle BUT THE BUFFER of the Printer still will have stuff in it and will keep "
                 "printing for a while."});
    return v;
}

}  // namespace

bool SelectPrinter(Program& p, const std::string& name) {
    platform::PrintSurface* s = p.printSurface();
    return s && s->choosePrinter(name);
}

// ---- PleaseAlign

PleaseAlign::PleaseAlign(Program& p)
    : Screen(p, ScreenDef{"PleaseAlign", "Please Align the Form", colour::Blue}, pleaseAlignControls()) {
    on("Printers", Event::Click, [this] { Printers_Click(); });
    on("Command1", Event::Click, [this] { Command1_Click(); });
    on("Command2", Event::Click, [this] { Command2_Click(); });
    // "DO NOT PRINT" in 24 point needs two lines, as on the original platform.
    WrapCaption(c("Command1"));
    WrapCaption(c("Command2"));
    // A multi-line box of the platform had no scroll bars unless asked for.
    if (auto* help = qobject_cast<QPlainTextEdit*>(c("Text2").widget())) {
        help->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        help->document()->setDocumentMargin(2);
    }
}

// Taller than the layout area (the option rows lie below it), placed as if
// it were not.
void PleaseAlign::load() { PageSetUp(*this, MoveExit::No, 8200); }

void PleaseAlign::FillPrinterList() {
    SharedValues& s = program().shared();
    Control& list = c("Printers");
    s.ScratchNumber = 0;
    list.clearItems();
    if (platform::PrintSurface* surface = program().printSurface()) {
        for (const std::string& name : surface->printers()) {
            list.addItem(name, static_cast<int>(s.ScratchNumber));
            s.ScratchNumber += 1;
        }
    }
    c("Selected").setText(kDefault);
    list.setFocus();
}

void PleaseAlign::Printers_Click() {
    Control& selected = c("Selected");
    selected.setText(kDefault);
    std::string name = c("Printers").text();
    // A printer taken away since the list was filled cannot be chosen; the
    // box then keeps saying the current printer prints, which is true.
    if (!name.empty() && SelectPrinter(program(), name)) selected.setText(name);
}

void PleaseAlign::ResetOptions() {
    c("txtPrintZero").setText("N");
    c("TxTPrintZeroOH").setText("N");
    c("TxtPrintCost").setText("Y");
    for (const char* box : kHiddenOnLeaving) {
        c(box).setVisible(false);
        c(labelOf(box)).setVisible(false);
    }
}

void PleaseAlign::Command2_Click() {
    SharedValues& s = program().shared();
    s.ZeroOnHandChoice = c("TxTPrintZeroOH").text();
    s.ZeroBalanceChoice = c("txtPrintZero").text();
    s.CostChoice = c("TxtPrintCost").text();
    c("Text1").setText("");
    s.PrintFlag = "1";
    hide();
    ResetOptions();
    s.SectionChoice = c("txtWhichSection").text();
}

void PleaseAlign::Command1_Click() {
    SharedValues& s = program().shared();
    s.ZeroOnHandChoice = c("TxTPrintZeroOH").text();
    s.ZeroBalanceChoice = c("txtPrintZero").text();
    c("Text1").setText("");
    ResetOptions();
    s.PrintFlag = "0";
    hide();
}

// ---- Printing

PrintingScreen::PrintingScreen(Program& p)
    : Screen(p, ScreenDef{"Printing", "Universal Printing", colour::Blue}, printingControls()) {
    on("Command1", Event::Click, [this] { Command1_Click(); });
}

void PrintingScreen::load() { PageSetUp(*this); }

void PrintingScreen::Command1_Click() {
    program().shared().PrintFlag = "1";
    c("Command1").setCaption("Please Wait");
}

void registerScreens(Program& p) {
    p.screens().add("PleaseAlign", [](Program& pr) { return std::make_unique<PleaseAlign>(pr); });
    p.screens().add("Printing", [](Program& pr) { return std::make_unique<PrintingScreen>(pr); });
}

}  // namespace printing
