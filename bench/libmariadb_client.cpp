#include <mysql.h>

#include <charconv>
#include <chrono>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

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

// One stored row of bench_rows, converted as an application would do it by hand.
struct TStoredRow {
    std::int32_t Id = 0;
    std::optional<std::int64_t> Amount;
    std::u16string Title;
    double Price = 0;
    double Created = 0;  // days since 1899-12-30, the time as the fraction
    std::optional<double> Ratio;
};

template <typename T>
T Number(const char* text, unsigned long length) {
    T value{};
    std::from_chars(text, text + length, value);
    return value;
}

std::u16string Utf16(const char* text, unsigned long length) {
    std::u16string out;
    out.reserve(length);
    for (unsigned long i = 0; i < length;) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80 ? 0 : lead < 0xE0 ? 1 : lead < 0xF0 ? 2 : 3;
        char32_t code = extra == 0 ? lead : lead & (0x3F >> extra);
        for (int k = 1; k <= extra && i + k < length; ++k) {
            code = code << 6 | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        i += extra + 1;
        if (code >= 0x10000) {
            out += char16_t(0xD800 + ((code - 0x10000) >> 10));
            out += char16_t(0xDC00 + (code & 0x3FF));
        } else {
            out += char16_t(code);
        }
    }
    return out;
}

// "YYYY-MM-DD hh:mm:ss" as days since 1899-12-30 with the time as the fraction.
double DateTime(const char* text) {
    using namespace std::chrono;
    const year_month_day date{year(Number<int>(text, 4)), month(Number<unsigned>(text + 5, 2)),
                              day(Number<unsigned>(text + 8, 2))};
    const int days = (sys_days(date) - sys_days(1899y / December / 30)).count();
    const int seconds = Number<int>(text + 11, 2) * 3600 + Number<int>(text + 14, 2) * 60 +
                        Number<int>(text + 17, 2);
    return days + seconds / 86400.0;
}

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

    // The whole result with mysql_store_result, then every value converted into a row struct.
    std::uint64_t Store(std::string_view sql) override {
        Query(sql);
        TResult result(mysql_store_result(fmysql.get()));
        if (!result) {
            Fail("store result");
        }
        std::vector<TStoredRow> rows;
        rows.reserve(mysql_num_rows(result.get()));
        while (MYSQL_ROW row = mysql_fetch_row(result.get())) {
            const unsigned long* lengths = mysql_fetch_lengths(result.get());
            TStoredRow& stored = rows.emplace_back();
            stored.Id = Number<std::int32_t>(row[0], lengths[0]);
            if (row[1]) {
                stored.Amount = Number<std::int64_t>(row[1], lengths[1]);
            }
            stored.Title = Utf16(row[2], lengths[2]);
            stored.Price = Number<double>(row[3], lengths[3]);
            stored.Created = DateTime(row[4]);
            if (row[5]) {
                stored.Ratio = Number<double>(row[5], lengths[5]);
            }
        }
        return rows.size();
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
