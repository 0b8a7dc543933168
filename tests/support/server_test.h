#pragma once

#include <gtest/gtest.h>

#include "tests/support/test_server.h"

namespace test_support {

// Base of tests that talk to the throwaway MariaDB: skips, saying why, outside the harness.
class ServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        const auto found = TestServer::FromEnvironment();
        if (!found) {
            GTEST_SKIP() << NoTestServerMessage;
        }
        server = *found;
    }

    TestServer server;
};

}  // namespace test_support
