#include "tests/support/test_server.h"

#include <cstdlib>

namespace test_support {

namespace {

std::string Variable(const char* name, const char* fallback) {
    const char* value = std::getenv(name);
    return value ? value : fallback;
}

}  // namespace

std::optional<TestServer> TestServer::FromEnvironment() {
    const char* host = std::getenv("TEST_MYSQL_HOST");
    const char* port = std::getenv("TEST_MYSQL_PORT");
    if (!host || !port) {
        return std::nullopt;
    }
    TestServer server;
    server.host = host;
    server.port = std::atoi(port);
    server.user = Variable("TEST_MYSQL_USER", "root");
    server.passwordUser = Variable("TEST_MYSQL_PASSWORD_USER", "scramble");
    server.password = Variable("TEST_MYSQL_PASSWORD", "");
    server.database = Variable("TEST_MYSQL_DATABASE", "vx26_test");
    return server;
}

}  // namespace test_support
