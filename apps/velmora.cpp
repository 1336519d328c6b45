// The maintenance program: started, it runs the recovery pass and ends.
#include <QApplication>
#include <QTimer>

#include "platform/workstation.h"
#include "startup/program_setup.h"
#include "ui/program.h"
#include "ui/screen.h"

int main(int argc, char** argv) {
    bool headless = !platform::hasDisplay();
    if (headless) qputenv("QT_QPA_PLATFORM", "offscreen");
    ui::quietPlatformNotes();
    QApplication app(argc, argv);
    ui::ProgramOptions options{platform::DriveMap::fromEnvironment(), true, headless};
    ui::Program program(std::move(options));
    startup::setupProgram(program);
    QTimer::singleShot(0, [&program] {
        program.guard([&program] { program.screens().get("frmopen"); });
        if (!program.ended()) program.end(0);
    });
    return app.exec();
}
