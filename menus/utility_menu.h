#pragma once
// The utility menu: the buttons of the maintenance tools, the hidden progress
// line of the bad-data scan and the way back to the main menu.
#include "ui/screen.h"

namespace menus {

class UtilityMenu : public ui::Screen {
public:
    explicit UtilityMenu(ui::Program& p);
    void load() override;
    void Command12_Click();
    void cmdexit_Click();
};

// Registers the Utility screen.
void registerUtilityMenu(ui::Program& p);

}  // namespace menus
