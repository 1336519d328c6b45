// Salvage from damaged files: every row whose cell and overflow pages are
// undamaged must come back with its exact values, no deleted row may come
// back, and garbage of any shape must give no rows and no crash.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>
#include <random>
#include <system_error>

#include "platform/engine/salvage.h"
#include "tests/salvage/fixture.h"

using namespace salvage_test;
namespace sv = platform::salvage;

namespace {

const std::vector<std::string> kTables = {"archive", "items", "customers"};

struct Salvaged {
    std::map<std::string, Rows> rows;
    std::vector<sv::SchemaEntry> schema;
    sv::Stats stats;
    bool headerValid = false;
    uint32_t pageSize = 0;
    int duplicates = 0;
};

bool startsWith(const std::string& s, const std::string& p) { return s.compare(0, p.size(), p) == 0; }

// What the repair operation does: targets from the schema the reader finds
// (the kept copies when the schema tree is gone), then one collect pass.
Salvaged salvage(const fs::path& file) {
    sv::Reader reader(file);
    Salvaged out;
    out.schema = reader.schema();
    out.headerValid = reader.headerValid();
    out.pageSize = reader.pageSize();
    std::vector<sv::TableTarget> targets;
    for (const std::string& name : kTables) {
        const sv::SchemaEntry* found = nullptr;
        for (const char* type : {"table", "copy"})
            for (const auto& e : out.schema)
                if (!found && e.type == type && e.name == name && startsWith(e.sql, "CREATE TABLE")) found = &e;
        if (found) targets.push_back({name, found->rootPage, sv::columnCountOf(found->sql).value_or(0)});
    }
    reader.collect(targets, [&](size_t t, const sv::Row& row) {
        if (!out.rows[targets.at(t).name].emplace(row.rowid, row.values).second) ++out.duplicates;
    });
    out.stats = reader.stats();
    return out;
}

// A short record (written before a column was added) matches the full row
// when the columns it lacks are NULL.
// A whole REAL is stored as an integer; the column's affinity turns it back
// when the row is inserted into the same schema.
bool sameValue(const Cell& want, const Cell& got) {
    if (want.kind == Cell::Real && got.kind == Cell::Integer) return double(got.i) == want.r;
    return got == want;
}

bool sameValues(const std::vector<Cell>& want, const std::vector<Cell>& got) {
    if (got.size() > want.size()) return false;
    for (size_t i = 0; i < want.size(); ++i)
        if (i < got.size() ? !sameValue(want[i], got[i]) : want[i].kind != Cell::Null) return false;
    return true;
}

void expectRows(const std::string& table, const Rows& want, const Rows& got) {
    size_t missing = 0, extra = 0, wrong = 0;
    std::string examples;
    auto note = [&](const char* what, int64_t id) {
        if (examples.size() < 200) examples += std::string(" ") + what + " " + std::to_string(id);
    };
    for (const auto& [id, values] : want) {
        auto it = got.find(id);
        if (it == got.end()) ++missing, note("missing", id);
        else if (!sameValues(values, it->second)) ++wrong, note("wrong", id);
    }
    for (const auto& [id, values] : got)
        if (!want.count(id)) ++extra, note("extra", id);
    EXPECT_EQ(missing + extra + wrong, 0u) << table << ": " << missing << " missing, " << extra << " extra, " << wrong
                                           << " with wrong values;" << examples;
}

size_t count(const std::map<std::string, Rows>& rows) {
    size_t n = 0;
    for (const auto& [name, r] : rows) n += r.size();
    return n;
}

class SalvageTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        dir_ = new TempDir;
        pristine_ = dir_->path() / "pristine.db";
        buildMain(pristine_);
        layout_ = new Layout(readLayout(pristine_));
        rows_ = new std::map<std::string, Rows>(readRows(pristine_, kTables));
    }
    static void TearDownTestSuite() {
        delete rows_;
        delete layout_;
        delete dir_;
    }
    static fs::path copy(const std::string& name) {
        fs::path p = dir_->path() / name;
        fs::copy_file(pristine_, p, fs::copy_options::overwrite_existing);
        return p;
    }
    // The rows that damage to `pages` leaves readable.
    static std::map<std::string, Rows> expectedAfter(const std::set<uint32_t>& pages) {
        std::map<std::string, Rows> want = *rows_;
        for (const std::string& t : kTables)
            for (uint32_t p : pages) {
                auto it = layout_->tables.at(t).rowsOnPage.find(p);
                if (it != layout_->tables.at(t).rowsOnPage.end())
                    for (int64_t id : it->second) want[t].erase(id);
            }
        return want;
    }

    static inline TempDir* dir_ = nullptr;
    static inline fs::path pristine_;
    static inline Layout* layout_ = nullptr;
    static inline std::map<std::string, Rows>* rows_ = nullptr;
};

TEST_F(SalvageTest, IntactFileGivesEveryRowWithItsValues) {
    const TableLayout& items = layout_->tables.at("items");
    ASSERT_GE(items.interior.size(), 2u) << "the fixture must have a tree of three levels";
    ASSERT_GT(rows_->at("items").size(), 20000u);

    Salvaged s = salvage(pristine_);
    EXPECT_TRUE(s.headerValid);
    EXPECT_EQ(s.pageSize, 4096u);
    for (const std::string& t : kTables) {
        auto e = std::find_if(s.schema.begin(), s.schema.end(), [&](const auto& e) { return e.name == t; });
        ASSERT_NE(e, s.schema.end()) << t;
        EXPECT_EQ(e->type, "table");
        EXPECT_EQ(e->rootPage, layout_->tables.at(t).root) << t;
        expectRows(t, rows_->at(t), s.rows[t]);
    }
    EXPECT_EQ(s.duplicates, 0);
    EXPECT_EQ(s.stats.rowsFromOrphans, 0);
    EXPECT_EQ(s.stats.rowsUnreadable, 0);
    EXPECT_EQ(s.stats.pagesDamaged, 0);
    EXPECT_EQ(s.stats.rowsFromTree, int64_t(count(*rows_)));
    // Records written before the column was added keep their three values.
    EXPECT_EQ(s.rows["customers"].at(1).size(), 3u);
    EXPECT_EQ(s.rows["customers"].at(2000).size(), 4u);
    // An INTEGER PRIMARY KEY column is stored as NULL: the rowid carries it.
    EXPECT_EQ(s.rows["items"].at(7).at(0).kind, Cell::Null);
}

struct DamageCase {
    const char* name;
    std::function<std::set<uint32_t>(const Layout&)> pages;  // pages overwritten with random bytes
    double truncateAt = 0;                                   // else: keep this share of the pages
    std::function<void(const Salvaged&)> check = nullptr;
    // Else: damages the file its own way and returns the pages whose rows are lost.
    std::function<std::set<uint32_t>(const fs::path&)> write = nullptr;
};

std::set<uint32_t> pick(const std::vector<uint32_t>& from, size_t n, uint32_t seed) {
    std::vector<uint32_t> v = from;
    std::shuffle(v.begin(), v.end(), std::mt19937(seed));
    v.resize(std::min(n, v.size()));
    return {v.begin(), v.end()};
}

std::set<uint32_t> overflowPagesOf(const TableLayout& t) {
    std::set<uint32_t> leaves(t.leaves.begin(), t.leaves.end()), out;
    for (const auto& [page, ids] : t.rowsOnPage)
        if (!leaves.count(page)) out.insert(page);
    return out;
}

TEST_F(SalvageTest, DamagedFilesGiveEveryRowOnUndamagedPages) {
    const std::vector<DamageCase> cases = {
        {"leaf pages of two tables and an overflow page",
         [](const Layout& l) {
             std::set<uint32_t> p = pick(l.tables.at("items").leaves, 5, 1);
             p.merge(pick(l.tables.at("customers").leaves, 1, 2));
             std::set<uint32_t> ov = overflowPagesOf(l.tables.at("items"));
             p.insert(*std::next(ov.begin(), ov.size() / 2));
             return p;
         },
         0,
         [](const Salvaged& s) {
             EXPECT_GE(s.stats.rowsUnreadable, 1);  // the row whose overflow chain is cut
             EXPECT_EQ(s.stats.rowsFromOrphans, 0);
         }},
        {"interior page below the root",
         [](const Layout& l) { return std::set<uint32_t>{l.tables.at("items").interior.at(1)}; }, 0,
         [](const Salvaged& s) { EXPECT_GT(s.stats.rowsFromOrphans, 100); }},
        {"root page", [](const Layout& l) { return std::set<uint32_t>{l.tables.at("items").root}; }, 0,
         [](const Salvaged& s) { EXPECT_GT(s.stats.rowsFromOrphans, 20000); }},
        {"all index pages",
         [](const Layout& l) {
             std::set<uint32_t> p;
             for (const auto& [name, pages] : l.indexPages) p.insert(pages.begin(), pages.end());
             return p;
         },
         0, [](const Salvaged& s) { EXPECT_EQ(s.stats.rowsFromOrphans, 0); }},
        {"page 1", [](const Layout&) { return std::set<uint32_t>{1}; }, 0,
         [](const Salvaged& s) {
             EXPECT_FALSE(s.headerValid);
             EXPECT_EQ(s.pageSize, 4096u);  // detected from the pages
             int copies = 0;
             for (const auto& e : s.schema) copies += e.type == "copy";
             EXPECT_EQ(copies, 5);
             // Old short records reach the table whose width fits them best.
             EXPECT_EQ(s.rows.at("customers").at(1).size(), 3u);
         }},
        {"leaves, interior and index pages together",
         [](const Layout& l) {
             std::set<uint32_t> p = pick(l.tables.at("items").leaves, 4, 3);
             p.insert(l.tables.at("items").interior.back());
             p.merge(pick(l.indexPages.at("items_code"), 3, 4));
             p.merge(pick(l.tables.at("archive").leaves, 1, 5));
             return p;
         }},
        {"truncated file", nullptr, 0.6},
        {"a leaf written over another leaf and over an index page", nullptr, 0,
         [](const Salvaged& s) { EXPECT_GT(s.stats.pagesDamaged, 0); },
         [](const fs::path& file) {
             const TableLayout& items = layout_->tables.at("items");
             uint32_t a = items.leaves.at(10), b = items.leaves.at(200);
             copyPage(pristine_, a, file, b);
             copyPage(pristine_, a, file, layout_->indexPages.at("items_code").at(5));
             return std::set<uint32_t>{b};
         }},
        {"a stale leaf from before rows were deleted", nullptr, 0, nullptr,
         [](const fs::path& file) {
             // The old page holds rows deleted since; it lands on an index page
             // that no walk reaches, so only the orphan scan sees it.
             fs::path before = dir_->path() / "before.db";
             buildMain(before, 22000, false);
             const TableLayout old = readLayout(before).tables.at("items");
             auto leaf = std::find_if(old.leaves.begin(), old.leaves.end(), [&](uint32_t p) {
                 const auto& ids = old.rowsOnPage.at(p);
                 return std::find(ids.begin(), ids.end(), 12101) != ids.end();
             });
             EXPECT_NE(leaf, old.leaves.end());
             copyPage(before, *leaf, file, layout_->indexPages.at("items_code").at(7));
             return std::set<uint32_t>{};
         }},
    };
    for (const DamageCase& c : cases) {
        SCOPED_TRACE(c.name);
        fs::path file = copy("damaged.db");
        std::set<uint32_t> pages;
        if (c.truncateAt > 0) {
            uint32_t keep = uint32_t(layout_->pageCount * c.truncateAt);
            fs::resize_file(file, uint64_t(keep) * 4096 + 1000);  // a partial page at the end too
            for (uint32_t p = keep + 1; p <= layout_->pageCount; ++p) pages.insert(p);
        } else if (c.write) {
            pages = c.write(file);
        } else {
            pages = c.pages(*layout_);
            overwritePages(file, pages, 42);
        }
        std::map<std::string, Rows> want = expectedAfter(pages);
        Salvaged s = salvage(file);
        for (const std::string& t : kTables) expectRows(t, want.at(t), s.rows[t]);
        EXPECT_EQ(s.duplicates, 0);
        if (c.check) c.check(s);
        size_t total = count(*rows_), possible = count(want), got = count(s.rows);
        std::cout << "[ salvage  ] " << c.name << ": " << got << " of " << total << " rows ("
                  << 100.0 * got / total << "% of all, " << 100.0 * got / possible
                  << "% of the rows on undamaged pages), " << pages.size() << " pages damaged\n";
    }
}

// Orphan leaves of a table the caller did not ask for fit a wider target by
// width, and their rowids fall in the gap a damaged leaf of that target left;
// they must stay out of it.
TEST_F(SalvageTest, RowsOfATableNotAskedForStayOut) {
    const TableLayout& items = layout_->tables.at("items");
    const TableLayout& customers = layout_->tables.at("customers");
    ASSERT_FALSE(customers.interior.empty());
    uint32_t leaf = items.leaves.at(3);  // rowids well inside the customers' range
    ASSERT_LT(items.rowsOnPage.at(leaf).back(), customers.rowids.back());
    fs::path file = copy("not-asked.db");
    overwritePages(file, {leaf, customers.root}, 9);

    sv::Reader reader(file);
    std::vector<sv::TableTarget> targets;
    for (const auto& e : reader.schema())
        if (e.type == "table" && e.name == "items") targets.push_back({e.name, e.rootPage, 6});
    ASSERT_EQ(targets.size(), 1u);
    Rows got;
    reader.collect(targets, [&](size_t, const sv::Row& row) { got.emplace(row.rowid, row.values); });
    expectRows("items", expectedAfter({leaf}).at("items"), got);
    EXPECT_EQ(reader.stats().rowsFromOrphans, 0);
}

TEST(Salvage, GarbageGivesNoRows) {
    TempDir dir;
    std::mt19937 rng(7);
    const std::vector<sv::TableTarget> targets = {{"items", 3, 6}, {"loose", 0, 3}, {"wide", 2, 0}};
    int files = 0;
    for (size_t size : {0ul, 1ul, 99ul, 100ul, 511ul, 4096ul, 4097ul, 3 * 65536ul + 5, 1ul << 20}) {
        for (int kind = 0; kind < 3; ++kind) {  // zeros, random, random behind a valid header
            std::string bytes(size, '\0');
            if (kind > 0)
                for (char& ch : bytes) ch = char(rng());
            if (kind == 2 && size >= 100) {
                std::memcpy(bytes.data(), "SQLite format 3", 16);
                bytes[16] = 0x10, bytes[17] = 0;  // 4096
                bytes[20] = 0;
            }
            fs::path file = dir.path() / ("garbage" + std::to_string(files++));
            std::ofstream(file, std::ios::binary).write(bytes.data(), std::streamsize(bytes.size()));
            SCOPED_TRACE(file.filename().string());
            sv::Reader reader(file);
            EXPECT_EQ(reader.headerValid(), kind == 2 && size >= 100);
            reader.schema();
            size_t rows = 0;
            reader.collect(targets, [&](size_t, const sv::Row&) { ++rows; });
            EXPECT_EQ(rows, 0u);
        }
    }
}

// With the header gone the page size comes from the pages themselves; the
// tables, known only by width, get their rows from the orphan scan.
TEST(Salvage, PageSizeIsFoundWithoutTheHeader) {
    TempDir dir;
    fs::path file = dir.path() / "small.db";
    buildSmall(file);
    std::map<std::string, Rows> want = readRows(file, {"items", "customers"});
    overwritePages(file, {1}, 3, 1024);

    sv::Reader reader(file);
    EXPECT_FALSE(reader.headerValid());
    EXPECT_EQ(reader.pageSize(), 1024u);
    std::map<std::string, Rows> got;
    const std::vector<sv::TableTarget> targets = {{"items", 0, 6}, {"customers", 0, 4}};
    reader.collect(targets, [&](size_t t, const sv::Row& row) { got[targets[t].name][row.rowid] = row.values; });
    expectRows("items", want["items"], got["items"]);
    expectRows("customers", want["customers"], got["customers"]);
}

TEST(Salvage, MissingFileIsAnError) {
    EXPECT_THROW(sv::Reader("/nonexistent/salvage/file.db"), std::system_error);
}

// Random damage of every kind to a small file: the reader must neither crash
// nor loop (CI runs this under the sanitizers), and must never hand out a
// rowid twice or a record wider than its table.
TEST(Salvage, RandomDamageNeverBreaksTheReader) {
    TempDir dir;
    fs::path small = dir.path() / "small.db";
    buildSmall(small);
    std::string pristine;
    {
        std::ifstream in(small, std::ios::binary);
        pristine.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<sv::TableTarget> targets;
    {
        sv::Reader reader(small);
        for (const auto& e : reader.schema())
            if (e.type == "table") targets.push_back({e.name, e.rootPage, sv::columnCountOf(e.sql).value_or(0)});
    }
    ASSERT_EQ(targets.size(), 2u);
    targets.push_back({"unknown", 0, 0});
    const uint32_t ps = 1024;
    const size_t pages = pristine.size() / ps;
    std::mt19937 rng(2024);
    auto any = [&](size_t n) { return size_t(rng() % n); };
    int64_t delivered = 0;
    for (int round = 0; round < 400; ++round) {
        std::string bytes = pristine;
        int mutations = 1 + int(any(4));
        for (int m = 0; m < mutations; ++m) {
            switch (any(6)) {
                case 0:  // scattered bytes
                    for (int k = 0, n = 1 + int(any(30)); k < n; ++k) bytes[any(bytes.size())] = char(rng());
                    break;
                case 1: {  // a whole page
                    size_t p = any(pages);
                    for (size_t k = 0; k < ps; ++k) bytes[p * ps + k] = char(rng());
                    break;
                }
                case 2: {  // a page header, where counts and offsets live
                    size_t p = any(pages), hdr = p == 0 ? 100 : 0;
                    for (int k = 0, n = 1 + int(any(4)); k < n; ++k) bytes[p * ps + hdr + any(12)] = char(rng());
                    break;
                }
                case 3: {  // a 32-bit value turned into a plausible page number (child, overflow, freelist)
                    size_t at = any(bytes.size() - 4);
                    uint32_t v = uint32_t(any(pages + 3));
                    for (int k = 0; k < 4; ++k) bytes[at + k] = char(v >> (24 - 8 * k));
                    break;
                }
                case 4:  // a cell pointer or varint byte set to its extremes
                    bytes[any(bytes.size())] = any(2) ? char(0xff) : char(0x80);
                    break;
                case 5:  // cut short
                    bytes.resize(any(bytes.size()) + 1);
                    break;
            }
        }
        fs::path file = dir.path() / "fuzz.db";
        std::ofstream(file, std::ios::binary | std::ios::trunc).write(bytes.data(), std::streamsize(bytes.size()));
        sv::Reader reader(file);
        reader.schema();
        std::vector<std::set<int64_t>> seen(targets.size());
        reader.collect(targets, [&](size_t t, const sv::Row& row) {
            ++delivered;
            EXPECT_TRUE(seen.at(t).insert(row.rowid).second) << "round " << round << ": rowid " << row.rowid << " twice";
            if (targets[t].columnCount > 0) {
                EXPECT_LE(row.values.size(), size_t(targets[t].columnCount));
            }
        });
        if (::testing::Test::HasFailure()) break;
    }
    EXPECT_GT(delivered, 0);  // the damage left something to read most of the time
}

TEST(Salvage, ColumnCountOfCreateStatements) {
    const std::vector<std::pair<std::string, std::optional<int>>> cases = {
        {"CREATE TABLE t(a, b, c)", 3},
        {"create table if not exists \"x(y\" (a TEXT DEFAULT 'p,q', b NUMERIC(10, 2), [c,d] INT)", 3},
        {"CREATE TABLE t(a INTEGER PRIMARY KEY, b UNIQUE, CONSTRAINT k UNIQUE(a, b), CHECK(b > 0))", 2},
        {"CREATE TABLE t(a, b, PRIMARY KEY(a, b)) WITHOUT ROWID", 2},
        {"CREATE TABLE t AS SELECT 1", std::nullopt},
        {"CREATE INDEX i ON t(a)", std::nullopt},
        {"CREATE TABLE t(a, b", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [sql, want] : cases) EXPECT_EQ(sv::columnCountOf(sql), want) << sql;
}

}  // namespace
