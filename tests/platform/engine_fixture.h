#pragma once
// A data drive in a temporary directory with an engine over it, and a table
// with one column of each type.
#include <map>
#include <ostream>
#include <memory>
#include <string>
#include <vector>

#include "platform/dates.h"
#include "platform/drives.h"
#include "platform/engine/engine.h"
#include "support.h"

namespace platform {
// Readable values in test failures.
inline void PrintTo(const Value& v, std::ostream* os) {
    static const char* kinds[] = {"Null", "Text", "Integer", "Double", "Money", "Boolean"};
    *os << kinds[static_cast<int>(v.kind())];
    if (!v.isNull()) *os << "(" << v.toText() << ")";
}
}  // namespace platform

namespace vtest {

using platform::ColumnDef;
using platform::ColumnType;
using platform::IndexDef;
using platform::Money;
using platform::TableDef;
using platform::Value;

inline TableDef accountsTable() {
    TableDef t;
    t.name = "Table1";
    t.columns = {
        {"contract", ColumnType::Text, 10, {}},
        {"lastname", ColumnType::Text, 20, {}},
        {"firstname", ColumnType::Text, 20, {}},
        {"note", ColumnType::Memo, 0, {}},
        {"b", ColumnType::Byte, 0, {}},
        {"i", ColumnType::Integer, 0, {}},
        {"l", ColumnType::Long, 0, {}},
        {"s", ColumnType::Single, 0, {}},
        {"d", ColumnType::Double, 0, Value(0.0)},
        {"amount", ColumnType::Currency, 0, Value(Money())},
        {"due", ColumnType::DateTime, 0, {}},
        {"flag", ColumnType::YesNo, 0, Value(false)},
        {"status", ColumnType::Text, 1, Value("A")},
        {"opened", ColumnType::DateTime, 0, Value("01/01/1900")},
    };
    t.indexes = {
        {"contract", {"contract"}, true},
        {"NAME", {"lastname", "firstname"}, false},
        {"due", {"due"}, false},
        {"amount", {"amount"}, false},
    };
    return t;
}

class EngineFixture : public ::testing::Test {
protected:
    EngineFixture() : locale("MM/dd/yyyy") {
        drives.set('M', dir.path());
        engine = platform::makeSqliteEngine(drives, locale);
    }

    std::shared_ptr<platform::Database> createWith(const std::string& path, const TableDef& def) {
        auto db = engine->create(path);
        db->createTable(def);
        return db;
    }

    // Adds a row with the given columns; returns nothing, leaves the position.
    static void add(platform::Recordset& rs, const std::map<std::string, Value>& values) {
        rs.addNew();
        for (auto& [k, v] : values) rs.setField(k, v);
        rs.update();
    }

    // The given column of every row, walking forward from the first.
    static std::vector<std::string> walk(platform::Recordset& rs, const std::string& column = "contract") {
        std::vector<std::string> out;
        rs.moveFirst();
        while (!rs.eof()) {
            out.push_back(rs.field(column).toText());
            rs.moveNext();
        }
        return out;
    }
    static std::vector<std::string> walkBack(platform::Recordset& rs, const std::string& column = "contract") {
        std::vector<std::string> out;
        rs.moveLast();
        while (!rs.bof()) {
            out.push_back(rs.field(column).toText());
            rs.movePrevious();
        }
        return out;
    }

    TempDir dir;
    platform::DriveMap drives;
    platform::Locale locale;
    std::unique_ptr<platform::Engine> engine;
};

}  // namespace vtest
