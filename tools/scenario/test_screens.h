#pragma once
// Screens that exist only under the scenario player, to try the screen
// conventions on a small screen. The program itself never registers them.
namespace ui {
class Program;
}

namespace scenario {

// "TestConventions": one field per convention (date boxes, the three money
// patterns, the field habits) and controls that cannot take the focus (a
// label, a hidden and a disabled box) among the tab positions, with Enter
// moving on by AdvanceOnEnter.
void registerTestScreens(ui::Program& p);

}  // namespace scenario
