#pragma once
// The command line of velmora-store: create, demo and check.
#include <iosfwd>
#include <string>
#include <vector>

namespace storetool {

// Exit status: 0 done (or all sound), 1 refused, failed or damaged, 2 bad usage.
int runStoreTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace storetool
