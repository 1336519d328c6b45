#pragma once
// How the engine's column types, defaults and indexes are recorded in a
// SQLite schema, and read back from it.
#include <sqlite3.h>

#include <string>

#include "platform/engine/engine.h"

namespace platform::schema {

// Tables of the engine's own, hidden from callers.
bool isInternalTable(std::string_view name);
extern const char* const kSchemaCopyTable;  // velmora_schema(sql): a copy for salvage

std::string typeSql(const ColumnDef& c);
std::string columnSql(const ColumnDef& c);
std::string createTableSql(const TableDef& t);
std::string createIndexSql(const std::string& table, const IndexDef& ix);
// Parses a declared type ("TEXT(10)", "CURRENCY", ...); false when unknown.
bool parseType(const std::string& declared, bool primaryKey, ColumnDef& out);
// Reads a table's definition (columns in order, indexes).
TableDef readTable(sqlite3* db, const std::string& table);
std::vector<std::string> tableNames(sqlite3* db);
// Keeps velmora_schema in step with sqlite_master.
void refreshSchemaCopy(sqlite3* db);

}  // namespace platform::schema
