#include <memory>
#include <stdexcept>

#include "bench/bench_client.h"
#include "data_access/cr_props.h"
#include "data_access/mysql/my_connection.h"
#include "data_access/mysql/my_props.h"
#include "data_access/mysql/my_record_set.h"
#include "mysql_client/mysql_api.h"
#include "platform/text_encoding.h"

namespace bench {

namespace {

using mysql_client::PMYSQL;
using mysql_client::PMYSQL_RES;
using mysql_client::PMYSQL_ROW;

struct TCloseSession {
    void operator()(PMYSQL s) const { mysql_client::MyAPIDirect().mysql_close(s); }
};

struct TFreeResult {
    void operator()(PMYSQL_RES r) const { mysql_client::MyAPIDirect().mysql_free_result(r); }
};

using TSession = std::unique_ptr<mysql_client::TMySqlSession, TCloseSession>;
using TResult = std::unique_ptr<mysql_client::TMySqlResultSet, TFreeResult>;

// Everything goes through the facade, the way the data-access layer reads values.
class TOurClient final : public TBenchClient {
public:
    TOurClient(const TServerAddress& address, bool compress)
        : fapi(mysql_client::MyAPIDirect()), fsession(fapi.mysql_init()), faddress(address) {
        fapi.mysql_options(fsession.get(), mysql_client::MYSQL_SET_CHARSET_NAME,
                           std::string("utf8"));
        const std::uint32_t flags = compress ? mysql_client::CLIENT_COMPRESS : 0;
        if (!fapi.mysql_real_connect(fsession.get(), address.Host, address.User, address.Password,
                                     address.Database, address.Port, {}, flags)) {
            Fail("connect");
        }
    }

    void Execute(std::string_view sql) override {
        Query(sql);
        if (TResult result = UseResult()) {
            while (fapi.mysql_fetch_row(result.get())) {
            }
            CheckFetchEnded();
        }
    }

    std::string QueryValue(std::string_view sql) override {
        Query(sql);
        TResult result = UseResult();
        PMYSQL_ROW row = result ? fapi.mysql_fetch_row(result.get()) : nullptr;
        CheckFetchEnded();
        if (!row) {
            throw std::runtime_error("our client: no row from " + std::string(sql));
        }
        return fapi._mysql_fetch_value_str(row, 0);
    }

    TStreamTotals Stream(std::string_view sql) override {
        Query(sql);
        TResult result = UseResult();
        const unsigned columns = fapi.mysql_num_fields(result.get());
        TStreamTotals totals;
        while (PMYSQL_ROW row = fapi.mysql_fetch_row(result.get())) {
            ++totals.Rows;
            for (unsigned column = 0; column < columns; ++column) {
                if (fapi._mysql_fetch_value_is_null(row, column)) {
                    ++totals.Nulls;
                    continue;
                }
                std::uint32_t offset = 0;
                const std::uint8_t* bytes = fapi._mysql_fetch_value_arr(row, column, offset);
                totals.AddValue(bytes + offset, row->Binds[column].Length);
            }
        }
        CheckFetchEnded();
        return totals;
    }

    std::uint64_t RoundTrips(int count) override {
        constexpr std::string_view sql = "SELECT 1";
        std::uint64_t sum = 0;
        for (int i = 0; i < count; ++i) {
            Query(sql);
            TResult result = UseResult();
            while (PMYSQL_ROW row = fapi.mysql_fetch_row(result.get())) {
                std::uint32_t offset = 0;
                sum += fapi._mysql_fetch_value_arr(row, 0, offset)[offset] - '0';
            }
            CheckFetchEnded();
        }
        return sum;
    }

    // The record set the data-access layer opens: FetchAll into the in-memory storage.
    std::uint64_t Store(std::string_view sql) override {
        if (!fconnection.GetConnected()) {
            using namespace data_access;
            using namespace data_access::mysql;
            fconnection.SetProp(prServer, platform::Utf8ToUtf16(faddress.Host));
            fconnection.SetProp(prUsername, platform::Utf8ToUtf16(faddress.User));
            fconnection.SetProp(prPassword, platform::Utf8ToUtf16(faddress.Password));
            fconnection.SetProp(prDatabase, platform::Utf8ToUtf16(faddress.Database));
            fconnection.SetProp(prPort, faddress.Port);
            fconnection.SetProp(prUseUnicode, true);
            fconnection.Connect(u"");
        }
        data_access::mysql::TMySQLRecordset records;
        records.SetConnection(&fconnection);
        records.SetProp(data_access::prFetchAll, true);
        records.SetSQL(platform::Utf8ToUtf16(sql));
        records.Open();
        const std::uint64_t rows = std::uint64_t(records.GetRecordCount());
        records.Close();
        return rows;
    }

private:
    [[noreturn]] void Fail(std::string_view what) {
        throw std::runtime_error("our client: " + std::string(what) + ": " +
                                 fapi.mysql_error(fsession.get()));
    }

    void Query(std::string_view sql) {
        if (fapi.mysql_real_query(fsession.get(), sql.data(), sql.size()) != 0) {
            Fail(sql);
        }
    }

    // Null when the statement has no result set.
    TResult UseResult() {
        TResult result(fapi.mysql_use_result(fsession.get()));
        if (!result && fapi.mysql_errno(fsession.get()) != 0) {
            Fail("use result");
        }
        return result;
    }

    // A fetch that returned no row either reached the end or failed.
    void CheckFetchEnded() {
        if (fapi.mysql_errno(fsession.get()) != 0) {
            Fail("fetch");
        }
    }

    mysql_client::TMySQLAPIDirect& fapi;
    TSession fsession;
    TServerAddress faddress;
    data_access::mysql::TMySQLConnection fconnection;
};

}  // namespace

std::unique_ptr<TBenchClient> ConnectOurClient(const TServerAddress& address, bool compress) {
    return std::make_unique<TOurClient>(address, compress);
}

}  // namespace bench
