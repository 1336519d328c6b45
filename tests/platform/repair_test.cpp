// Repair and compaction through the engine: sound files rebuilt as they were,
// damaged files salvaged as far as the damage allows, refusals that leave the
// file untouched, and repairs killed at random moments.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "engine_fixture.h"
#include "platform/failure.h"

using namespace platform;
using namespace vtest;

namespace {

// The raw library, for building fixtures fast and for looking inside files.
class Raw {
public:
    explicit Raw(const fs::path& p, int flags = SQLITE_OPEN_READWRITE) {
        if (sqlite3_open_v2(p.c_str(), &db_, flags, nullptr) != SQLITE_OK) throw std::runtime_error("open");
    }
    ~Raw() { sqlite3_close_v2(db_); }
    void exec(const std::string& sql) {
        char* err = nullptr;
        if (sqlite3_exec(db_, sql.c_str(), nullptr, nullptr, &err) != SQLITE_OK) {
            std::string m = err ? err : "";
            sqlite3_free(err);
            throw std::runtime_error(m + " in " + sql);
        }
    }
    // Every row of the query, its columns as typed texts.
    std::vector<std::string> rows(const std::string& sql) {
        std::vector<std::string> out;
        sqlite3_stmt* s = nullptr;
        if (sqlite3_prepare_v2(db_, sql.c_str(), -1, &s, nullptr) != SQLITE_OK)
            throw std::runtime_error(sqlite3_errmsg(db_) + std::string(" in ") + sql);
        int rc;
        while ((rc = sqlite3_step(s)) == SQLITE_ROW) {
            std::string r;
            for (int i = 0; i < sqlite3_column_count(s); ++i) {
                int t = sqlite3_column_type(s, i);
                r += t == SQLITE_NULL ? "N" : t == SQLITE_INTEGER ? "I" : t == SQLITE_FLOAT ? "F" : "T";
                if (t == SQLITE_FLOAT) {
                    char b[40];
                    std::snprintf(b, sizeof b, "%.17g", sqlite3_column_double(s, i));
                    r += b;
                } else if (t != SQLITE_NULL) {
                    r += reinterpret_cast<const char*>(sqlite3_column_text(s, i));
                }
                r += '|';
            }
            out.push_back(r);
        }
        std::string err = rc == SQLITE_DONE ? "" : sqlite3_errmsg(db_);
        sqlite3_finalize(s);
        if (!err.empty()) throw std::runtime_error(err + " in " + sql);
        return out;
    }
    long long one(const std::string& sql) {
        auto r = rows(sql);
        return r.empty() ? -1 : std::atoll(r[0].c_str() + 1);
    }

private:
    sqlite3* db_ = nullptr;
};

// The rows of a table keyed by rowid, each as one text.
std::map<long long, std::string> dump(const fs::path& file, const std::string& table) {
    Raw r(file, SQLITE_OPEN_READONLY);
    std::map<long long, std::string> out;
    for (auto& row : r.rows("SELECT rowid, * FROM \"" + table + "\" ORDER BY rowid")) {
        long long id = std::atoll(row.c_str() + 1);
        out[id] = row;
    }
    return out;
}

// The rows' values in row id order, without the row ids themselves.
std::vector<std::string> contents(const std::map<long long, std::string>& rows) {
    std::vector<std::string> out;
    for (auto& [id, text] : rows) out.push_back(text.substr(text.find('|') + 1));
    return out;
}

std::vector<std::string> schemaOf(const fs::path& file) {
    Raw r(file, SQLITE_OPEN_READONLY);
    return r.rows(
        "SELECT type, name, tbl_name, sql FROM sqlite_master WHERE name NOT LIKE 'sqlite_%' ORDER BY type, name");
}

struct PageInfo {
    long long page;
    std::string type;
    long long cells;
};
std::vector<PageInfo> pagesOf(const fs::path& file, const std::string& name) {
    Raw r(file, SQLITE_OPEN_READONLY);
    std::vector<PageInfo> out;
    for (auto& row : r.rows("SELECT pageno, pagetype, ncell FROM dbstat WHERE name='" + name + "' ORDER BY pageno")) {
        PageInfo p;
        size_t a = row.find('|'), b = row.find('|', a + 1);
        p.page = std::atoll(row.c_str() + 1);
        p.type = row.substr(a + 2, b - a - 2);
        p.cells = std::atoll(row.c_str() + b + 2);
        out.push_back(p);
    }
    return out;
}

void overwritePage(const fs::path& file, long long page, uint32_t seed, bool zeros = false) {
    std::mt19937 rng(seed);
    std::string bytes(4096, '\0');
    if (!zeros)
        for (auto& c : bytes) c = static_cast<char>(rng());
    int fd = ::open(file.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(4096, ::pwrite(fd, bytes.data(), bytes.size(), (page - 1) * 4096));
    ::close(fd);
}

bool sameDefinition(const TableDef& a, const TableDef& b, std::string& why) {
    if (a.columns.size() != b.columns.size()) return why = "column count", false;
    for (size_t i = 0; i < a.columns.size(); ++i) {
        const auto &x = a.columns[i], &y = b.columns[i];
        if (x.name != y.name || x.type != y.type || x.size != y.size || !(x.defaultValue == y.defaultValue))
            return why = "column " + x.name, false;
    }
    auto key = [](const TableDef& t) {
        std::set<std::string> s;
        for (auto& ix : t.indexes) {
            std::string k = ix.name + (ix.unique ? "!" : ":");
            for (auto& c : ix.columns) k += c + ",";
            s.insert(k);
        }
        return s;
    };
    if (key(a) != key(b)) return why = "indexes", false;
    return true;
}

TableDef extraTable() {
    TableDef t;
    t.name = "Extra";
    t.columns = {{"seq", ColumnType::Counter, 0, {}}, {"name", ColumnType::Text, 30, {}}};
    t.indexes = {{"extraname", {"name"}, false}};
    return t;
}

class Repair : public EngineFixture {
protected:
    fs::path file() const { return dir / "cusfile.mdb"; }

    // Table1 with `rows` rows (every 50th with a note long enough for overflow
    // pages, a few deleted for gaps) and Extra with a counter, built through
    // the engine's schema and filled through the library for speed.
    void build(int rows) {
        {
            auto db = createWith("M:\\cusfile.mdb", accountsTable());
            db->createTable(extraTable());
        }
        Raw r(file());
        r.exec("BEGIN");
        std::string sql;
        for (int k = 1; k <= rows; ++k) {
            char buf[512];
            std::snprintf(buf, sizeof buf,
                          "INSERT INTO Table1 (contract, lastname, firstname, note, b, i, l, s, d, amount, due, flag,"
                          " status, opened) VALUES ('C%06d', '%s', %s, %s, %d, %d, %d, %g, %.17g, %lld, %d.5, %d,"
                          " 'A', 2);",
                          k, k % 7 == 0 ? "Smith" : "Jones", k % 11 == 0 ? "NULL" : "'Ann'",
                          k % 50 == 0 ? "printf('%.6000c', 'n')" : k % 3 ? "'short note'" : "NULL", k % 256,
                          k % 30000 - 15000, k * 1000, k * 0.5, k / 3.0, k * 12345LL, 38000 + k % 2000,
                          k % 2 ? -1 : 0);
            r.exec(buf);
        }
        for (int k = 1; k <= 40; ++k) r.exec("INSERT INTO Extra (name) VALUES ('extra " + std::to_string(k) + "')");
        r.exec("DELETE FROM Table1 WHERE rowid % 97 = 0");
        r.exec("DELETE FROM Extra WHERE seq >= 39");  // the counter must not hand these out again
        r.exec("COMMIT");
    }

    struct Before {
        std::map<long long, std::string> table1, extra;
        std::vector<std::string> schema;
        TableDef def1, def2;
        std::string bytes;
    };
    Before snapshot() {
        Before b;
        b.table1 = dump(file(), "Table1");
        b.extra = dump(file(), "Extra");
        b.schema = schemaOf(file());
        auto db = engine->open("M:\\cusfile.mdb");
        b.def1 = db->tableDefinition("table1");
        b.def2 = db->tableDefinition("extra");
        b.bytes = readBytes(file());
        return b;
    }

    // The repaired file opens through the engine with Table1's definition
    // intact, passes the library's own check, and every salvaged row is the
    // row that was there.
    void expectSoundResult(const Before& b, const fs::path& f, std::map<long long, std::string>* got = nullptr) {
        {
            Raw r(f, SQLITE_OPEN_READONLY);
            EXPECT_EQ(std::vector<std::string>{"Tok|"}, r.rows("PRAGMA integrity_check"));
        }
        auto rows = dump(f, "Table1");
        for (auto& [id, text] : rows) {
            auto it = b.table1.find(id);
            if (it == b.table1.end() || it->second != text) {
                ADD_FAILURE() << "row " << id << " is not the row that was there: " << text.substr(0, 80);
                break;
            }
        }
        if (got) *got = rows;
        auto db = engine->open("M:\\" + f.filename().string());
        std::string why;
        EXPECT_TRUE(sameDefinition(b.def1, db->tableDefinition("table1"), why)) << why;
        auto rs = db->openTable("table1");
        EXPECT_EQ(static_cast<long long>(rows.size()), rs->recordCount());
    }
};

}  // namespace

TEST_F(Repair, SoundDatabaseIsRebuiltAsItWas) {
    build(3000);
    Before b = snapshot();
    RepairReport rep = engine->repair("M:\\CUSFILE.MDB");
    EXPECT_FALSE(rep.damaged);
    EXPECT_TRUE(rep.keptOriginal.empty());
    EXPECT_EQ(0, rep.rowsInConflict);
    EXPECT_EQ(static_cast<long long>(b.table1.size() + b.extra.size()), rep.rowsKept);
    EXPECT_EQ(b.table1, dump(file(), "Table1"));  // every row, under its own rowid
    EXPECT_EQ(b.extra, dump(file(), "Extra"));
    EXPECT_EQ(b.schema, schemaOf(file()));       // tables, declared types, defaults, indexes
    auto db = engine->open("M:\\cusfile.mdb");
    std::string why;
    EXPECT_TRUE(sameDefinition(b.def1, db->tableDefinition("Table1"), why)) << why;
    EXPECT_TRUE(sameDefinition(b.def2, db->tableDefinition("Extra"), why)) << why;
    // Table order is still rowid order, and the counter goes on from where it was.
    auto rs = db->openTable("table1");
    EXPECT_EQ("C000001", rs->field("contract").toText());
    auto extra = db->openTable("extra");
    add(*extra, {{"name", "after repair"}});
    extra->moveLast();
    EXPECT_EQ(Value(int64_t(41)), extra->field("seq"));
    db->close();
    // Nothing left beside it but the lock file.
    EXPECT_EQ((std::vector<std::string>{".cusfile.mdb.lock", "cusfile.mdb"}), listDir(dir.path()));
    // And a second repair gives the same again.
    engine->repair("M:\\cusfile.mdb");
    EXPECT_EQ(b.schema, schemaOf(file()));
}

TEST_F(Repair, CompactMakesACopyAndLeavesTheSource) {
    build(2000);
    Before b = snapshot();
    engine->compact("M:\\Cusfile.mdb", "M:\\CusfileCompacted.mdb");
    EXPECT_EQ(b.bytes, readBytes(file()));
    EXPECT_EQ(b.table1, dump(dir / "CusfileCompacted.mdb", "Table1"));
    EXPECT_EQ(b.extra, dump(dir / "CusfileCompacted.mdb", "Extra"));
    EXPECT_EQ(b.schema, schemaOf(dir / "CusfileCompacted.mdb"));
    EXPECT_LT(fs::file_size(dir / "CusfileCompacted.mdb"), b.bytes.size());  // the deleted rows' space is gone

    // An existing destination (any case) is refused and left alone.
    std::string copy = readBytes(dir / "CusfileCompacted.mdb");
    try {
        engine->compact("M:\\cusfile.mdb", "M:\\cusfilecompacted.mdb");
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(3204, f.number());
        EXPECT_EQ("Database already exists.", f.description());
    }
    EXPECT_EQ(copy, readBytes(dir / "CusfileCompacted.mdb"));
    EXPECT_FAILURE(3024, engine->compact("M:\\detail.mdb", "M:\\DetailCompacted.mdb"));
    writeBytes(dir / "notes.mdb", "just some text\r\n");
    EXPECT_FAILURE(3343, engine->compact("M:\\notes.mdb", "M:\\NotesCompacted.mdb"));
    EXPECT_FALSE(fs::exists(dir / "DetailCompacted.mdb"));
    EXPECT_FALSE(fs::exists(dir / "NotesCompacted.mdb"));
    for (auto& n : listDir(dir.path())) EXPECT_EQ(std::string::npos, n.find("tmp")) << n;
}

TEST_F(Repair, FilesThatAreNotDatabasesAreRefusedAndLeftAlone) {
    struct Case {
        const char* name;
        std::string bytes;
    };
    const Case cases[] = {
        {"zeros.mdb", std::string(64 * 4096, '\0')},
        {"text.mdb", "Company Name,Street\r\n 15 ,.5 \r\n"},
        {"empty.mdb", ""},
        {"short.mdb", std::string("SQLite format 3\0", 16)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        writeBytes(dir / c.name, c.bytes);
        auto before = listDir(dir.path());
        try {
            engine->repair(std::string("M:\\") + c.name);
            ADD_FAILURE() << "repaired";
        } catch (const Failure& f) {
            EXPECT_EQ(3343, f.number());
            EXPECT_EQ(std::string("Unrecognized database format 'M:\\") + c.name + "'.", f.description());
        }
        EXPECT_EQ(c.bytes, readBytes(dir / c.name));
        auto after = listDir(dir.path());
        std::erase_if(after, [](const std::string& n) { return n.find(".lock") != std::string::npos; });
        std::erase_if(before, [](const std::string& n) { return n.find(".lock") != std::string::npos; });
        EXPECT_EQ(before, after);
    }
    try {
        engine->repair("M:\\trans.mdb");
        FAIL();
    } catch (const Failure& f) {
        EXPECT_EQ(3024, f.number());
        EXPECT_EQ("Could not find file 'M:\\trans.mdb'.", f.description());
    }
    EXPECT_FALSE(fs::exists(dir / "trans.mdb"));
}

// Each damage costs at most the rows that lay on the damaged pages.
TEST_F(Repair, DamagedFilesGiveUpOnlyTheRowsOnDamagedPages) {
    build(20000);
    Before b = snapshot();
    const std::string pristine = b.bytes;
    auto tableLeaves = pagesOf(file(), "Table1");
    std::erase_if(tableLeaves, [](const PageInfo& p) { return p.type != "leaf"; });
    auto tableInterior = pagesOf(file(), "Table1");
    std::erase_if(tableInterior, [](const PageInfo& p) { return p.type != "internal"; });
    auto nameIndex = pagesOf(file(), "NAME");
    auto contractIndex = pagesOf(file(), "contract");
    long long pageCount = static_cast<long long>(pristine.size() / 4096);
    ASSERT_GT(tableLeaves.size(), 100u);
    ASSERT_FALSE(tableInterior.empty());

    struct Case {
        std::string name;
        std::function<void()> damage;
        long long atLeast;  // Table1 rows that must come back
        bool indexDamage = false;
    };
    std::vector<Case> cases;
    {
        std::set<long long> hit;
        long long lost = 0;
        for (size_t k = 7; k < tableLeaves.size() && hit.size() < 5; k += tableLeaves.size() / 5) {
            hit.insert(tableLeaves[k].page);
            lost += tableLeaves[k].cells;
        }
        cases.push_back({"five table pages", [this, hit] {
                             for (auto p : hit) overwritePage(file(), p, static_cast<uint32_t>(p));
                         },
                         static_cast<long long>(b.table1.size()) - lost});
    }
    cases.push_back({"an interior page of the table", [&] { overwritePage(file(), tableInterior[0].page, 11); },
                     static_cast<long long>(b.table1.size())});
    cases.push_back({"index pages", [&] {
                         for (size_t k = 0; k < nameIndex.size(); k += 9) overwritePage(file(), nameIndex[k].page, 3);
                         overwritePage(file(), contractIndex[contractIndex.size() / 2].page, 4);
                     },
                     static_cast<long long>(b.table1.size()), true});
    cases.push_back({"the schema page", [&] { overwritePage(file(), 1, 5); },
                     static_cast<long long>(b.table1.size())});
    cases.push_back({"the schema page zeroed", [&] { overwritePage(file(), 1, 0, true); },
                     static_cast<long long>(b.table1.size())});
    {
        long long keep = pageCount * 6 / 10;
        long long onKept = 0;
        for (auto& p : tableLeaves)
            if (p.page <= keep) onKept += p.cells;
        // A row with a long note may have its overflow pages cut off.
        long long longNotes = static_cast<long long>(b.table1.size()) / 50 + 1;
        cases.push_back({"truncated to 60%", [this, keep] { fs::resize_file(file(), keep * 4096); },
                         onKept - longNotes});
    }

    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        for (auto& n : listDir(dir.path()))
            if (n.find("damaged") != std::string::npos) fs::remove(dir / n);
        writeBytes(file(), pristine);
        c.damage();
        std::string damagedBytes = readBytes(file());
        RepairReport rep;
        ASSERT_NO_THROW(rep = engine->repair("M:\\cusfile.mdb"));
        std::map<long long, std::string> got;
        expectSoundResult(b, file(), &got);
        auto extra = dump(file(), "Extra");
        EXPECT_EQ(b.extra, extra);  // nothing foreign taken in either
        long long extraRows = static_cast<long long>(extra.size());
        std::cout << "  " << c.name << ": " << got.size() << " of " << b.table1.size() << " rows (at least "
                  << c.atLeast << "), damaged=" << rep.damaged << "\n";
        EXPECT_GE(static_cast<long long>(got.size()), c.atLeast);
        EXPECT_EQ(static_cast<long long>(b.extra.size()), extraRows);
        EXPECT_EQ(static_cast<long long>(got.size()) + extraRows, rep.rowsKept);
        if (c.indexDamage && !rep.damaged) {
            // The rows were readable and the indexes are rebuilt from them.
            EXPECT_TRUE(rep.keptOriginal.empty());
        } else {
            EXPECT_TRUE(rep.damaged);
            ASSERT_EQ(0u, rep.keptOriginal.rfind("M:\\", 0)) << rep.keptOriginal;
            fs::path kept = dir / rep.keptOriginal.substr(3);
            EXPECT_NE(std::string::npos, rep.keptOriginal.find("damaged")) << rep.keptOriginal;
            EXPECT_EQ(damagedBytes, readBytes(kept));
            EXPECT_FALSE(rep.notes.empty());
        }
        // The indexes work on the result, and the counter goes on from where it
        // was (the schema page holds where that was).
        auto db = engine->open("M:\\cusfile.mdb");
        if (c.name.find("schema") == std::string::npos) {
            auto ex = db->openTable("extra");
            add(*ex, {{"name", "after"}});
            ex->moveLast();
            EXPECT_EQ(Value(int64_t(41)), ex->field("seq"));
        }
        auto rs = db->openTable("table1");
        rs->setIndex("contract");
        for (auto& [id, text] : got) {
            if (id % 500 != 1) continue;
            char key[32];
            std::snprintf(key, sizeof key, "C%06lld", id);
            rs->seek(SeekOp::Equal, {key});
            EXPECT_FALSE(rs->noMatch()) << key;
        }
    }
}

TEST_F(Repair, RowsBreakingAUniqueIndexAreKeptApartAndReported) {
    build(300);
    // Duplicates behind the unique index's back, as a damaged index can let in.
    {
        Raw r(file());
        r.exec("PRAGMA writable_schema=ON");
        r.exec("UPDATE sqlite_master SET sql='CREATE INDEX \"contract\" ON \"Table1\" (\"contract\")' "
               "WHERE name='contract'");
        r.exec("PRAGMA writable_schema=OFF");
    }
    {
        Raw r(file());
        r.exec("INSERT INTO Table1 (contract, lastname) VALUES ('c000005', 'dup lower case')");
        r.exec("INSERT INTO Table1 (contract, lastname) VALUES ('C000007', 'dup')");
        r.exec("INSERT INTO Table1 (contract, lastname) VALUES ('C000007', 'dup again')");
        r.exec("PRAGMA writable_schema=ON");
        r.exec("UPDATE sqlite_master SET sql='CREATE UNIQUE INDEX \"contract\" ON \"Table1\" (\"contract\")' "
               "WHERE name='contract'");
        r.exec("PRAGMA writable_schema=OFF");
    }
    Before b = snapshot();
    for (bool damage : {false, true}) {
        SCOPED_TRACE(damage ? "damaged file" : "readable file");
        writeBytes(file(), b.bytes);
        if (damage) overwritePage(file(), 1, 99);
        RepairReport rep = engine->repair("M:\\cusfile.mdb");
        EXPECT_EQ(3, rep.rowsInConflict);
        bool reported = false;
        for (auto& n : rep.notes) reported = reported || n.find("Table1_conflicts") != std::string::npos;
        EXPECT_TRUE(reported);
        auto kept = dump(file(), "Table1");
        auto apart = dump(file(), "Table1_conflicts");
        EXPECT_EQ(b.table1.size(), kept.size() + apart.size());  // nothing dropped
        EXPECT_EQ(3u, apart.size());
        for (auto& [id, text] : apart) EXPECT_NE(std::string::npos, text.find("dup")) << text;
        // The first of each key stays in the table, and the index is unique again.
        auto db = engine->open("M:\\cusfile.mdb");
        auto rs = db->openTable("table1");
        rs->setIndex("contract");
        rs->seek(SeekOp::Equal, {"C000007"});
        EXPECT_EQ(Value("Smith"), rs->field("lastname"));
        rs->seek(SeekOp::Equal, {"C000005"});
        EXPECT_EQ(Value("Jones"), rs->field("lastname"));
        EXPECT_EQ(4u, db->tableDefinition("table1").indexes.size());
        for (auto& ix : db->tableDefinition("table1").indexes) {
            if (ix.name == "contract") {
                EXPECT_TRUE(ix.unique);
            }
        }
        add(*rs, {{"contract", "X1"}});
        rs->addNew();
        rs->setField("contract", "x1");
        EXPECT_FAILURE(3022, rs->update());
        rs->cancelUpdate();
        db->close();
        // A second repair keeps what the first one set apart.
        RepairReport again = engine->repair("M:\\cusfile.mdb");
        EXPECT_EQ(0, again.rowsInConflict);
        EXPECT_EQ(contents(apart), contents(dump(file(), "Table1_conflicts")));
    }
    // New rows take the row ids the first repair moved away; a later repair
    // that finds conflicts again must not mistake them for set-apart rows.
    auto firstApart = dump(file(), "Table1_conflicts");
    {
        auto db = engine->open("M:\\cusfile.mdb");
        db->execute("ALTER TABLE table1 add column CBIECOACode text (1)");  // the table changes in between
        for (auto& [id, text] : firstApart) firstApart[id] = text + "N|";
        auto rs = db->openTable("table1");
        for (int k = 0; k < 5; ++k) add(*rs, {{"contract", "NEW" + std::to_string(k)}, {"lastname", "new row"}});
    }
    {
        Raw r(file());
        r.exec("PRAGMA writable_schema=ON");
        r.exec("UPDATE sqlite_master SET sql='CREATE INDEX \"contract\" ON \"Table1\" (\"contract\")' "
               "WHERE name='contract'");
        r.exec("PRAGMA writable_schema=OFF");
    }
    {
        Raw r(file());
        r.exec("INSERT INTO Table1 (contract, lastname) VALUES ('new0', 'dup of a new row')");
        r.exec("PRAGMA writable_schema=ON");
        r.exec("UPDATE sqlite_master SET sql='CREATE UNIQUE INDEX \"contract\" ON \"Table1\" (\"contract\")' "
               "WHERE name='contract'");
        r.exec("PRAGMA writable_schema=OFF");
    }
    auto beforeSecond = dump(file(), "Table1");
    RepairReport second = engine->repair("M:\\cusfile.mdb");
    EXPECT_EQ(1, second.rowsInConflict);
    auto keptNow = dump(file(), "Table1");
    auto apartNow = dump(file(), "Table1_conflicts");
    EXPECT_EQ(beforeSecond.size() - 1, keptNow.size());
    EXPECT_EQ(firstApart.size() + 1, apartNow.size());
    auto now = contents(apartNow);
    for (auto& text : contents(firstApart)) EXPECT_NE(now.end(), std::find(now.begin(), now.end(), text)) << text;
    int newRows = 0;
    for (auto& [id, text] : keptNow) newRows += text.find("new row") != std::string::npos;
    EXPECT_EQ(5, newRows);
}

// A writer that died in the middle of a transaction leaves its journal; the
// repair (as the recovery pass after a crash) comes back to the rows as they
// were before that transaction, not to its half-written pages.
TEST_F(Repair, AWriterKilledMidTransactionIsRolledBack) {
    build(3000);
    Before b = snapshot();
    int rc = runChild([&] {
        Raw r(file());
        r.exec("PRAGMA cache_size=2");  // spill changed pages into the file before the commit
        r.exec("BEGIN");
        r.exec("UPDATE Table1 SET note = printf('%.3000c', 'x'), lastname = 'half written'");
        ::_exit(7);  // dies holding the transaction
        return 0;
    });
    ASSERT_EQ(7, rc);
    ASSERT_TRUE(fs::exists(dir / "cusfile.mdb-journal"));
    ASSERT_NE(b.bytes, readBytes(file()));  // the file itself holds part of the transaction
    RepairReport rep = engine->repair("M:\\cusfile.mdb");
    EXPECT_FALSE(rep.damaged);
    EXPECT_EQ(b.table1, dump(file(), "Table1"));
    EXPECT_FALSE(fs::exists(dir / "cusfile.mdb-journal"));
}

// A repair killed at any moment leaves the old file or the new one: it opens
// with every row, and the next repair is not disturbed by what was left.
TEST_F(Repair, KilledAtRandomMomentsLeavesAnOpenableFileWithAllRows) {
    build(20000);
    Before b = snapshot();
    auto t0 = std::chrono::steady_clock::now();
    engine->repair("M:\\cusfile.mdb");
    auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - t0).count();
    std::cout << "  one repair of " << b.table1.size() << " rows: " << took / 1000 << " ms\n";
    ASSERT_EQ(b.table1, dump(file(), "Table1"));

    int killedMidway = 0;
    for (uint32_t round = 0; round < 24; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        std::mt19937 rng(1000 + round);
        long long delay = std::uniform_int_distribution<long long>(0, took * 13 / 10)(rng);
        fflush(nullptr);
        pid_t pid = ::fork();
        if (pid == 0) {
            auto eng = makeSqliteEngine(drives, locale);
            try {
                eng->repair("M:\\cusfile.mdb");
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        std::this_thread::sleep_for(std::chrono::microseconds(delay));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
        if (WIFSIGNALED(status)) ++killedMidway;
        else {
            EXPECT_EQ(0, WEXITSTATUS(status));
        }
        // The file opens through the engine with every row.
        auto db = engine->open("M:\\cusfile.mdb");
        EXPECT_EQ(static_cast<long long>(b.table1.size()), db->openTable("table1")->recordCount());
        db->close();
        ASSERT_EQ(b.table1, dump(file(), "Table1"));
        EXPECT_EQ(b.schema, schemaOf(file()));
    }
    std::cout << "  killed during the repair in " << killedMidway << " of 24 rounds\n";
    EXPECT_GE(killedMidway, 12);
    RepairReport rep = engine->repair("M:\\cusfile.mdb");
    EXPECT_FALSE(rep.damaged);
    EXPECT_EQ(b.table1, dump(file(), "Table1"));
    EXPECT_EQ((std::vector<std::string>{".cusfile.mdb.lock", "cusfile.mdb"}), listDir(dir.path()));
}
