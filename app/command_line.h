#pragma once

#include <map>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

namespace app {

// A mistake in the command line, said in the message.
class EUsage : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command line of "--name value" or "--name=value" options, a "--help" switch and plain
// arguments.
struct TCommandLine {
    std::map<std::string, std::string> Options;
    std::vector<std::string> Arguments;
    bool Help = false;

    // Raises EUsage for an option not among known (names with their "--"), and one without a
    // value.
    static TCommandLine Parse(const std::vector<std::string>& args,
                              const std::set<std::string>& known);
    // The option's value, or fallback when it was not given.
    std::string Value(const std::string& name, const std::string& fallback) const;
    // A TCP port, 0 to 65535; raises EUsage "invalid port: <text>" (for --port).
    int Port(const std::string& name, int fallback) const;
    // A number of seconds, 0 to a year; raises EUsage "invalid command timeout: <text>" (for
    // --command-timeout).
    int Seconds(const std::string& name, int fallback) const;

private:
    // The option's whole text as a decimal number from low to high; EUsage "invalid <the name
    // without its dashes>: <text>" otherwise.
    int Number(const std::string& name, int fallback, int low, int high) const;
};

}  // namespace app
