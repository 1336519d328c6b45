#pragma once
// The store's twelve databases as a unit: their layout, creating an empty
// store, and checking that every database can be read through the engine.
// Everything goes through the program's own engine, so the tool exercises the
// same code the program runs.
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/dates.h"
#include "platform/drives.h"
#include "platform/engine/engine.h"

namespace storetool {

struct DatabaseDef {
    std::string file;           // "cusfile.mdb"
    platform::TableDef table;   // its Table1
};

// The twelve databases in the order the recovery pass repairs them.
std::vector<DatabaseDef> storeDatabases(bool withCreditBureauColumns);
std::vector<std::string> storeFileNames();

// A failure of the tool itself (refusal, bad directory), as opposed to an
// engine failure.
class StoreError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The engine over one data directory, mapped as drive M.
class Store {
public:
    explicit Store(const std::filesystem::path& dir);
    ~Store();
    platform::Engine& engine() { return *engine_; }
    const platform::DriveMap& drives() const { return drives_; }
    const std::filesystem::path& dir() const { return dir_; }
    static std::string programPath(std::string_view file);  // "M:\cusfile.mdb"

private:
    std::filesystem::path dir_;
    platform::DriveMap drives_;
    platform::Locale locale_;
    std::unique_ptr<platform::Engine> engine_;  // holds references to drives_ and locale_
};

// The data directory when none is given: drive M of the drive map.
std::filesystem::path defaultDataDirectory();

// Creates `dir` when missing and the twelve databases with empty tables.
// Refuses (StoreError, nothing touched) when any of the twelve exists. On a
// failure part-way the databases made so far are removed again.
void createStore(Store& store, bool withCreditBureauColumns);
// Removes the twelve database files (after a failed fill of a new store).
void removeStoreFiles(Store& store);

struct TableCount {
    std::string table;
    long long rows = 0;
};

struct CheckLine {
    std::string file;
    std::vector<TableCount> tables;
    bool sound = false;
    std::string problem;  // why it is damaged
};

// One line per database: sound when it opens and every row of every table
// reads through the engine.
std::vector<CheckLine> checkStore(Store& store);
// Checks of the settings files, to be filled in by the settings readers.
std::vector<CheckLine> checkSettings(Store& store);

}  // namespace storetool
