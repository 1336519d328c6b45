#pragma once
// The program's shared values and services, owned by one object that is
// passed to whatever needs it: the drive map, files, workstation, database
// engine, dialogs, screens and the values the routines share. Subsystems keep
// their own shared state as "parts" of it, created on first use, so every
// test starts from a fresh program.
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <typeindex>
#include <vector>

#include "platform/drives.h"
#include "platform/engine/engine.h"
#include "platform/files.h"
#include "platform/workstation.h"
#include "ui/shared_values.h"

class QWidget;

namespace platform {
class PrintSurface;
}

namespace ui {

class Screen;
class Screens;
class Dialogs;

// Thrown out of a yield, a wait or a modal showing once the program has ended,
// so that no routine goes on after the end. Caught by the event guard.
struct ProgramEnded {};

struct ProgramOptions {
    platform::DriveMap drives;
    // End the process at once when the program ends (the real executable); the
    // scenario player keeps running to check what happened.
    bool exitProcess = true;
    // No display to ask: message boxes go to standard error.
    bool headless = false;
};

class Program {
public:
    explicit Program(ProgramOptions options);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    platform::DriveMap& drives() { return options_.drives; }
    platform::FileChannels& files() { return *files_; }
    platform::Workstation& workstation() { return *workstation_; }
    platform::Engine& engine() { return *engine_; }
    Dialogs& dialogs() { return *dialogs_; }
    Screens& screens() { return *screens_; }
    SharedValues& shared() { return shared_; }
    bool headless() const { return options_.headless; }

    // The print surface is provided by the printing layer when it is set up.
    void setPrintSurface(std::shared_ptr<platform::PrintSurface> p) { printer_ = std::move(p); }
    platform::PrintSurface* printSurface() const { return printer_.get(); }

    // A subsystem's shared state, created on first use.
    template <class T>
    T& part() {
        auto& slot = parts_[std::type_index(typeid(T))];
        if (!slot) slot = std::make_unique<Holder<T>>();
        return static_cast<Holder<T>&>(*slot).value;
    }

    // Named shared values for inspection (the scenario player's "expect shared").
    void registerShared(const std::string& name, std::function<std::string()> get);
    bool sharedValue(const std::string& name, std::string& out) const;

    // Runs an event routine under the failure convention: a failure no routine
    // caught shows the message box with its number and description and then
    // ends the program (non-zero status). Nothing runs once the program ended.
    void guard(const std::function<void()>& routine);

    // Lets pending window events run (painting, the clock timer).
    void yield();
    // Blocks for events (no spinning) while the condition holds.
    void waitWhile(const std::function<bool()>& condition);
    // Throws ProgramEnded when the program has ended.
    void checkEnded() const;

    // Ends the program: closes every open file and database and stops every
    // timer; no further event runs.
    void end(int status);
    bool ended() const { return ended_; }
    int exitStatus() const { return status_; }
    // Called after the end has been carried out (scenario player: stop the run).
    void onEnded(std::function<void(int)> f) { endedHooks_.push_back(std::move(f)); }

    // Whole display in twips (15 per pixel).
    int displayWidthTwips() const;
    int displayHeightTwips() const;

private:
    struct HolderBase {
        virtual ~HolderBase() = default;
    };
    template <class T>
    struct Holder : HolderBase {
        T value;
    };

    ProgramOptions options_;
    std::unique_ptr<platform::FileChannels> files_;
    std::unique_ptr<platform::Workstation> workstation_;
    std::unique_ptr<platform::Engine> engine_;
    std::unique_ptr<Dialogs> dialogs_;
    std::unique_ptr<Screens> screens_;
    std::shared_ptr<platform::PrintSurface> printer_;
    SharedValues shared_;
    std::map<std::type_index, std::unique_ptr<HolderBase>> parts_;
    std::map<std::string, std::function<std::string()>> named_;
    std::vector<std::function<void(int)>> endedHooks_;
    bool ended_ = false;
    int status_ = 0;
    int guardDepth_ = 0;
};

}  // namespace ui

namespace ui {
// Drops the offscreen platform's notes about window operations it cannot do
// (raise, activation), which say nothing to the user.
void quietPlatformNotes();
}  // namespace ui
