// The recovery pass end to end: the real velmora executable on stores made by
// velmora-store in temporary drive maps.
#include <gtest/gtest.h>
#include <unistd.h>

#include <map>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
};

class Recovery : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = fs::temp_directory_path() / ("velmora-recovery-" + std::to_string(::getpid()) + "-" +
                                             ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root_);
        fs::create_directories(root_ / "cfg");
        fs::create_directories(root_ / "run");
        fs::permissions(root_ / "run", fs::perms::owner_all);
        ::setenv("VELMORA_DRIVE_M", (root_ / "M").c_str(), 1);
        ::setenv("VELMORA_DRIVE_G", (root_ / "G").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (root_ / "cfg").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", (root_ / "run").c_str(), 1);
        ::unsetenv("DISPLAY");
        ::unsetenv("WAYLAND_DISPLAY");
        Outcome r = run(std::string(VELMORA_BIN_DIR) + "/velmora-store demo --accounts 40");
        ASSERT_EQ(r.status, 0) << r.out;
    }
    void TearDown() override { fs::remove_all(root_); }

    Outcome run(const std::string& cmd) {
        Outcome r;
        FILE* f = ::popen((cmd + " 2>&1").c_str(), "r");
        char buf[4096];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) r.out.append(buf, n);
        int st = ::pclose(f);
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : 128;
        return r;
    }
    Outcome velmora() { return run(std::string(VELMORA_BIN_DIR) + "/velmora"); }
    Outcome check() { return run(std::string(VELMORA_BIN_DIR) + "/velmora-store check"); }
    fs::path M(const std::string& name) { return root_ / "M" / name; }
    std::string bytes(const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static int count(const std::string& hay, const std::string& needle) {
        int c = 0;
        for (size_t p = hay.find(needle); p != std::string::npos; p = hay.find(needle, p + 1)) ++c;
        return c;
    }

    fs::path root_;
};

TEST_F(Recovery, AllSoundGivesTwelveDoneLinesAndKeepsEveryRow) {
    Outcome before = check();
    ASSERT_EQ(before.status, 0) << before.out;
    Outcome r = velmora();
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(count(r.out, " - Done."), 12) << r.out;
    EXPECT_NE(r.out.find("Rebuilding File - cusfile.mdb - Please Wait."), std::string::npos);
    EXPECT_NE(r.out.find("Rebuilding File - mail5.mdb - Done."), std::string::npos);
    EXPECT_EQ(r.out.find("Error"), std::string::npos) << r.out;
    Outcome after = check();
    EXPECT_EQ(after.status, 0) << after.out;
    EXPECT_EQ(after.out, before.out);  // the same row counts in every database
}

TEST_F(Recovery, MissingTransStopsAfterStockAndLeavesTheRestUntouched) {
    fs::remove(M("trans.mdb"));
    std::vector<std::string> later = {"invoice.mdb", "insurance.mdb", "mail1.mdb", "mail2.mdb", "mail3.mdb",
                                      "mail4.mdb",   "mail5.mdb"};
    std::map<std::string, std::string> old;
    std::map<std::string, fs::file_time_type> times;
    for (auto& n : later) {
        old[n] = bytes(M(n));
        times[n] = fs::last_write_time(M(n));
    }
    Outcome r = velmora();
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("Rebuilding File - stock.mdb - Done."), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Rebuilding File - trans.mdb - Please Wait."), std::string::npos);
    EXPECT_EQ(r.out.find("Rebuilding File - trans.mdb - Done."), std::string::npos);
    EXPECT_NE(r.out.find("3024"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("M:\\trans.mdb"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find(root_.string()), std::string::npos) << "a host path leaked: " << r.out;
    for (auto& n : later) {
        EXPECT_EQ(bytes(M(n)), old[n]) << n;
        EXPECT_EQ(fs::last_write_time(M(n)), times[n]) << n;
    }
}

TEST_F(Recovery, AFileThatIsNotADatabaseStopsThePassAndStaysUntouched) {
    {
        std::ofstream o(M("comment.mdb"), std::ios::binary | std::ios::trunc);
        o << "these are the store's comments, typed into a text file\r\n";
    }
    std::string before = bytes(M("comment.mdb"));
    Outcome r = velmora();
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("3343"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Rebuilding File - detail.mdb - Done."), std::string::npos);
    EXPECT_EQ(r.out.find("Rebuilding File - stock.mdb"), std::string::npos);
    EXPECT_EQ(bytes(M("comment.mdb")), before);
}

TEST_F(Recovery, ADamagedDatabaseIsSalvagedAndItsOriginalKept) {
    // Overwrite two pages of the customer file's rows (its pages after the
    // schema hold the table; the indexes come after the rows).
    fs::path p = M("cusfile.mdb");
    auto size = fs::file_size(p);
    ASSERT_GE(size, 4096u * 6);
    {
        std::fstream f(p, std::ios::binary | std::ios::in | std::ios::out);
        std::mt19937 rng(7);
        for (int page : {3, 4}) {
            f.seekp(4096 * (page - 1));
            for (int i = 0; i < 4096; ++i) f.put(static_cast<char>(rng()));
        }
    }
    Outcome r = velmora();
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(count(r.out, " - Done."), 12) << r.out;
    EXPECT_NE(r.out.find("rows salvaged"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("kept as M:\\cusfile.damaged-"), std::string::npos) << r.out;
    bool kept = false;
    for (auto& e : fs::directory_iterator(root_ / "M"))
        if (e.path().filename().string().rfind("cusfile.damaged-", 0) == 0) kept = true;
    EXPECT_TRUE(kept);
    Outcome c = check();
    EXPECT_NE(c.out.find("cusfile.mdb"), std::string::npos);
    EXPECT_EQ(c.status, 0) << c.out;
}

TEST_F(Recovery, AMissingSettingsFileIsRestoredFromItsBackup) {
    std::string backup = bytes(M("WSpec.old"));
    fs::remove(M("WSPEC.DAT"));
    Outcome r = velmora();
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_EQ(count(r.out, " - Done."), 12);
    ASSERT_TRUE(fs::exists(M("WSpec.dat")) || fs::exists(M("WSPEC.DAT")));
    fs::path restored = fs::exists(M("WSPEC.DAT")) ? M("WSPEC.DAT") : M("WSpec.dat");
    EXPECT_EQ(bytes(restored), backup);
}

TEST_F(Recovery, AMissingBackupStopsBeforeAnyDatabaseIsRepaired) {
    fs::remove(M("WSPEC.DAT"));
    fs::remove(M("WSpec.old"));
    auto cusTime = fs::last_write_time(M("cusfile.mdb"));
    Outcome r = velmora();
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(r.out.find("Rebuilding File"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("53"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("M:\\wspec.old"), std::string::npos) << r.out;
    EXPECT_EQ(fs::last_write_time(M("cusfile.mdb")), cusTime);
}

TEST_F(Recovery, TheShortDateFormatIsSetEvenWhenTheFirstDatabaseFails) {
    fs::remove(M("cusfile.mdb"));
    Outcome r = velmora();
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("M:\\cusfile.mdb"), std::string::npos) << r.out;
    std::string ws = bytes(root_ / "G" / "Workstation.ini");
    EXPECT_NE(ws.find("short_date=MM/dd/yyyy"), std::string::npos) << ws;
}

}  // namespace
