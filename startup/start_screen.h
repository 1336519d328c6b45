#pragma once
// The start-up screen and the recovery pass it runs: every database of the
// store repaired in turn, a status line for each, then the end.
#include <string>

#include "ui/screen.h"

namespace startup {

// The twelve databases, in the order they are repaired.
extern const char* const kDatabases[12];

class StartScreen : public ui::Screen {
public:
    explicit StartScreen(ui::Program& p);
    // The start routine: never returns (the program ends).
    void load() override;
    void CenterStartScreen();
    void RebuildFile(const std::string& name);
};

// A cover screen: light grey, no controls; four of them blank the display
// around the layout area.
class CoverScreen : public ui::Screen {
public:
    CoverScreen(ui::Program& p, const std::string& name);
};

void registerScreens(ui::Program& p);

}  // namespace startup
