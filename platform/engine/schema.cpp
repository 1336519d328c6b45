#include "platform/engine/schema.h"

#include <cctype>

#include "platform/codepage.h"
#include "platform/dates.h"
#include "platform/engine/sqlite_util.h"
#include "platform/failure.h"
#include "platform/numbers.h"

namespace platform::schema {

const char* const kSchemaCopyTable = "velmora_schema";

bool isInternalTable(std::string_view name) {
    std::string n = asciiLower(name);
    return n.rfind("sqlite_", 0) == 0 || n.rfind("velmora_", 0) == 0;
}

std::string typeSql(const ColumnDef& c) {
    switch (c.type) {
        case ColumnType::Text: return "TEXT(" + std::to_string(c.size > 0 ? c.size : 255) + ")";
        case ColumnType::Memo: return "LONGTEXT";
        case ColumnType::Byte: return "BYTE";
        case ColumnType::Integer: return "SHORT";
        case ColumnType::Long: return "LONG";
        case ColumnType::Single: return "SINGLE";
        case ColumnType::Double: return "DOUBLE";
        case ColumnType::Currency: return "CURRENCY";
        case ColumnType::DateTime: return "DATETIME";
        case ColumnType::YesNo: return "YESNO";
        case ColumnType::Counter: return "INTEGER";
    }
    return "LONGTEXT";
}

namespace {
std::string defaultLiteral(const ColumnDef& c) {
    const Value& d = c.defaultValue;
    if (d.isNull()) return {};
    switch (c.type) {
        case ColumnType::Text:
        case ColumnType::Memo: return sq::quoteText(d.toText());
        case ColumnType::Currency: return std::to_string(d.toMoney().tenThousandths());
        case ColumnType::YesNo: return d.toDouble() != 0 ? "-1" : "0";
        case ColumnType::Counter: return {};
        case ColumnType::DateTime:
            // Dates are kept as day numbers; a text default is read as the
            // program writes dates (month, day, year).
            if (d.isText()) {
                auto date = Locale("MM/dd/yyyy").recognise(d.text());
                if (!date) throw Failure(3421, "Data type conversion error.");
                return numberText(toSerial(*date));
            }
            return numberText(d.toDouble());
        default: return numberText(d.toDouble());
    }
}

Value parseDefault(const ColumnDef& c, const std::string& lit) {
    if (lit.empty() || equalsNoCase(lit, "NULL")) return Value();
    if (lit.size() >= 2 && lit.front() == '\'') {
        std::string t;
        for (size_t i = 1; i + 1 < lit.size(); ++i) {
            t += lit[i];
            if (lit[i] == '\'' && i + 2 < lit.size() && lit[i + 1] == '\'') ++i;
        }
        return Value(t);
    }
    auto n = readNumber(lit);
    if (!n) return Value(lit);
    switch (c.type) {
        case ColumnType::Currency: return Value(Money::fromTenThousandths(static_cast<int64_t>(*n)));
        case ColumnType::Byte:
        case ColumnType::Integer:
        case ColumnType::Long: return Value(static_cast<int64_t>(*n));
        case ColumnType::YesNo: return Value(*n != 0);
        case ColumnType::Text:
        case ColumnType::Memo: return Value(lit);
        default: return Value(*n);
    }
}
}  // namespace

std::string columnSql(const ColumnDef& c) {
    std::string s = sq::quoteIdent(c.name) + " " + typeSql(c);
    if (c.type == ColumnType::Counter) return s + " PRIMARY KEY AUTOINCREMENT";
    if (c.type == ColumnType::Text || c.type == ColumnType::Memo) s += " COLLATE NOCASE";
    std::string d = defaultLiteral(c);
    if (!d.empty()) s += " DEFAULT " + d;
    return s;
}

std::string createTableSql(const TableDef& t) {
    std::string s = "CREATE TABLE " + sq::quoteIdent(t.name) + " (";
    for (size_t i = 0; i < t.columns.size(); ++i) {
        if (i) s += ", ";
        s += columnSql(t.columns[i]);
    }
    return s + ")";
}

std::string createIndexSql(const std::string& table, const IndexDef& ix) {
    std::string s = ix.unique ? "CREATE UNIQUE INDEX " : "CREATE INDEX ";
    s += sq::quoteIdent(ix.name) + " ON " + sq::quoteIdent(table) + " (";
    for (size_t i = 0; i < ix.columns.size(); ++i) {
        if (i) s += ", ";
        s += sq::quoteIdent(ix.columns[i]);
    }
    return s + ")";
}

bool parseType(const std::string& declared, bool primaryKey, ColumnDef& out) {
    std::string t = asciiUpper(declared);
    std::string base;
    size_t i = 0;
    while (i < t.size() && std::isalpha(static_cast<unsigned char>(t[i]))) base += t[i++];
    int size = 0;
    size_t p = t.find('(');
    if (p != std::string::npos) size = std::atoi(t.c_str() + p + 1);
    if (base == "TEXT") { out.type = ColumnType::Text; out.size = size > 0 ? size : 255; }
    else if (base == "LONGTEXT") out.type = ColumnType::Memo;
    else if (base == "BYTE") out.type = ColumnType::Byte;
    else if (base == "SHORT") out.type = ColumnType::Integer;
    else if (base == "LONG") out.type = ColumnType::Long;
    else if (base == "SINGLE") out.type = ColumnType::Single;
    else if (base == "DOUBLE") out.type = ColumnType::Double;
    else if (base == "CURRENCY") out.type = ColumnType::Currency;
    else if (base == "DATETIME") out.type = ColumnType::DateTime;
    else if (base == "YESNO") out.type = ColumnType::YesNo;
    else if (base == "INTEGER") out.type = primaryKey ? ColumnType::Counter : ColumnType::Long;
    else return false;
    return true;
}

TableDef readTable(sqlite3* db, const std::string& table) {
    TableDef def;
    {
        sq::Stmt s(db, "SELECT name FROM sqlite_master WHERE type='table' AND name=?1 COLLATE NOCASE");
        s.bindText(1, table);
        def.name = s.step() ? s.colText(0) : table;
    }
    sq::Stmt info(db, "PRAGMA table_info(" + sq::quoteIdent(def.name) + ")");
    while (info.step()) {
        ColumnDef c;
        c.name = info.colText(1);
        if (!parseType(info.colText(2), info.colInt(5) != 0, c)) c.type = ColumnType::Memo;
        if (info.colType(4) != SQLITE_NULL) c.defaultValue = parseDefault(c, info.colText(4));
        def.columns.push_back(std::move(c));
    }
    sq::Stmt list(db, "PRAGMA index_list(" + sq::quoteIdent(def.name) + ")");
    while (list.step()) {
        std::string origin = list.colText(3);
        if (origin == "pk") continue;  // the counter column's own key
        IndexDef ix;
        ix.name = list.colText(1);
        ix.unique = list.colInt(2) != 0;
        sq::Stmt cols(db, "PRAGMA index_info(" + sq::quoteIdent(ix.name) + ")");
        while (cols.step()) ix.columns.push_back(cols.colText(2));
        def.indexes.push_back(std::move(ix));
    }
    return def;
}

std::vector<std::string> tableNames(sqlite3* db) {
    std::vector<std::string> names;
    sq::Stmt s(db, "SELECT name FROM sqlite_master WHERE type='table' ORDER BY rowid");
    while (s.step()) {
        std::string n = s.colText(0);
        if (!isInternalTable(n)) names.push_back(n);
    }
    return names;
}

void refreshSchemaCopy(sqlite3* db) {
    sq::exec(db, std::string("CREATE TABLE IF NOT EXISTS ") + kSchemaCopyTable + " (sql LONGTEXT)");
    sq::exec(db, std::string("DELETE FROM ") + kSchemaCopyTable);
    sq::exec(db, std::string("INSERT INTO ") + kSchemaCopyTable +
                     " SELECT sql FROM sqlite_master WHERE sql IS NOT NULL AND name NOT LIKE 'sqlite%' "
                     "AND name NOT LIKE 'velmora%' ORDER BY type DESC, rowid");
}

}  // namespace platform::schema
