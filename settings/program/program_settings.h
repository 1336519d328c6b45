#pragma once
// The settings routines as the screens call them: over the program's shared
// values, with the main menu created by the first load.
#include <functional>
#include <string>
#include <vector>

namespace ui {
class Program;
}

namespace settings {

struct SettingsState;

// What the settings routines need from the layers above them.
struct ProgramHooks {
    // Creates the main menu hidden when it does not exist yet and sets its tooltips.
    std::function<void()> prepareMainMenu;
    // Clears the other subsystems' shared working values (account record, ...).
    std::vector<std::function<void()>> resetOthers;
};

ProgramHooks& hooks(ui::Program& p);
SettingsState& state(ui::Program& p);

void LoadSystemSpec(ui::Program& p);
void SaveSystemSpec(ui::Program& p);
void RestoreSystemSpec(ui::Program& p);
void BackupSystemSpec(ui::Program& p);
void ResetSharedValues(ui::Program& p);
void LoadLocalSpec(ui::Program& p);
void SaveLocalSpec(ui::Program& p);

// Registers the settings fields as named shared values ("settings.LATEPCT",
// "local.TxtReceiptWidth", "ProgramDate") for inspection.
void registerSharedValues(ui::Program& p);

}  // namespace settings
