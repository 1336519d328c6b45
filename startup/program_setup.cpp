#include "startup/program_setup.h"

#include <cstdio>

#include "accounts/record/account_record.h"
#include "accounts/scan/error_form.h"
#include "menus/main_menu.h"
#include "menus/utility_menu.h"
#include "platform/numbers.h"
#include "platform/print/print_backend.h"
#include "platform/print/print_surface.h"
#include "printing/printing.h"
#include "settings/program/program_settings.h"
#include "startup/start_screen.h"
#include "ui/dialog_screens.h"
#include "ui/program.h"

namespace startup {

void setupProgram(ui::Program& p) {
    startup::registerScreens(p);
    menus::registerScreens(p);
    menus::registerUtilityMenu(p);
    accounts::registerScreens(p);
    accounts::registerSharedValues(p);
    printing::registerScreens(p);
    // The program's one printer: the system's, or PDF files at the local drive
    // when none is installed, named by the workstation's own clock.
    p.setPrintSurface(std::make_shared<platform::PrintSurface>(
        platform::createPrintBackend(p.drives(), [&p] { return p.workstation().now(); })));
    ui::registerDialogScreens(p);
    settings::registerSharedValues(p);
    ui::SharedValues* s = &p.shared();
    auto num = [](double d) { return platform::numberText(d); };
    p.registerShared("PasswordWait", [s] { return s->PasswordWait; });
    p.registerShared("PasswordLength", [s] { return std::to_string(s->PasswordLength); });
    p.registerShared("PasswordTyped", [s] { return s->PasswordTyped; });
    p.registerShared("EnteredPassword", [s] { return s->EnteredPassword; });
    p.registerShared("ActionCode", [s] { return s->ActionCode; });
    p.registerShared("ConfirmAnswer", [s, num] { return num(s->ConfirmAnswer); });
    p.registerShared("OldValueLabel", [s] { return s->OldValueLabel; });
    p.registerShared("FieldChanged", [s] { return s->FieldChanged; });
    p.registerShared("PrintFlag", [s] { return s->PrintFlag; });
    p.registerShared("ZeroBalanceChoice", [s] { return s->ZeroBalanceChoice; });
    p.registerShared("ZeroOnHandChoice", [s] { return s->ZeroOnHandChoice; });
    p.registerShared("CostChoice", [s] { return s->CostChoice; });
    p.registerShared("SectionChoice", [s] { return s->SectionChoice; });
    p.registerShared("ScratchNumber", [s, num] { return num(s->ScratchNumber); });
    p.registerShared("ScratchText", [s] { return s->ScratchText; });
    p.registerShared("MoneyValue", [s, num] { return num(s->MoneyValue); });
    p.registerShared("MoneyText", [s] { return s->MoneyText; });
    p.registerShared("DateText", [s] { return s->DateText; });
    p.registerShared("DateIsValid", [s] { return std::to_string(s->DateIsValid); });
    p.registerShared("DateBoxColour", [s, num] { return num(s->DateBoxColour); });
    p.registerShared("PriorValue", [s, num] { return num(s->PriorValue); });
    p.registerShared("EnteredValue", [s, num] { return num(s->EnteredValue); });
    p.registerShared("PriorValue2", [s, num] { return num(s->PriorValue2); });
    p.registerShared("EnteredValue2", [s, num] { return num(s->EnteredValue2); });
    p.registerShared("ShortDateFormat", [&p] { return p.workstation().locale().shortDateFormat(); });
}

}  // namespace startup
