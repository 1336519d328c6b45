#pragma once
// The correction dialog of the bad-data scan: two yellow message lines, the
// account number, the bad value, a box for the corrected value, the button
// that closes it (acting on ActionCode) and "Stop Scan".
#include "ui/screen.h"

namespace accounts {

class ErrorForm : public ui::Screen {
public:
    explicit ErrorForm(ui::Program& p);
    void load() override;
    void Command1_Click();
    void Command2_Click();
};

// Registers ErrorForm.
void registerScreens(ui::Program& p);

}  // namespace accounts
