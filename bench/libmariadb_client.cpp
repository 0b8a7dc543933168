#include <mysql.h>

#include <memory>
#include <stdexcept>

#include "bench/bench_client.h"

namespace bench {

namespace {

struct TCloseConnection {
    void operator()(MYSQL* m) const { mysql_close(m); }
};

struct TFreeResult {
    void operator()(MYSQL_RES* r) const { mysql_free_result(r); }
};

using TConnection = std::unique_ptr<MYSQL, TCloseConnection>;
using TResult = std::unique_ptr<MYSQL_RES, TFreeResult>;

class TLibmariadbClient final : public TBenchClient {
public:
    TLibmariadbClient(const TServerAddress& address, bool compress) : fmysql(mysql_init(nullptr)) {
        if (!fmysql) {
            throw std::runtime_error("libmariadb: mysql_init failed");
        }
        mysql_options(fmysql.get(), MYSQL_SET_CHARSET_NAME, "utf8");
        if (compress) {
            mysql_options(fmysql.get(), MYSQL_OPT_COMPRESS, nullptr);
        }
        if (!mysql_real_connect(fmysql.get(), address.Host.c_str(), address.User.c_str(),
                                address.Password.c_str(), address.Database.c_str(),
                                unsigned(address.Port), nullptr, 0)) {
            Fail("connect");
        }
        // Encryption would load this side with work the other side does not do.
        if (mysql_get_ssl_cipher(fmysql.get())) {
            throw std::runtime_error("libmariadb: the connection is encrypted");
        }
    }

    void Execute(std::string_view sql) override {
        Query(sql);
        if (TResult result = UseResult()) {
            while (mysql_fetch_row(result.get())) {
            }
            CheckFetchEnded();
        }
    }

    std::string QueryValue(std::string_view sql) override {
        Query(sql);
        TResult result = UseResult();
        MYSQL_ROW row = result ? mysql_fetch_row(result.get()) : nullptr;
        CheckFetchEnded();
        if (!row) {
            throw std::runtime_error("libmariadb: no row from " + std::string(sql));
        }
        return std::string(row[0] ? row[0] : "", mysql_fetch_lengths(result.get())[0]);
    }

    TStreamTotals Stream(std::string_view sql) override {
        Query(sql);
        TResult result = UseResult();
        const unsigned columns = mysql_num_fields(result.get());
        TStreamTotals totals;
        while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
            ++totals.Rows;
            const unsigned long* lengths = mysql_fetch_lengths(result.get());
            for (unsigned column = 0; column < columns; ++column) {
                if (!row[column]) {
                    ++totals.Nulls;
                    continue;
                }
                totals.AddValue(reinterpret_cast<const std::uint8_t*>(row[column]),
                                lengths[column]);
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
            while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
                sum += row[0][0] - '0';
            }
            CheckFetchEnded();
        }
        return sum;
    }

private:
    [[noreturn]] void Fail(std::string_view what) {
        throw std::runtime_error("libmariadb: " + std::string(what) + ": " +
                                 mysql_error(fmysql.get()));
    }

    void Query(std::string_view sql) {
        if (mysql_real_query(fmysql.get(), sql.data(), sql.size()) != 0) {
            Fail(sql);
        }
    }

    // Null when the statement has no result set.
    TResult UseResult() {
        TResult result(mysql_use_result(fmysql.get()));
        if (!result && mysql_errno(fmysql.get()) != 0) {
            Fail("use result");
        }
        return result;
    }

    // A fetch that returned no row either reached the end or failed.
    void CheckFetchEnded() {
        if (mysql_errno(fmysql.get()) != 0) {
            Fail("fetch");
        }
    }

    TConnection fmysql;
};

}  // namespace

std::unique_ptr<TBenchClient> ConnectLibmariadb(const TServerAddress& address, bool compress) {
    return std::make_unique<TLibmariadbClient>(address, compress);
}

std::string LibmariadbVersion() {
    return mysql_get_client_info();
}

}  // namespace bench
