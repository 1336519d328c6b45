#pragma once
// The confirmation screen and the small shared screens: message, input, the
// two help screens and the serial numbers; and the stand-ins for the screens
// of the wider store system that they show.
#include <string>

#include "ui/screen.h"

namespace ui {

class Program;

// Asks whether to go on before an irreversible step. The caller sets
// ActionCode, writes its warning into txtWarningBox, sets ConfirmAnswer = 1
// and shows the screen modally; it reads ConfirmAnswer once the screen hid
// itself. The buttons by ActionCode:
//   "POSTHANDSALE"        go on: show the hand-sale posting screen, hide,
//                         hide the hand-sale screen; go back: show the
//                         posting screen, hide.
//   "ADD LATE CHARGES"    either button: hide.
//   "DELETE MAIL RECORD"  go on: ConfirmAnswer = 12; go back: 13; hide.
//   any other code        as "DELETE MAIL RECORD", so that no caller is left
//                         in a screen that cannot be left, and a "no" is
//                         never read as the caller's 1.
// The go-back button finally sets ScratchNumber to 0.
class AreYouSure : public Screen {
public:
    explicit AreYouSure(Program& p);
    void load() override;
    void Command2_Click();  // "GO On - I know what I am doing"
    void Command1_Click();  // "NO - Go Back I didn't mean it."
};

// The screens of the wider store system that this program shows but does not
// build. Each is a blank page with its title and a way to hide it.
constexpr const char* kHandSalePostingScreen = "frmPostHandSale";  // the hand-sale posting screen
constexpr const char* kHandSaleScreen = "frmHandSale";             // the sales-side screen hidden after posting
constexpr const char* kInventoryScreen = "frmInventory";           // the inventory screen

// Registers Passwordbox, AreYouSure, MessageForm, Inbox, Help, Help1, SerialNo
// and the three stand-ins.
void registerDialogScreens(Program& p);

}  // namespace ui
