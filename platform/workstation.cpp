#include "platform/workstation.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/failure.h"
#include "platform/files.h"

extern char** environ;

namespace fs = std::filesystem;

namespace platform {

namespace {
Date hostNow() {
    std::time_t t = std::time(nullptr);
    std::tm tm{};
    localtime_r(&t, &tm);
    Date d;
    d.year = tm.tm_year + 1900;
    d.month = tm.tm_mon + 1;
    d.day = tm.tm_mday;
    d.hour = tm.tm_hour;
    d.minute = tm.tm_min;
    d.second = tm.tm_sec;
    return d;
}
long long serialSeconds(const Date& d) { return static_cast<long long>(std::llround(toSerial(d) * 86400.0)); }
}  // namespace

Workstation::Workstation(fs::path stateFile) : stateFile_(std::move(stateFile)) {
    if (stateFile_.empty()) return;
    std::ifstream in(stateFile_);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "clock_offset_seconds") offsetSeconds_ = std::atoll(value.c_str());
        else if (key == "short_date") locale_.setShortDateFormat(value);
    }
}

fs::path Workstation::defaultStateFile(const DriveMap& drives) {
    auto g = drives.root('G');
    return g ? *g / "Workstation.ini" : fs::path();
}

Date Workstation::now() const {
    long long s = serialSeconds(hostNow()) + offsetSeconds_;
    return fromSerial(static_cast<double>(s) / 86400.0);
}

void Workstation::setDate(int year, int month, int day) {
    Date cur = now();
    Date target = cur;
    target.year = year;
    target.month = month;
    target.day = day;
    setDateTime(target);
}

void Workstation::setDateTime(const Date& d) {
    if (!isCalendarDate(d.year, d.month, d.day)) throw Failure(5, "Invalid procedure call or argument");
    offsetSeconds_ = serialSeconds(d) - serialSeconds(hostNow());
    save();
}

void Workstation::setShortDateFormat(const std::string& fmt) {
    locale_.setShortDateFormat(fmt);
    save();
}

void Workstation::save() const {
    if (stateFile_.empty()) return;
    std::error_code ec;
    fs::create_directories(stateFile_.parent_path(), ec);
    std::ostringstream o;
    o << "clock_offset_seconds=" << offsetSeconds_ << "\n";
    o << "short_date=" << locale_.shortDateFormat() << "\n";
    atomicWriteFile(stateFile_, o.str(), "G:" + stateFile_.filename().string());
}

SingleCopyGuard::SingleCopyGuard(const std::string& programName) {
    const char* rt = std::getenv("XDG_RUNTIME_DIR");
    fs::path dir = rt && *rt ? fs::path(rt) : fs::temp_directory_path();
    fs::path lock = dir / (programName + "-" + std::to_string(::getuid()) + ".lock");
    fd_ = ::open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd_ >= 0) held_ = ::flock(fd_, LOCK_EX | LOCK_NB) == 0;
    else held_ = true;  // no place for a lock: do not stop the program for it
}

SingleCopyGuard::~SingleCopyGuard() {
    if (fd_ >= 0) ::close(fd_);
}

void startProgram(const DriveMap& drives, const std::string& programPath) {
    ProgramPath pp = DriveMap::parse(programPath);
    fs::path host = drives.resolve(pp);
    std::error_code ec;
    if (!fs::is_regular_file(host, ec)) throw fileNotFound(pp.text());
    if (::access(host.c_str(), X_OK) != 0) throw permissionDenied(pp.text());
    std::string p = host.string();
    char* argv[] = {p.data(), nullptr};
    pid_t pid;
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);
    int rc = posix_spawn(&pid, p.c_str(), nullptr, &attr, argv, environ);
    posix_spawnattr_destroy(&attr);
    if (rc != 0) throw fromErrno(rc, pp.text());
    // Not waited for, but reaped when it ends, so that no zombie is left for
    // the rest of the session.
    std::thread([pid] {
        int status;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {}
    }).detach();
}

}  // namespace platform

namespace platform {
bool hasDisplay() {
    const char* qpa = std::getenv("QT_QPA_PLATFORM");
    if (qpa && std::string(qpa).rfind("offscreen", 0) == 0) return false;
    const char* d = std::getenv("DISPLAY");
    const char* w = std::getenv("WAYLAND_DISPLAY");
    return (d && *d) || (w && *w);
}
}  // namespace platform
