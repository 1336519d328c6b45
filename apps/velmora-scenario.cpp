// Plays a scenario script against the program under the offscreen platform.
#include <QApplication>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "startup/program_setup.h"
#include "tools/scenario/player.h"
#include "ui/program.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: velmora-scenario SCRIPT\n  plays the script's steps (see docs/scenario.md)\n");
        return 2;
    }
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "velmora-scenario: cannot read %s\n", argv[1]);
        return 2;
    }
    std::stringstream ss;
    ss << in.rdbuf();
    std::vector<scenario::Step> steps;
    try {
        steps = scenario::parseScript(ss.str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s: %s\n", argv[1], e.what());
        return 1;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    int qargc = 1;
    ui::quietPlatformNotes();
    QApplication app(qargc, argv);
    ui::ProgramOptions options{platform::DriveMap::fromEnvironment(), false, true};
    ui::Program program(std::move(options));
    startup::setupProgram(program);
    scenario::Player player(program, argv[1], std::move(steps));
    player.start();
    return app.exec();
}
