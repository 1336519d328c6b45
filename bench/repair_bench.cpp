// Repair and compaction against SQLite's own VACUUM INTO and a plain file
// copy, on a customer file of 100,000 accounts built through the engine;
// peak memory of each at 20,000, 50,000 and 100,000 rows; and the share of
// rows a repair salvages from a file with five overwritten leaf pages.
//
// Each measured operation runs in a fresh process (this program started
// again with --child), so its ru_maxrss is its own and not what building the
// files left behind. Numbers are printed, not asserted.
//
// Usage: repair_bench [--rows N] [--build-dir DIR] [--keep]
//   N default 100000; the smaller files have N/5 and N/2 rows. The files are built through the
//   engine in DIR (default: the work directory under $TMPDIR or /tmp) and
//   copied to the work directory for the measurements; the cost of adding
//   rows on the work directory's own disk is measured on a sample either way.
#include <fcntl.h>
#include <spawn.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "accounts/customer_columns.h"
#include "platform/dates.h"
#include "platform/drives.h"
#include "platform/engine/engine.h"
#include "platform/failure.h"
#include "platform/money.h"

namespace fs = std::filesystem;
using platform::Value;

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
double since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

[[noreturn]] void die(const std::string& m) {
    std::fprintf(stderr, "repair_bench: %s\n", m.c_str());
    std::exit(1);
}

void fsyncPath(const fs::path& p) {
    int fd = ::open(p.c_str(), O_RDONLY);
    if (fd < 0 || ::fsync(fd) != 0) die("fsync " + p.string());
    ::close(fd);
}

class Rng {
public:
    explicit Rng(uint32_t seed) : g_(seed) {}
    int range(int lo, int hi) { return lo + static_cast<int>(g_() % static_cast<uint32_t>(hi - lo + 1)); }
    uint32_t raw() { return g_(); }

private:
    std::mt19937 g_;
};

std::string letters(Rng& r, int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s += (i && r.range(0, 6) == 0) ? ' ' : static_cast<char>('A' + r.range(0, 25));
    return s;
}

// One account with every column filled at lengths a store's data has.
void addAccount(platform::Recordset& rs, int i, Rng& r) {
    char date[16];
    rs.addNew();
    for (const auto& c : accounts::customerColumns()) {
        std::string_view name = c.name;
        switch (c.type) {
            case platform::ColumnType::Text: {
                if (c.number == 1) { rs.setField(name, "B" + std::to_string(1000000 + i)); break; }
                if (c.has(accounts::DateText)) {
                    std::snprintf(date, sizeof date, "%02d/%02d/%04d", r.range(1, 12), r.range(1, 28), r.range(1940, 2025));
                    rs.setField(name, std::string(date));
                    break;
                }
                // Many fields of a real account are blank; the rest are rarely full.
                if (r.range(0, 99) < 30) break;
                int width = c.size >= 255 ? r.range(1, 12) : r.range(std::max(1, c.size / 4), std::max(1, c.size * 3 / 4));
                rs.setField(name, letters(r, width));
                break;
            }
            case platform::ColumnType::Memo: rs.setField(name, letters(r, r.range(0, 3))); break;
            case platform::ColumnType::Currency:
                rs.setField(name, platform::Money::fromTenThousandths(int64_t(r.range(0, 500000)) * 100));
                break;
            case platform::ColumnType::Double: rs.setField(name, double(r.range(0, 90))); break;
            case platform::ColumnType::Single: rs.setField(name, double(r.range(1, 12))); break;
            default: rs.setField(name, r.range(0, 9)); break;
        }
    }
    rs.update();
}

// Adds rows [from, to) to the customer file `name` in `dir`; returns seconds.
double addAccounts(const fs::path& dir, const std::string& name, int from, int to, bool create) {
    platform::DriveMap drives;
    drives.set('M', dir);
    platform::Locale locale("MM/dd/yyyy");
    auto engine = platform::makeSqliteEngine(drives, locale);
    std::shared_ptr<platform::Database> db;
    if (create) {
        db = engine->create("M:\\" + name);
        db->createTable(accounts::customerTableDef(true));
    } else {
        db = engine->open("M:\\" + name);
    }
    auto rs = db->openTable("Table1");
    Rng r(7u + static_cast<uint32_t>(from));
    auto t0 = Clock::now();
    for (int i = from; i < to; ++i) addAccount(*rs, i, r);
    double s = since(t0);
    rs->close();
    db->close();
    return s;
}

// ---- the child side: one operation, its time written to a result file

int child(int argc, char** argv) {
    // --child OP RESULT ARGS...
    std::string op = argv[2];
    std::ofstream result(argv[3]);
    auto t0 = Clock::now();
    try {
        if (op == "noop") {
        } else if (op == "copy") {
            fs::copy_file(argv[4], argv[5]);
            fsyncPath(argv[5]);
        } else if (op == "vacuum" || op == "vacuum-sync") {
            sqlite3* db = nullptr;
            if (sqlite3_open_v2(argv[4], &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) die("open");
            std::string sql = std::string("VACUUM INTO '") + argv[5] + "'";
            char* err = nullptr;
            if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) die(err ? err : "vacuum");
            sqlite3_close(db);
            if (op == "vacuum-sync") fsyncPath(argv[5]);
        } else if (op == "steps" || op == "xfer") {
            // The sound repair's steps done by hand, to show where its time goes;
            // "xfer" is the same copy in the form SQLite copies records unchanged.
            sqlite3* db = nullptr;
            auto exec = [&](const std::string& sql) {
                char* err = nullptr;
                if (sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) die(err ? err : sql);
            };
            if (sqlite3_open_v2(argv[5], &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) != SQLITE_OK)
                die("open out");
            exec("PRAGMA secure_delete=ON; PRAGMA page_size=4096; PRAGMA journal_mode=OFF; PRAGMA synchronous=OFF;"
                 " PRAGMA cache_size=-16384");
            exec(std::string("ATTACH DATABASE '") + argv[4] + "' AS src");
            std::string cols;
            for (const auto& c : accounts::customerColumns()) cols += (cols.empty() ? "\"" : ", \"") + std::string(c.name) + "\"";
            std::string create, indexes;
            {
                sqlite3_stmt* st = nullptr;
                sqlite3_prepare_v2(db, "SELECT type, sql FROM src.sqlite_master WHERE tbl_name='Table1' AND sql IS NOT NULL",
                                   -1, &st, nullptr);
                while (sqlite3_step(st) == SQLITE_ROW) {
                    std::string type = reinterpret_cast<const char*>(sqlite3_column_text(st, 0));
                    std::string sql = reinterpret_cast<const char*>(sqlite3_column_text(st, 1));
                    (type == "table" ? create : indexes) += sql + ";";
                }
                sqlite3_finalize(st);
            }
            auto t = Clock::now();
            std::ostringstream o;
            if (op == "steps") {
                exec("BEGIN");
                exec(create);
                exec("INSERT INTO main.Table1 (rowid, " + cols + ") SELECT rowid, " + cols +
                     " FROM src.Table1 ORDER BY rowid");
                exec("COMMIT");
                o << " copy-rows " << since(t);
                t = Clock::now();
                exec(indexes);
                o << " create-indexes " << since(t);
                t = Clock::now();
                exec("SELECT count(*) FROM main.Table1");
                o << " count " << since(t);
            } else {
                exec("BEGIN");
                exec(create);
                exec(indexes);
                exec("INSERT INTO main.Table1 SELECT * FROM src.Table1");
                exec("COMMIT");
                o << " xfer-copy " << since(t);
            }
            sqlite3_close(db);
            t = Clock::now();
            fsyncPath(argv[5]);
            o << " fsync " << since(t);
            result << since(t0) << o.str() << "\n";
            return 0;
        } else if (op == "repair" || op == "compact") {
            platform::DriveMap drives;
            drives.set('M', argv[4]);
            platform::Locale locale("MM/dd/yyyy");
            auto engine = platform::makeSqliteEngine(drives, locale);
            if (op == "repair") {
                auto rep = engine->repair(std::string("M:\\") + argv[5]);
                double s = since(t0);
                result << s << " " << rep.rowsKept << " " << rep.rowsInConflict << " " << (rep.damaged ? 1 : 0) << "\n";
                for (auto& n : rep.notes) result << n << "\n";
                return 0;
            }
            engine->compact(std::string("M:\\") + argv[5], std::string("M:\\") + argv[6]);
        } else {
            die("unknown child op " + op);
        }
    } catch (const std::exception& e) {
        die(op + ": " + e.what());
    }
    result << since(t0) << "\n";
    (void)argc;
    return 0;
}

struct Run {
    double seconds = 0;
    double maxrssMb = 0;
    std::vector<std::string> lines;  // the result file after the time
    std::string first;               // the rest of the first line
};

std::string self;
fs::path workDir;

Run spawn(const std::vector<std::string>& args) {
    fs::path resultFile = workDir / "child.result";
    std::vector<std::string> full = {self, "--child", args[0], resultFile.string()};
    full.insert(full.end(), args.begin() + 1, args.end());
    std::vector<char*> argv;
    for (auto& a : full) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid;
    if (posix_spawn(&pid, self.c_str(), nullptr, nullptr, argv.data(), environ) != 0) die("spawn");
    int status = 0;
    struct rusage ru {};
    if (wait4(pid, &status, 0, &ru) < 0) die("wait4");
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) die("child " + args[0] + " failed");
    Run run;
    run.maxrssMb = ru.ru_maxrss / 1024.0;
    std::ifstream in(resultFile);
    std::string line;
    std::getline(in, line);
    std::istringstream first(line);
    first >> run.seconds;
    std::getline(first, run.first);
    while (std::getline(in, line)) run.lines.push_back(line);
    return run;
}

void removeDb(const fs::path& p) {
    std::error_code ec;
    fs::remove(p, ec);
    fs::remove(p.string() + "-journal", ec);
}

// Median time and largest memory of `times` runs; `before` prepares each run.
template <class Prepare, class After>
Run measure(int times, const std::vector<std::string>& args, Prepare before, After after) {
    std::vector<double> secs;
    Run worst;
    for (int k = 0; k < times; ++k) {
        before();
        Run r = spawn(args);
        after();
        secs.push_back(r.seconds);
        if (r.maxrssMb >= worst.maxrssMb) worst = r;
    }
    std::sort(secs.begin(), secs.end());
    worst.seconds = secs[secs.size() / 2];
    return worst;
}

double mb(const fs::path& p) { return static_cast<double>(fs::file_size(p)) / (1024.0 * 1024.0); }

struct LeafPage {
    long long page;
    long long cells;
};

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 4 && std::strcmp(argv[1], "--child") == 0) return child(argc, argv);

    std::setvbuf(stdout, nullptr, _IOLBF, 0);  // progress shows while it runs
    int rows = 100000;
    bool keep = false;
    std::string buildBase;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--rows" && i + 1 < argc) rows = std::atoi(argv[++i]);
        else if (a == "--build-dir" && i + 1 < argc) buildBase = argv[++i];
        else if (a == "--keep") keep = true;
        else {
            std::fprintf(stderr, "usage: repair_bench [--rows N] [--build-dir DIR] [--keep]\n");
            return 2;
        }
    }
    if (rows < 1000) die("--rows must be at least 1000");
    int small = rows / 5;
    self = fs::read_symlink("/proc/self/exe").string();
    const char* tmp = std::getenv("TMPDIR");
    std::string tmpl = std::string(tmp && *tmp ? tmp : "/tmp") + "/velmora-repair-bench-XXXXXX";
    if (!mkdtemp(tmpl.data())) die("mkdtemp");
    workDir = tmpl;
    std::printf("repair_bench: customer files of %d, %d and %d accounts in %s\n", small, rows / 2, rows,
                workDir.c_str());
    std::printf("sqlite %s\n\n", sqlite3_libversion());

    // ---- the cost of one add on the work directory's disk
    const int sample = 1000;
    double tSample = addAccounts(workDir, "sample.mdb", 0, sample, true);
    removeDb(workDir / "sample.mdb");
    double perRow = tSample / sample;
    std::printf("adding rows through Recordset addNew/setField/update (one durable commit per row):\n");
    std::printf("  on %s: %d rows in %.2f s = %.3f ms/row; %d rows would take %.0f s%s\n", workDir.c_str(), sample,
                tSample, 1000.0 * perRow, rows, perRow * rows,
                perRow * rows > 60 ? "   ENGINE PERFORMANCE PROBLEM: over a minute" : "");

    // ---- build through the engine
    fs::path buildDir = workDir;
    if (!buildBase.empty()) {
        std::string b = buildBase + "/velmora-repair-bench-build-XXXXXX";
        if (!mkdtemp(b.data())) die("mkdtemp " + buildBase);
        buildDir = b;
    }
    const std::string smallName = "small.mdb", midName = "mid.mdb", bigName = "cusfile.mdb";
    int mid = rows / 2;
    // Each file is the one before it with more rows added.
    double tSmall = addAccounts(buildDir, smallName, 0, small, true);
    fs::copy_file(buildDir / smallName, buildDir / midName);
    double tMid = tSmall + addAccounts(buildDir, midName, small, mid, false);
    fs::copy_file(buildDir / midName, buildDir / bigName);
    double tAll = tMid + addAccounts(buildDir, bigName, mid, rows, false);
    std::printf("  on %s: %d rows in %.1f s (%.3f ms/row); %d rows in %.1f s (%.3f ms/row)%s\n", buildDir.c_str(),
                small, tSmall, 1000.0 * tSmall / small, rows, tAll, 1000.0 * tAll / rows,
                tAll > 60 ? "   ENGINE PERFORMANCE PROBLEM: over a minute" : "");
    if (buildDir != workDir) {
        for (const auto& n : {smallName, midName, bigName}) fs::copy_file(buildDir / n, workDir / n);
        fs::remove_all(buildDir);
    }
    std::printf("  file sizes: %.1f MB, %.1f MB and %.1f MB\n\n", mb(workDir / smallName), mb(workDir / midName),
                mb(workDir / bigName));

    // ---- times on the big file
    fs::path big = workDir / bigName;
    fs::path out = workDir / "out.mdb";
    fs::path work = workDir / "work.mdb";
    auto none = [] {};
    auto dropOut = [&] { removeDb(out); };
    const int times = 3;
    auto copyT = measure(times, {"copy", big.string(), out.string()}, dropOut, dropOut);
    auto vacT = measure(times, {"vacuum", big.string(), out.string()}, dropOut, dropOut);
    auto vacST = measure(times, {"vacuum-sync", big.string(), out.string()}, dropOut, dropOut);
    auto prepWork = [&] {
        removeDb(work);
        fs::copy_file(big, work);
    };
    auto repT = measure(times, {"repair", workDir.string(), "work.mdb"}, prepWork, none);
    auto cmpT = measure(times, {"compact", workDir.string(), bigName, "out.mdb"}, dropOut, dropOut);
    std::printf("times on the %d-row file (median of %d, each in a fresh process):\n", rows, times);
    std::printf("  file copy + fsync       %7.3f s\n", copyT.seconds);
    std::printf("  VACUUM INTO             %7.3f s\n", vacT.seconds);
    std::printf("  VACUUM INTO + fsync     %7.3f s\n", vacST.seconds);
    std::printf("  Engine::repair          %7.3f s  %.2f x VACUUM INTO, %.2f x VACUUM INTO + fsync, %.1f x copy"
                "  (target: at most 1.5 x VACUUM INTO)\n",
                repT.seconds, repT.seconds / vacT.seconds, repT.seconds / vacST.seconds, repT.seconds / copyT.seconds);
    std::printf("  Engine::compact         %7.3f s  %.2f x VACUUM INTO, %.2f x VACUUM INTO + fsync, %.1f x copy\n",
                cmpT.seconds, cmpT.seconds / vacT.seconds, cmpT.seconds / vacST.seconds, cmpT.seconds / copyT.seconds);
    {
        long long kept = 0;
        std::istringstream(repT.first) >> kept;
        std::printf("  repair kept %lld rows\n", kept);
    }
    auto steps = measure(1, {"steps", big.string(), out.string()}, dropOut, dropOut);
    auto xfer = measure(1, {"xfer", big.string(), out.string()}, dropOut, dropOut);
    std::printf("  the sound repair's steps by hand (s):%s\n", steps.first.c_str());
    std::printf("  the same copy as SQLite's record transfer (s): %.3f total;%s\n\n", xfer.seconds, xfer.first.c_str());

    // ---- memory at three sizes
    auto noop = spawn({"noop"});
    struct Mem {
        double repair, compact, vacuum, steps, xfer;
    };
    auto memoryAt = [&](const std::string& name) {
        fs::path src = workDir / name;
        auto prep = [&] {
            removeDb(work);
            fs::copy_file(src, work);
        };
        Mem m;
        m.repair = measure(1, {"repair", workDir.string(), "work.mdb"}, prep, none).maxrssMb;
        m.compact = measure(1, {"compact", workDir.string(), name, "out.mdb"}, dropOut, dropOut).maxrssMb;
        m.vacuum = measure(1, {"vacuum", src.string(), out.string()}, dropOut, dropOut).maxrssMb;
        m.steps = measure(1, {"steps", src.string(), out.string()}, dropOut, dropOut).maxrssMb;
        m.xfer = measure(1, {"xfer", src.string(), out.string()}, dropOut, dropOut).maxrssMb;
        return m;
    };
    Mem ms = memoryAt(smallName), mm = memoryAt(midName);
    Mem mbig{repT.maxrssMb, cmpT.maxrssMb, vacT.maxrssMb, steps.maxrssMb, xfer.maxrssMb};
    std::printf("peak memory, ru_maxrss (MB):   %7d rows %7d rows %7d rows   growth %d->%d   %d->%d\n", small, mid,
                rows, small, mid, mid, rows);
    std::printf("  empty process            %7.1f\n", noop.maxrssMb);
    auto memLine = [&](const char* what, double a, double b, double c) {
        std::printf("  %-24s %7.1f      %7.1f      %7.1f          %+6.1f          %+6.1f\n", what, a, b, c, b - a, c - b);
    };
    memLine("Engine::repair", ms.repair, mm.repair, mbig.repair);
    memLine("Engine::compact", ms.compact, mm.compact, mbig.compact);
    memLine("VACUUM INTO", ms.vacuum, mm.vacuum, mbig.vacuum);
    memLine("repair's steps by hand", ms.steps, mm.steps, mbig.steps);
    memLine("record transfer by hand", ms.xfer, mm.xfer, mbig.xfer);
    std::printf("\n");

    // ---- damage five leaf pages of the table and repair
    fs::path damaged = workDir / "damaged.mdb";
    removeDb(damaged);
    fs::copy_file(big, damaged);
    std::vector<LeafPage> leaves;
    long long total = 0, pageSize = 0;
    {
        sqlite3* db = nullptr;
        if (sqlite3_open_v2(damaged.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) die("open damaged");
        sqlite3_stmt* s = nullptr;
        sqlite3_prepare_v2(db, "SELECT pageno, ncell FROM dbstat WHERE name='Table1' AND pagetype='leaf' ORDER BY pageno",
                           -1, &s, nullptr);
        if (!s) die(std::string("dbstat: ") + sqlite3_errmsg(db));
        while (sqlite3_step(s) == SQLITE_ROW) leaves.push_back({sqlite3_column_int64(s, 0), sqlite3_column_int64(s, 1)});
        sqlite3_finalize(s);
        sqlite3_prepare_v2(db, "SELECT count(*), (SELECT page_size FROM pragma_page_size) FROM Table1", -1, &s, nullptr);
        sqlite3_step(s);
        total = sqlite3_column_int64(s, 0);
        pageSize = sqlite3_column_int64(s, 1);
        sqlite3_finalize(s);
        sqlite3_close(db);
    }
    if (leaves.size() < 5) die("too few leaf pages");
    Rng r(424242);
    std::set<size_t> chosen;
    while (chosen.size() < 5) chosen.insert(static_cast<size_t>(r.raw() % leaves.size()));
    long long onDamaged = 0;
    std::string pages;
    {
        int fd = ::open(damaged.c_str(), O_WRONLY);
        if (fd < 0) die("open for damage");
        std::vector<unsigned char> junk(static_cast<size_t>(pageSize));
        for (size_t k : chosen) {
            for (auto& b : junk) b = static_cast<unsigned char>(r.raw());
            if (::pwrite(fd, junk.data(), junk.size(), (leaves[k].page - 1) * pageSize) != pageSize) die("pwrite");
            onDamaged += leaves[k].cells;
            pages += (pages.empty() ? "" : ", ") + std::to_string(leaves[k].page);
        }
        ::fsync(fd);
        ::close(fd);
    }
    long long onUndamaged = total - onDamaged;
    auto sal = spawn({"repair", workDir.string(), "damaged.mdb"});
    long long kept = 0, conflicts = 0;
    int wasDamaged = 0;
    std::istringstream(sal.first) >> kept >> conflicts >> wasDamaged;
    std::printf("salvage: 5 of %zu leaf pages of Table1 overwritten with random bytes (pages %s)\n", leaves.size(),
                pages.c_str());
    std::printf("  rows %lld; on the damaged pages %lld; on undamaged pages %lld\n", total, onDamaged, onUndamaged);
    std::printf("  repair: %s, %lld rows kept (%lld in conflict), %.3f s, %.1f MB\n",
                wasDamaged ? "damage found" : "NO DAMAGE FOUND", kept, conflicts, sal.seconds, sal.maxrssMb);
    for (auto& n : sal.lines) std::printf("    %s\n", n.c_str());
    std::printf("  salvaged / on undamaged pages = %.3f %%  (target: at least 99.9 %%)\n",
                100.0 * static_cast<double>(kept) / static_cast<double>(onUndamaged));

    if (!keep) fs::remove_all(workDir);
    else std::printf("\nfiles kept in %s\n", workDir.c_str());
    return 0;
}
