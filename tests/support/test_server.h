#pragma once

#include <optional>
#include <string>

namespace test_support {

// The throwaway MariaDB that scripts/mariadb-sandbox starts, as its environment describes it.
struct TestServer {
    std::string host;
    int port = 0;
    // root@127.0.0.1 with an empty password (mysql_native_password).
    std::string user;
    // An account with a password, for scramble tests.
    std::string passwordUser;
    std::string password;
    // A database the tests may fill.
    std::string database;

    // Nothing when the tests run outside the harness.
    static std::optional<TestServer> FromEnvironment();
};

inline constexpr const char* NoTestServerMessage =
    "no test server: run the suite through scripts/test, or export the variables printed by "
    "'scripts/mariadb-sandbox env'";

}  // namespace test_support
