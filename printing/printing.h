#pragma once
// The printer choice screen, shown modally before anything is printed, and
// the printing-progress screen. A caller that wants to print puts what it is
// about to print into PleaseAlign's Text1, optionally chooses a printer by
// name (SelectPrinter), shows PleaseAlign modally and then reads PrintFlag:
// "1" to print, "0" not to.
#include <string>

#include "ui/screen.h"

namespace printing {

class PleaseAlign : public ui::Screen {
public:
    explicit PleaseAlign(ui::Program& p);
    void load() override;
    // Every time the screen becomes active the list is filled afresh; the
    // current printer is left as it is, so "DEFAULT" stands for it.
    void activate() override { FillPrinterList(); }

    // Fills Printers with the installed printers in the system's order
    // (ScratchNumber counting them) and shows "DEFAULT" in Selected.
    void FillPrinterList();
    void Printers_Click();
    void Command1_Click();  // DO NOT PRINT
    void Command2_Click();  // OK Print

private:
    // The options the two buttons put back to their defaults and hide again.
    void ResetOptions();
};

class PrintingScreen : public ui::Screen {
public:
    explicit PrintingScreen(ui::Program& p);
    void load() override;
    void Command1_Click();  // Stop Printing
};

// Makes the installed printer whose device name equals `name` exactly (case
// counts) the program's current printer. No such printer, or no print
// surface: nothing changes and nothing is said. True when it was chosen.
bool SelectPrinter(ui::Program& p, const std::string& name);

void registerScreens(ui::Program& p);

}  // namespace printing
