#pragma once
// Database files for the salvage tests, built with the SQLite library, and
// where each row lives in them (from the library's dbstat table), so a test
// can say which rows a given damage must cost and which it must not.
#include <sqlite3.h>

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/engine/salvage.h"

namespace salvage_test {

namespace fs = std::filesystem;
using platform::salvage::Cell;

class TempDir {
public:
    TempDir();
    ~TempDir();
    const fs::path& path() const { return path_; }

private:
    fs::path path_;
};

// Where a table's rows are: leaf and overflow pages to the rowids stored there.
struct TableLayout {
    std::string name;
    uint32_t root = 0;
    std::vector<uint32_t> leaves;    // in tree order
    std::vector<uint32_t> interior;  // root included when it is interior
    std::map<uint32_t, std::vector<int64_t>> rowsOnPage;  // leaf or overflow page
    std::vector<int64_t> rowids;     // all, ascending
};

struct Layout {
    std::map<std::string, TableLayout> tables;           // tables
    std::map<std::string, std::vector<uint32_t>> indexPages;
    uint32_t pageCount = 0;
};

// Rowid -> values, as a table holds them.
using Rows = std::map<int64_t, std::vector<Cell>>;

// The main fixture: velmora_schema, archive (7 columns), items (6 columns,
// INTEGER PRIMARY KEY, overflow text, blobs, deleted rows, a unique index),
// customers (3 columns, then one added: old records are short).
struct Fixture {
    fs::path file;
    Layout layout;
    std::map<std::string, Rows> rows;  // as read back through the library
};

// `deleteRows` false: the same content before its deletions (for stale pages).
void buildMain(const fs::path& file, int items = 22000, bool deleteRows = true);
// A small file for the fuzz loop (a few dozen pages, overflow included).
void buildSmall(const fs::path& file);

Layout readLayout(const fs::path& file);
std::map<std::string, Rows> readRows(const fs::path& file, const std::vector<std::string>& tables);

void overwritePages(const fs::path& file, const std::set<uint32_t>& pages, uint32_t seed, uint32_t pageSize = 4096);
// Puts page `from` of `source` at page `to` of `file` (a misdirected write).
void copyPage(const fs::path& source, uint32_t from, const fs::path& file, uint32_t to, uint32_t pageSize = 4096);

}  // namespace salvage_test
