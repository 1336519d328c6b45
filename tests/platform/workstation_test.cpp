// The workstation: its clock and short-date setting, the check for another
// running copy, and starting another program.
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <thread>

#include "platform/workstation.h"
#include "support.h"

using namespace platform;
using vtest::TempDir;

TEST(Workstation, SetDateKeepsTheTimeOfDayAndPersists) {
    TempDir g;
    auto state = g / "Workstation.ini";
    Date before, after;
    {
        Workstation ws(state);
        before = ws.now();
        ws.setDate(2005, 12, 28);
        after = ws.now();
    }
    EXPECT_EQ(2005, after.year);
    EXPECT_EQ(12, after.month);
    EXPECT_EQ(28, after.day);
    int secsBefore = before.hour * 3600 + before.minute * 60 + before.second;
    int secsAfter = after.hour * 3600 + after.minute * 60 + after.second;
    EXPECT_LE(std::abs(secsAfter - secsBefore), 2);
    {
        Workstation again(state);  // a new start of the program
        Date d = again.now();
        EXPECT_EQ(2005, d.year);
        EXPECT_EQ(12, d.month);
        EXPECT_EQ(28, d.day);
        again.setShortDateFormat("MM/dd/yyyy");
        EXPECT_EQ("12/28/2005", again.today());
    }
    Workstation third(state);
    EXPECT_EQ("MM/dd/yyyy", third.locale().shortDateFormat());
    EXPECT_EQ("12/28/2005", third.today());
    EXPECT_FAILURE(5, third.setDate(2005, 2, 30));
    EXPECT_EQ("12/28/2005", Workstation(state).today());
}

TEST(Workstation, WithoutAStateFileNothingIsWritten) {
    TempDir g;
    Workstation ws{std::filesystem::path()};
    ws.setDate(2001, 1, 1);
    EXPECT_EQ("1/1/2001", ws.today());
    EXPECT_TRUE(vtest::listDir(g.path()).empty());
}

TEST(Workstation, AnotherRunningCopyIsDetected) {
    std::string name = "velmora-test-" + std::to_string(::getpid());
    {
        SingleCopyGuard first(name);
        EXPECT_FALSE(first.anotherCopyRunning());
        SingleCopyGuard second(name);  // a second copy in this process
        EXPECT_TRUE(second.anotherCopyRunning());
        EXPECT_EQ(1, vtest::runChild([&] { return SingleCopyGuard(name).anotherCopyRunning() ? 1 : 0; }));
    }
    // The guard goes with its holder.
    EXPECT_EQ(0, vtest::runChild([&] { return SingleCopyGuard(name).anotherCopyRunning() ? 1 : 0; }));
}

TEST(Workstation, StartingAnotherProgram) {
    TempDir m;
    DriveMap drives;
    drives.set('M', m.path());
    EXPECT_FAILURE(53, startProgram(drives, "M:\\wledger.exe"));
    vtest::writeBytes(m / "WLedger.exe", "#!/bin/sh\necho started > \"$(dirname \"$0\")/started.txt\"\n");
    ::chmod((m / "WLedger.exe").c_str(), 0644);
    EXPECT_FAILURE(70, startProgram(drives, "M:\\wledger.exe"));
    ::chmod((m / "WLedger.exe").c_str(), 0755);
    startProgram(drives, "M:\\wledger.exe");  // found without regard to case, not waited for
    for (int k = 0; k < 200 && !std::filesystem::exists(m / "started.txt"); ++k)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ("started\n", vtest::readBytes(m / "started.txt"));
    // Once it has ended it is reaped: no zombie child is left behind.
    bool zombie = true;
    for (int k = 0; k < 200 && zombie; ++k) {
        zombie = false;
        for (auto& e : std::filesystem::directory_iterator("/proc")) {
            std::ifstream st(e.path() / "stat");
            std::string line;
            if (!std::getline(st, line)) continue;
            size_t close = line.rfind(')');
            if (close == std::string::npos || close + 4 >= line.size()) continue;
            char state = line[close + 2];
            long ppid = std::atol(line.c_str() + close + 4);
            if (ppid == ::getpid() && state == 'Z') zombie = true;
        }
        if (zombie) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_FALSE(zombie);
    EXPECT_FAILURE(64, startProgram(drives, "M:\\..\\bin\\sh"));
}
