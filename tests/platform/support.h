#pragma once
// Shared helpers of the platform tests: temporary drives, child processes and
// small file utilities.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "platform/dates.h"
#include "platform/drives.h"
#include "platform/engine/engine.h"
#include "platform/failure.h"

namespace vtest {

namespace fs = std::filesystem;

// A fresh directory, removed with everything in it at the end.
class TempDir {
public:
    TempDir() {
        std::string tmpl = (fs::temp_directory_path() / "velmora-test-XXXXXX").string();
        if (!::mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp");
        path_ = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        fs::remove_all(path_, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const fs::path& path() const { return path_; }
    fs::path operator/(const std::string& name) const { return path_ / name; }

private:
    fs::path path_;
};

inline std::string readBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}
inline void writeBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}
// Names in a directory, sorted.
inline std::vector<std::string> listDir(const fs::path& dir) {
    std::vector<std::string> names;
    for (auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Runs `body` in a forked child and returns its exit status (the body's
// return value; 99 for an exception, 128+n for signal n).
inline int runChild(const std::function<int()>& body) {
    fflush(nullptr);
    pid_t pid = ::fork();
    if (pid == 0) {
        int rc = 99;
        try {
            rc = body();
        } catch (...) {
            rc = 99;
        }
        ::_exit(rc);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
    return -1;
}

// A child process running alongside the test, talking over two pipes: the
// parent sends one-letter commands, the child answers with one byte each.
class Peer {
public:
    // `serve(cmd)` runs in the child for each command byte; its result byte is
    // sent back. Command 'q' ends the child.
    explicit Peer(std::function<char(char)> serve) {
        int toChild[2], toParent[2];
        if (::pipe(toChild) != 0 || ::pipe(toParent) != 0) throw std::runtime_error("pipe");
        fflush(nullptr);
        pid_ = ::fork();
        if (pid_ == 0) {
            ::close(toChild[1]);
            ::close(toParent[0]);
            char c;
            while (::read(toChild[0], &c, 1) == 1 && c != 'q') {
                char r = '!';
                try {
                    r = serve(c);
                } catch (const platform::Failure& f) {
                    r = static_cast<char>('A' + (f.number() % 26));  // a failure, told apart by its number
                } catch (...) {
                    r = '?';
                }
                if (::write(toParent[1], &r, 1) != 1) break;
            }
            ::_exit(0);
        }
        ::close(toChild[0]);
        ::close(toParent[1]);
        out_ = toChild[1];
        in_ = toParent[0];
    }
    ~Peer() {
        char q = 'q';
        if (::write(out_, &q, 1) != 1) {}
        ::close(out_);
        ::close(in_);
        int st;
        ::waitpid(pid_, &st, 0);
    }
    char ask(char cmd) {
        if (::write(out_, &cmd, 1) != 1) return 0;
        char r = 0;
        if (::read(in_, &r, 1) != 1) return 0;
        return r;
    }

private:
    pid_t pid_ = -1;
    int out_ = -1, in_ = -1;
};

// The failure number thrown by `f`, or 0 when nothing is thrown.
template <class F>
int failureOf(F&& f) {
    try {
        f();
    } catch (const platform::Failure& e) {
        return e.number();
    }
    return 0;
}

}  // namespace vtest

// Expects `stmt` to throw platform::Failure with number `num`.
#define EXPECT_FAILURE(num, stmt) EXPECT_EQ(num, ::vtest::failureOf([&] { stmt; })) << #stmt
#define ASSERT_FAILURE(num, stmt) ASSERT_EQ(num, ::vtest::failureOf([&] { stmt; })) << #stmt
