#pragma once
// Row salvage from a damaged database file by reading its pages directly, for
// the repair operation: the SQLite library stops at the first damaged page,
// this reader skips it and goes on. It never trusts the file: every offset,
// size, varint, page number and chain is checked, every loop is bounded, and
// visited pages are tracked so that a cycle ends the walk instead of looping.
//
// Memory is bounded by the page count (bitmaps over pages, a few rowid ranges
// per table), not by the row count: rows are handed to the sink one at a time.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace platform::salvage {

struct Cell {
    enum Kind { Null, Integer, Real, Text, Blob };
    Kind kind = Null;
    int64_t i = 0;
    double r = 0;
    std::string bytes;  // Text (in the file's text encoding) or Blob
    bool operator==(const Cell&) const = default;
};

// Values as the record stores them. Inserting them into a table of the same
// schema gives back what the library would have read: an INTEGER PRIMARY KEY
// column is stored as Null (its value is the rowid), and a whole number in a
// REAL column is stored as an Integer that the column's affinity turns back.
struct Row {
    int64_t rowid = 0;
    std::vector<Cell> values;  // may be fewer than the table's columns (a column added later)
};

struct SchemaEntry {
    std::string type;       // "table", "index", "view", "trigger"; "copy" for a statement from velmora_schema
    std::string name;       // for "copy": taken from the statement where it can be read, else ""
    std::string tableName;
    int64_t rootPage = 0;   // 0 when unknown (always for "copy")
    std::string sql;
};

struct TableTarget {
    std::string name;
    int64_t rootPage = 0;  // 0 or out of range: no tree walk, rows come from the orphan scan only
    int columnCount = 0;   // 0: unknown (any record length accepted from the tree)
};

struct Stats {
    int64_t pages = 0;             // whole pages in the file
    int64_t pagesReached = 0;      // b-tree pages reached by the tree walks
    int64_t pagesDamaged = 0;      // pages a walk met that did not parse or held bad cells or pointers
    int64_t orphanLeafPages = 0;   // table-leaf pages no walk reached whose rows were offered to a target
    int64_t rowsFromTree = 0;
    int64_t rowsFromOrphans = 0;
    int64_t rowsUnreadable = 0;    // cells seen whose record or overflow chain could not be read completely
};

class Reader {
public:
    // Opens the file read-only; pages are read on demand with pread. Throws
    // std::system_error when the file cannot be opened; garbage content never throws.
    explicit Reader(const std::filesystem::path& file);
    ~Reader();
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    bool headerValid() const;   // the magic string and a legal page size
    uint32_t pageSize() const;  // from the header, else detected from the pages (4096 when nothing parses)
    int64_t pageCount() const;  // whole pages in the file
    // 1 UTF-8, 2 UTF-16le, 3 UTF-16be (from the header; 1 when the header is unreadable).
    int textEncoding() const;

    // The schema rows: from the tree at page 1; when that tree is damaged, also
    // rows shaped like schema rows found on any page, and the statements kept
    // in velmora_schema (type "copy", rootPage 0). Cached after the first call.
    std::vector<SchemaEntry> schema();

    // Walks each target's tree, skipping damaged pages, cells and pointers.
    // Then offers each table-leaf page that no walk reached (and that is not a
    // free page) to one table by the width of its longest record: tables whose
    // tree was damaged first, then the closest width at or above the record's
    // (short records come from columns added later), then the earliest target.
    // Tables of the schema that are not targets compete too, and a page one
    // of them wins is dropped. Each rowid is delivered at most once per
    // target; tree rows win over orphan rows, and an orphan row whose rowid
    // lies between rows an intact stretch of the tree gave is stale and dropped.
    void collect(const std::vector<TableTarget>& targets,
                 const std::function<void(size_t targetIndex, const Row&)>& sink);

    const Stats& stats() const { return stats_; }

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    Stats stats_;
};

// Column count of a CREATE TABLE statement (top-level commas between the
// outermost parentheses, less table constraints); std::nullopt when it cannot
// be read. For targets rebuilt from "copy" schema entries.
std::optional<int> columnCountOf(const std::string& createTableSql);

}  // namespace platform::salvage
