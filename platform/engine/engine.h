#pragma once
// The database engine as the program uses it: databases of tables with typed
// columns and named indexes, table-type record sets with index choice, seek,
// navigation, add/edit/update/delete and field access, statements, repair and
// compaction. Failures are platform::Failure with the engine's numbers
// (3021 no current record, 3022 duplicate, 3024 file not found, ...).
//
// This header is the seam: callers see only these classes, so another storage
// backend can stand in for the SQLite one.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/engine/value.h"

namespace platform {

class DriveMap;
class Locale;

enum class ColumnType { Text, Memo, Byte, Integer, Long, Single, Double, Currency, DateTime, YesNo, Counter };

struct ColumnDef {
    std::string name;
    ColumnType type = ColumnType::Text;
    int size = 0;          // characters, for Text (255 when 0)
    Value defaultValue;    // Null: no default
};

struct IndexDef {
    std::string name;
    std::vector<std::string> columns;
    bool unique = false;
};

struct TableDef {
    std::string name;
    std::vector<ColumnDef> columns;
    std::vector<IndexDef> indexes;
    const ColumnDef* column(std::string_view name) const;  // any case; nullptr when missing
};

enum class SeekOp { Equal, Less, LessEqual, Greater, GreaterEqual };
// "=", "<", "<=", ">", ">=" (failure 3001 for anything else).
SeekOp parseSeekOp(std::string_view op);

enum class EditMode { None, Edit, Add };

class Recordset {
public:
    virtual ~Recordset() = default;

    // "" is the table's own order. An unknown name: 3800 "'X' is not an index in this table.".
    virtual void setIndex(std::string_view name) = 0;
    virtual std::string index() const = 0;
    // Seek on the current index with one or more leading key values (3019
    // without a chosen index). On no match noMatch() is set and there is no
    // current row.
    virtual void seek(SeekOp op, const std::vector<Value>& keys) = 0;
    virtual bool noMatch() const = 0;

    virtual void moveFirst() = 0;
    virtual void moveLast() = 0;
    virtual void moveNext() = 0;      // past the last row: EOF set (3021 when already there)
    virtual void movePrevious() = 0;  // before the first: BOF set
    virtual bool bof() const = 0;
    virtual bool eof() const = 0;
    virtual long long recordCount() = 0;

    virtual void addNew() = 0;
    // Locks the current row until update or cancel; another editor of the same
    // row gets 3260 "currently locked".
    virtual void edit() = 0;
    virtual void update() = 0;
    virtual void cancelUpdate() = 0;
    virtual void deleteRecord() = 0;
    virtual EditMode editMode() const = 0;

    // Column names compare without regard to case (3265 for an unknown one).
    virtual Value field(std::string_view column) const = 0;
    virtual void setField(std::string_view column, const Value& v) = 0;
    virtual const TableDef& definition() const = 0;

    virtual void close() = 0;
};

class Database {
public:
    virtual ~Database() = default;
    virtual std::unique_ptr<Recordset> openTable(std::string_view name) = 0;
    // "ALTER TABLE name ADD COLUMN col type" (types: text (n), text, memo,
    // byte, integer, long, single, double, currency, date/datetime, yesno/bit,
    // counter). Anything else: 3129 "Invalid SQL statement ...".
    virtual void execute(std::string_view statement) = 0;
    virtual void createTable(const TableDef& def) = 0;
    virtual std::vector<std::string> tableNames() = 0;
    virtual TableDef tableDefinition(std::string_view name) = 0;
    // A transaction over this handle's changes: what is updated between begin
    // and commit is written to disk once, at the commit (a rollback drops it).
    virtual void beginTrans() = 0;
    virtual void commitTrans() = 0;
    virtual void rollback() = 0;
    virtual const std::string& path() const = 0;  // the program path
    virtual void close() = 0;
};

struct RepairReport {
    bool damaged = false;            // damage was found and rows were salvaged
    long long rowsKept = 0;          // rows in the repaired file (all tables)
    long long rowsInConflict = 0;    // rows that broke a unique index (kept apart)
    std::string keptOriginal;        // program path of the damaged original kept beside
    std::vector<std::string> notes;  // one line per finding, for the user
};

class Engine {
public:
    virtual ~Engine() = default;
    // Opens shared, read-write. 3024 missing, 3343 not a database, 3045 in
    // exclusive use (a repair or compaction runs).
    virtual std::shared_ptr<Database> open(const std::string& programPath) = 0;
    // Creates an empty database (3204 when the file exists).
    virtual std::shared_ptr<Database> create(const std::string& programPath) = 0;
    // Brings the file back into a state the engine can open, in place.
    virtual RepairReport repair(const std::string& programPath) = 0;
    // A compacted copy at the destination (3204 when it exists); source unchanged.
    virtual void compact(const std::string& source, const std::string& destination) = 0;
    // Closes every database this program has open.
    virtual void closeAll() = 0;
};

// The SQLite backend. `locale` reads and writes date columns.
std::unique_ptr<Engine> makeSqliteEngine(const DriveMap& drives, const Locale& locale);

}  // namespace platform
