#pragma once
// Puts every screen and shared value of the program in place.
namespace ui {
class Program;
}

namespace startup {
void setupProgram(ui::Program& p);
}
