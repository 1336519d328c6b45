#pragma once
// Repair and compaction of SQLite database files. Both write a fresh file
// beside the target, sync it and rename it over the target, so a crash at any
// moment leaves the old file or the new one. Both need the database closed
// everywhere (the exclusive lock of its lock file).
#include <filesystem>
#include <string>

#include "platform/engine/engine.h"

namespace platform::repair {

// Reads the file's header directly: only while the file's exclusive use is
// held (no handle of it is open in this process, whose library locks a close
// of the descriptor would drop).
bool looksLikeDatabase(const std::filesystem::path& host);

// A sound file is rebuilt (same tables, columns, declared types, defaults,
// indexes, all rows). A damaged one has every readable row salvaged into a
// fresh file with the same schema; the damaged original is kept beside it.
// Rows breaking a unique index are moved to a table "<name>_conflicts".
// 3024 missing, 3343 not a database (untouched), 3045 open elsewhere.
RepairReport repairInPlace(const std::filesystem::path& host, const std::string& shown);

// A compacted copy of a sound source at `destination` (must not exist).
void compactInto(const std::filesystem::path& source, const std::string& shownSource,
                 const std::filesystem::path& destination, const std::string& shownDestination);

}  // namespace platform::repair
