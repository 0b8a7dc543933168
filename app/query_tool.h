#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace app {

// vx26-query: runs one statement with the service's connection settings (or those the options
// give) and prints what the service reads: a line of field names, then a line per row with each
// field's value text, separated by tabs. Returns the exit status: 0, or 1 after printing an
// error to err.
int RunQueryTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace app
