#pragma once
// Temporary directories standing in for the data drive M and the local drive G.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "platform/drives.h"
#include "platform/files.h"
#include "platform/workstation.h"
#include "settings/system_spec.h"

namespace settings_test {

namespace fs = std::filesystem;

class SettingsFixture : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        root_ = fs::temp_directory_path() / ("velmora-settings-" + std::to_string(rd()) + std::to_string(rd()));
        fs::create_directories(root_ / "M");
        fs::create_directories(root_ / "G");
        drives_.set('M', root_ / "M");
        drives_.set('G', root_ / "G");
        files_ = std::make_unique<platform::FileChannels>(drives_);
        env_ = std::make_unique<settings::SettingsEnv>(
            settings::SettingsEnv{*files_, workstation_, state_, {}, {}});
    }
    void TearDown() override {
        env_.reset();
        files_.reset();
        std::error_code ec;
        fs::remove_all(root_, ec);
    }

    fs::path M() const { return root_ / "M"; }
    fs::path G() const { return root_ / "G"; }

public:
    static std::string slurp(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream o;
        o << in.rdbuf();
        return o.str();
    }
    static void spit(const fs::path& p, const std::string& bytes) {
        std::ofstream out(p, std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    static std::vector<std::string> lines(const std::string& bytes) {
        std::vector<std::string> out;
        size_t pos = 0;
        while (pos < bytes.size()) {
            size_t e = bytes.find("\r\n", pos);
            if (e == std::string::npos) { out.push_back(bytes.substr(pos)); break; }
            out.push_back(bytes.substr(pos, e - pos));
            pos = e + 2;
        }
        return out;
    }
    static std::string join(const std::vector<std::string>& ls, size_t count) {
        std::string s;
        for (size_t i = 0; i < count && i < ls.size(); ++i) s += ls[i] + "\r\n";
        return s;
    }

protected:
    // Saves `spec` with `filler` as the store's files.
    void saveSpec(const settings::SystemSpec& spec, double filler = 0) {
        state_.spec = spec;
        state_.filler = filler;
        settings::SaveSystemSpec(*env_);
    }

    fs::path root_;
    platform::DriveMap drives_;
    std::unique_ptr<platform::FileChannels> files_;
    platform::Workstation workstation_{fs::path()};
    settings::SettingsState state_;
    std::unique_ptr<settings::SettingsEnv> env_;
};

}  // namespace settings_test
