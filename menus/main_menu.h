#pragma once
// The main menu: ten lettered buttons, Exit, and the running clock line.
#include <string>

#include "ui/screen.h"

namespace menus {

class MainMenu : public ui::Screen {
public:
    explicit MainMenu(ui::Program& p);
    void load() override;
    // The clock line: 12-28-2005 14:03:59, whatever the short-date format.
    std::string clockLine();
    void Timer1_Timer();
};

// Puts the ten tooltips on the main menu's buttons and its help context 1000.
void SetMainMenuTooltips(ui::Program& p);

// Registers the main menu screen and the settings load's hook that creates it.
void registerScreens(ui::Program& p);

}  // namespace menus
