#pragma once

#include <exception>
#include <string>

namespace test_support {

// The message of the Error the call raises, or "(nothing)" when it raises none; any other
// exception passes through to fail the test.
template <typename Error = std::exception, typename Call>
std::string RaisedMessage(Call&& call) {
    try {
        call();
    } catch (const Error& error) {
        return error.what();
    }
    return "(nothing)";
}

}  // namespace test_support
