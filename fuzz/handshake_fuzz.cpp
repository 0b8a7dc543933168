// Plays arbitrary bytes as the server's side of a login: the greeting, the answers to the
// handshake response (pre-4.1 requests, re-challenges, plugin switches) and the final answer.
// Exceptions are the expected answer to bad input; a crash or a sanitizer report is a bug.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "mysql_client/mysql_session.h"
#include "platform/exceptions.h"
#include "tests/support/memory_vio.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    auto vio = std::make_unique<test_support::MemoryVio>();
    vio->Feed(data + 1, size - 1);
    mysql_client::TMySqlSession session;
    session.net.SetVio(std::move(vio));
    session.charset = data[0] & 1 ? "utf8" : "";
    const std::string_view password = data[0] & 2 ? "secret" : "";
    const std::uint32_t flags = data[0] & 4 ? mysql_client::CLIENT_COMPRESS : 0;
    try {
        session.Handshake("user", password, "db", flags | mysql_client::CLIENT_MULTI_STATEMENTS);
        session.Ping();
    } catch (const platform::Exception&) {
    }
    return 0;
}
