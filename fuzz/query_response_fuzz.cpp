// Plays arbitrary bytes as the server's answer to a query: OK packets, local-file requests,
// result set headers, column definitions, rows and end packets, read through the facade the
// provider uses, every value touched. Exceptions and error codes are the expected answer to bad
// input; a crash or a sanitizer report is a bug.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "mysql_client/mysql_api.h"
#include "platform/exceptions.h"
#include "tests/support/memory_vio.h"

namespace {

using namespace mysql_client;

void ReadEveryResult(TMySQLAPIDirect& api, PMYSQL s) {
    for (int result = 0; result < 8; ++result) {
        if (PMYSQL_RES r = api.mysql_use_result(s)) {
            for (int row = 0; row < 256; ++row) {
                PMYSQL_ROW w = api.mysql_fetch_row(r);
                if (!w) {
                    break;
                }
                for (unsigned i = 0; i < api.mysql_num_fields(r); ++i) {
                    if (!api._mysql_fetch_value_is_null(w, i)) {
                        volatile std::size_t length = api._mysql_fetch_value_str(w, i).size();
                        (void)length;
                    }
                }
            }
            TMYSQL_FIELD field;
            for (unsigned i = 0; i < api.mysql_num_fields(r); ++i) {
                api._mysql_fetch_field_direct(r, i, field, true);
            }
            api.mysql_free_result(r);
        }
        if (api.mysql_next_result(s) != 0) {
            break;
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 1) {
        return 0;
    }
    TMySQLAPIDirect& api = MyAPIDirect();
    PMYSQL s = api.mysql_init();
    auto vio = std::make_unique<test_support::MemoryVio>();
    vio->Feed(data + 1, size - 1);
    s->net.SetVio(std::move(vio));
    // The first byte chooses what the server said it can do at the login.
    s->serverCapabilities = (data[0] & 1 ? CLIENT_PROTOCOL_41 : 0) |
                            (data[0] & 2 ? CLIENT_LONG_FLAG : 0) |
                            (data[0] & 4 ? CLIENT_TRANSACTIONS : 0);
    s->FclientFlag = CLIENT_PROTOCOL_41;
    s->net.SetCompress(data[0] & 8);
    s->FSkipPacket = data[0] & 16;
    try {
        if (api.mysql_real_query(s, "SELECT 1", 8) == 0) {
            ReadEveryResult(api, s);
        }
    } catch (const platform::Exception&) {
    }
    api.mysql_close(s);
    return 0;
}
