#include "app/command_line.h"

#include <algorithm>
#include <charconv>

namespace app {

TCommandLine TCommandLine::Parse(const std::vector<std::string>& args,
                                 const std::set<std::string>& known) {
    TCommandLine result;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string arg = args[i];
        if (arg == "--help") {
            result.Help = true;
            continue;
        }
        if (!arg.starts_with("--")) {
            result.Arguments.push_back(arg);
            continue;
        }
        std::string value;
        if (const std::size_t equals = arg.find('='); equals != std::string::npos) {
            value = arg.substr(equals + 1);
            arg.resize(equals);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else if (known.contains(arg)) {
            throw EUsage(arg + " needs a value");
        }
        if (!known.contains(arg)) {
            throw EUsage("unknown option " + arg);
        }
        result.Options[arg] = value;
    }
    return result;
}

std::string TCommandLine::Value(const std::string& name, const std::string& fallback) const {
    const auto found = Options.find(name);
    return found == Options.end() ? fallback : found->second;
}

int TCommandLine::Number(const std::string& name, int fallback, int low, int high) const {
    const auto found = Options.find(name);
    if (found == Options.end()) {
        return fallback;
    }
    const std::string& text = found->second;
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < low || value > high) {
        std::string what = name.substr(2);
        std::replace(what.begin(), what.end(), '-', ' ');
        throw EUsage("invalid " + what + ": " + text);
    }
    return value;
}

int TCommandLine::Port(const std::string& name, int fallback) const {
    return Number(name, fallback, 0, 65535);
}

int TCommandLine::Seconds(const std::string& name, int fallback) const {
    // A year: what the protocol client takes for no limit.
    return Number(name, fallback, 0, 31536000);
}

}  // namespace app
