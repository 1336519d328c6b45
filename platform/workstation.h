#pragma once
// The workstation: its clock, its regional short-date setting, the check for
// another running copy and the start of another program. Settings of the
// workstation are kept in a small file at the local drive, so they survive a
// restart as the regional settings and the system clock did.
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "platform/dates.h"
#include "platform/drives.h"

namespace platform {

class Workstation {
public:
    // State is kept in `stateFile` (created when first changed). An empty path
    // keeps everything in memory.
    explicit Workstation(std::filesystem::path stateFile);
    static std::filesystem::path defaultStateFile(const DriveMap& drives);  // G: root

    // The workstation's clock: the host clock plus an offset of its own, so
    // changing the date needs no system privileges.
    Date now() const;
    // Sets the calendar date; the time of day runs on.
    void setDate(int year, int month, int day);
    void setDateTime(const Date& d);
    // The date as the locale's short date ("the workstation's date" of the tools).
    std::string today() const { return locale_.shortDate(dateOnly(now())); }

    Locale& locale() { return locale_; }
    const Locale& locale() const { return locale_; }
    // Changes the regional short-date setting and keeps it.
    void setShortDateFormat(const std::string& fmt);

    static Date dateOnly(Date d) { d.hour = d.minute = d.second = 0; return d; }

private:
    void save() const;
    std::filesystem::path stateFile_;
    long long offsetSeconds_ = 0;
    Locale locale_;
};

// Another running copy of the program on this workstation. The guard is held
// for as long as the object lives; the lock goes with the process.
class SingleCopyGuard {
public:
    explicit SingleCopyGuard(const std::string& programName);
    ~SingleCopyGuard();
    bool anotherCopyRunning() const { return !held_; }

private:
    int fd_ = -1;
    bool held_ = false;
};

// Starts another program in its own process without waiting for it. The
// program is named by its program path ("M:\wledger.exe"); a missing file is
// failure 53.
void startProgram(const DriveMap& drives, const std::string& programPath);

}  // namespace platform

namespace platform {
// Whether a display is there to show windows on (an X or Wayland display, and
// not the offscreen platform).
bool hasDisplay();
}  // namespace platform
