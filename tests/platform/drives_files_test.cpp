// The drive map and the plain file operations.
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <optional>

#include "platform/codepage.h"
#include "platform/files.h"
#include "support.h"

using namespace platform;
using vtest::TempDir;
namespace fs = std::filesystem;

namespace {

struct Drives {
    TempDir m, g;
    DriveMap map;
    Drives() {
        map.set('M', m.path());
        map.set('g', g.path());  // letters in either case
    }
};

// Sets or clears environment variables for one test and puts them back after.
class EnvOverride {
public:
    void set(const char* name, const std::optional<std::string>& value) {
        if (!saved_.count(name)) {
            const char* old = std::getenv(name);
            saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
        }
        if (value) ::setenv(name, value->c_str(), 1);
        else ::unsetenv(name);
    }
    ~EnvOverride() {
        for (auto& [k, v] : saved_) {
            if (v) ::setenv(k.c_str(), v->c_str(), 1);
            else ::unsetenv(k.c_str());
        }
    }

private:
    std::map<std::string, std::optional<std::string>> saved_;
};

}  // namespace

// ---- drive map

TEST(DriveMap, NamesMatchWithoutRegardToCase) {
    Drives d;
    vtest::writeBytes(d.m / "WSpec.old", "old\r\n");
    EXPECT_TRUE(d.map.exists("M:\\wspec.old"));
    EXPECT_TRUE(d.map.exists("m:\\WSPEC.OLD"));
    EXPECT_EQ(d.m / "WSpec.old", d.map.resolve("M:\\wspec.old"));
    // A new file takes its name as given.
    EXPECT_EQ(d.m / "NewName.Dat", d.map.resolve("M:\\NewName.Dat"));
    // The local prefix "G:" names the root of drive G.
    vtest::writeBytes(d.g / "LocalSPEC.DAT", "x");
    EXPECT_EQ(d.g / "LocalSPEC.DAT", d.map.resolve("G:localspec.dat"));
}

TEST(DriveMap, CopyOverReplacesTheFileOfAnyCase) {
    Drives d;
    FileChannels files(d.map);
    vtest::writeBytes(d.m / "cusfile.mdb", "old contents");
    vtest::writeBytes(d.m / "CusfileCompacted.mdb", "new");
    files.copy("M:\\Cusfilecompacted.mdb", "M:\\Cusfile.mdb");
    EXPECT_EQ((std::vector<std::string>{"CusfileCompacted.mdb", "cusfile.mdb"}), vtest::listDir(d.m.path()));
    EXPECT_EQ("new", vtest::readBytes(d.m / "cusfile.mdb"));
    EXPECT_EQ("new", vtest::readBytes(d.m / "CusfileCompacted.mdb"));  // the source stays
}

TEST(DriveMap, NamesLeavingTheDirectoryAreRefused) {
    Drives d;
    FileChannels files(d.map);
    vtest::writeBytes(d.m / "ok.dat", "x");
    fs::create_directory(d.m / "sub");
    vtest::writeBytes(d.m / "sub" / "inner.dat", "x");
    const std::string bad[] = {
        "M:\\..\\etc\\passwd", "M:\\..", "M:\\.", "M:\\sub\\inner.dat", "M:\\sub/inner.dat", "M:/etc/passwd",
        "M:\\/etc/passwd", "/etc/passwd", "etc/passwd", "M:\\", "M:", "", std::string("M:\\ok.dat\0.x", 12),
        "M:\\a:b", "1:\\x",
    };
    for (const auto& name : bad) {
        SCOPED_TRACE(name);
        try {
            d.map.resolve(name);
            ADD_FAILURE() << "accepted";
        } catch (const Failure& f) {
            EXPECT_EQ(64, f.number());
            EXPECT_EQ(std::string::npos, std::string(f.what()).find(d.m.path().string()));
        }
        EXPECT_FAILURE(64, files.openInput(name));
        EXPECT_FAILURE(64, files.openOutput(name));
        EXPECT_FAILURE(64, files.remove(name));
        EXPECT_FAILURE(64, files.copy("M:\\ok.dat", name));
        EXPECT_FAILURE(64, files.copy(name, "M:\\copy.dat"));
    }
    // Nothing escaped into the parent directory, nothing was removed.
    EXPECT_TRUE(fs::exists(d.m / "sub" / "inner.dat"));
    EXPECT_FALSE(fs::exists(d.m / "copy.dat"));
    // Names that only look odd are ordinary names.
    EXPECT_NO_THROW(d.map.resolve("M:\\..dat"));
    EXPECT_NO_THROW(d.map.resolve("M:\\a b.c.d"));
}

TEST(DriveMap, FailuresNameTheProgramPathNotTheHostPath) {
    Drives d;
    FileChannels files(d.map);
    try {
        files.openInput("M:\\NoSuch.dat");
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(53, f.number());
        EXPECT_EQ("File not found", f.description());
        EXPECT_EQ("M:\\NoSuch.dat", f.file());
        EXPECT_EQ(std::string::npos, std::string(f.what()).find(d.m.path().string()));
    }
    DriveMap unmapped;
    try {
        unmapped.resolve("Q:\\x.dat");
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(76, f.number());
        EXPECT_EQ("Q:\\x.dat", f.file());
    }
    // A mapped drive whose directory is missing.
    DriveMap gone;
    gone.set('M', d.m / "missing");
    try {
        FileChannels(gone).openOutput("M:\\x.dat");
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(76, f.number());
        EXPECT_EQ(std::string::npos, std::string(f.what()).find(d.m.path().string()));
    }
    // The file-exists test answers false there instead of failing.
    EXPECT_FALSE(FileChannels(gone).exists("M:\\x.dat"));
    EXPECT_FALSE(FileChannels(unmapped).exists("Q:\\x.dat"));
}

TEST(DriveMap, ConfigurationFileEnvironmentAndDefaults) {
    TempDir home;
    EnvOverride env;
    env.set("XDG_CONFIG_HOME", (home / "config").string());
    env.set("XDG_DATA_HOME", (home / "data").string());
    for (char c = 'A'; c <= 'Z'; ++c) env.set(("VELMORA_DRIVE_" + std::string(1, c)).c_str(), std::nullopt);

    // No file, no environment: M and G under XDG_DATA_HOME.
    DriveMap defaults = DriveMap::fromEnvironment();
    EXPECT_EQ(home / "data" / "velmora" / "M", defaults.root('M'));
    EXPECT_EQ(home / "data" / "velmora" / "G", defaults.root('G'));
    EXPECT_FALSE(defaults.root('Q'));
    EXPECT_EQ(home / "config" / "velmora", defaults.configDir());

    // XDG_DATA_HOME unset: ~/.local/share.
    env.set("XDG_DATA_HOME", std::nullopt);
    env.set("HOME", (home / "h").string());
    EXPECT_EQ(home / "h" / ".local" / "share" / "velmora" / "M", DriveMap::fromEnvironment().root('M'));

    fs::create_directories(home / "config" / "velmora");
    vtest::writeBytes(home / "config" / "velmora" / "drives.conf",
                      "# the store's drives\r\n"
                      "M=/srv/velmora/data\r\n"
                      "\n"
                      "q=/srv/q\n"
                      " G = /srv/local \n"
                      "not a line\n");
    DriveMap conf = DriveMap::fromEnvironment();
    EXPECT_EQ(fs::path("/srv/velmora/data"), conf.root('M'));
    EXPECT_EQ(fs::path("/srv/q"), conf.root('Q'));
    EXPECT_EQ(fs::path("/srv/local"), conf.root('G'));

    // The environment overrides a line.
    env.set("VELMORA_DRIVE_M", "/elsewhere/m");
    DriveMap over = DriveMap::fromEnvironment();
    EXPECT_EQ(fs::path("/elsewhere/m"), over.root('M'));
    EXPECT_EQ(fs::path("/srv/q"), over.root('Q'));
}

// ---- sequential text

struct FieldCase {
    const char* name;
    std::string content;
    std::vector<std::string> fields;  // then input past end
};

TEST(TextFiles, SequentialFieldReading) {
    const FieldCase cases[] = {
        {"commas and line ends end fields", "a,b\r\nc\r\n", {"a", "b", "c"}},
        {"blanks around fields are skipped", "  a  ,\t b c \r\n", {"a", "b c"}},
        {"quoted field keeps commas and blanks", "\" x, y \",z\r\n", {" x, y ", "z"}},
        {"text after a closing quote is skipped", "\"ab\"cd,e\r\n", {"ab", "e"}},
        {"empty lines are empty fields", "a\r\n\r\nb\r\n", {"a", "", "b"}},
        {"trailing commas give empty fields", "a,b,c,,,,\r\n", {"a", "b", "c", "", "", "", ""}},
        {"last line without line end", "1,2", {"1", "2"}},
        {"bare LF and bare CR end lines", "a\nb\rc", {"a", "b", "c"}},
        {"a number with a blank for its sign", " 15 \r\n .5 \r\n-3 \r\n", {"15", ".5", "-3"}},
        {"empty file", "", {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Drives d;
        FileChannels files(d.map);
        vtest::writeBytes(d.m / "SEQ.DAT", c.content);
        auto in = files.openInput("M:\\seq.dat");
        std::vector<std::string> got;
        for (size_t i = 0; i < c.fields.size(); ++i) got.push_back(in->readField());
        EXPECT_EQ(c.fields, got);
        try {
            in->readField();
            ADD_FAILURE() << "read past the end";
        } catch (const Failure& f) {
            EXPECT_EQ(62, f.number());
            EXPECT_EQ("Input past end of file", f.description());
            EXPECT_EQ("M:\\seq.dat", f.file());
        }
    }
}

TEST(TextFiles, WholeLines) {
    Drives d;
    FileChannels files(d.map);
    vtest::writeBytes(d.m / "L.DAT", "first, with comma\r\n\r\n  blanks kept  \r\nlast");
    auto in = files.openInput("M:\\l.dat");
    EXPECT_EQ("first, with comma", in->readLine());
    EXPECT_EQ("", in->readLine());
    EXPECT_EQ("  blanks kept  ", in->readLine());
    EXPECT_FALSE(in->atEnd());
    EXPECT_EQ("last", in->readLine());
    EXPECT_TRUE(in->atEnd());
    EXPECT_FAILURE(62, in->readLine());
}

TEST(TextFiles, CodePageAndLineEndsOnWriteAndRead) {
    Drives d;
    FileChannels files(d.map);
    auto out = files.openOutput("M:\\Out.Dat");
    out->writeLine("caf\xC3\xA9 \xE2\x82\xAC" "5");  // "café €5"
    out->write("x");
    out->writeLine("");
    out->writeLine("\xE6\x97\xA5");  // outside the code page
    out->close();
    EXPECT_EQ(std::string("caf\xE9 \x80" "5\r\nx\r\n?\r\n"), vtest::readBytes(d.m / "Out.Dat"));

    vtest::writeBytes(d.m / "In.Dat", std::string("\xE9,\x80\r\n\x93q\x94\r\n"));
    auto in = files.openInput("M:\\in.dat");
    EXPECT_EQ("\xC3\xA9", in->readField());
    EXPECT_EQ("\xE2\x82\xAC", in->readField());
    EXPECT_EQ("\xE2\x80\x9Cq\xE2\x80\x9D", in->readLine());
    // Every byte survives a round trip through the program's text.
    std::string all;
    for (int b = 1; b < 256; ++b) all += static_cast<char>(b);
    EXPECT_EQ(all, utf8ToCp1252(cp1252ToUtf8(all)));
}

TEST(TextFiles, CloseAllCommitsOutputsAndClosesInputs) {
    Drives d;
    FileChannels files(d.map);
    vtest::writeBytes(d.m / "A.DAT", "1,2\r\n");
    auto in = files.openInput("M:\\a.dat");
    auto out = files.openOutput("M:\\B.DAT");
    out->writeLine("written");
    EXPECT_FALSE(fs::exists(d.m / "B.DAT"));  // nothing visible before the close
    EXPECT_EQ(2u, files.openCount());
    files.closeAll();
    EXPECT_EQ(0u, files.openCount());
    EXPECT_EQ("written\r\n", vtest::readBytes(d.m / "B.DAT"));
    EXPECT_FAILURE(52, in->readField());
    EXPECT_FAILURE(52, out->writeLine("more"));
    files.closeAll();  // nothing left: a second close-all is harmless
    EXPECT_EQ("written\r\n", vtest::readBytes(d.m / "B.DAT"));
}

TEST(TextFiles, AnOutputDroppedByAFailureLeavesTheOldFile) {
    Drives d;
    FileChannels files(d.map);
    vtest::writeBytes(d.m / "S.DAT", "complete old\r\n");
    try {
        auto out = files.openOutput("M:\\s.dat");
        out->writeLine("half of the new");
        throw Failure(13, "Type mismatch");
    } catch (const Failure&) {
    }
    EXPECT_EQ("complete old\r\n", vtest::readBytes(d.m / "S.DAT"));
    {
        auto out = files.openOutput("M:\\s.dat");
        out->writeLine("new");
    }  // dropped in the normal course: committed
    EXPECT_EQ("new\r\n", vtest::readBytes(d.m / "S.DAT"));
}

TEST(TextFiles, RewriteKeepsTheTargetsPermissions) {
    Drives d;
    FileChannels files(d.map);
    vtest::writeBytes(d.m / "P.DAT", "old");
    ::chmod((d.m / "P.DAT").c_str(), 0640);
    auto out = files.openOutput("M:\\p.dat");
    out->writeLine("new");
    out->close();
    struct stat st{};
    ::stat((d.m / "P.DAT").c_str(), &st);
    EXPECT_EQ(0640u, st.st_mode & 0777);
    EXPECT_EQ("new\r\n", vtest::readBytes(d.m / "P.DAT"));
}

// A write that fails part-way (here: the file-size limit of a child process,
// which holds even for root) leaves the old target and no temporary file.
TEST(TextFiles, FailedWriteOrCopyLeavesTheOldTarget) {
    Drives d;
    std::string big(1 << 20, 'x');
    vtest::writeBytes(d.m / "Big.dat", big);
    vtest::writeBytes(d.m / "Target.dat", "old target\r\n");
    auto before = vtest::listDir(d.m.path());
    int rc = vtest::runChild([&] {
        std::signal(SIGXFSZ, SIG_IGN);
        rlimit lim{64 * 1024, 64 * 1024};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        FileChannels files(d.map);
        int fails = 0;
        auto out = files.openOutput("M:\\target.dat");
        out->write(big);
        if (vtest::failureOf([&] { out->close(); }) != 0) ++fails;
        if (vtest::failureOf([&] { files.copy("M:\\big.dat", "M:\\TARGET.DAT"); }) != 0) ++fails;
        if (vtest::failureOf([&] { files.copy("M:\\big.dat", "M:\\NewCopy.dat"); }) != 0) ++fails;
        return fails;
    });
    EXPECT_EQ(3, rc);
    EXPECT_EQ("old target\r\n", vtest::readBytes(d.m / "Target.dat"));
    EXPECT_EQ(before, vtest::listDir(d.m.path()));
}

TEST(TextFiles, DeleteAndExists) {
    Drives d;
    FileChannels files(d.map);
    vtest::writeBytes(d.m / "Gone.Dat", "x");
    EXPECT_TRUE(files.exists("M:\\GONE.DAT"));
    files.remove("M:\\gone.dat");
    EXPECT_FALSE(files.exists("M:\\gone.dat"));
    try {
        files.remove("M:\\gone.dat");
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(53, f.number());
        EXPECT_EQ("M:\\gone.dat", f.file());
    }
    EXPECT_FAILURE(53, files.copy("M:\\gone.dat", "M:\\other.dat"));
    EXPECT_FALSE(files.exists("M:\\other.dat"));
    fs::create_directory(d.m / "Dir");
    EXPECT_FALSE(files.exists("M:\\dir"));  // a directory is not a file
}
