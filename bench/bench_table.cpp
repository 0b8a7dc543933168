#include "bench/bench_table.h"

#include <cstdio>
#include <string>

namespace bench {

namespace {

constexpr std::string_view CreateTable = R"sql(
CREATE TABLE IF NOT EXISTS bench_rows (
    id INT NOT NULL PRIMARY KEY,
    amount BIGINT NULL,
    title VARCHAR(64) CHARACTER SET utf8mb4 NOT NULL,
    price DECIMAL(12,2) NOT NULL,
    created DATETIME NOT NULL,
    ratio DOUBLE NULL
) ENGINE=InnoDB)sql";

// Generated server-side from the sequence engine: far faster than sending a million rows.
// Some values are NULL, and text and numbers vary in length. The sequence's end is appended.
constexpr std::string_view FillTable = R"sql(
INSERT INTO bench_rows
SELECT seq,
       IF(seq % 17 = 0, NULL,
          CAST(seq * 2654435761 % 1000000007 AS SIGNED) * 9973 - 5000000000000),
       LEFT(CONCAT(ELT(1 + seq % 6, 'Борщ украинский', 'Пельмени домашние', 'Салат оливье',
                       'Чай с лимоном', 'Котлета по-киевски', 'Блины со сметаной'),
                   ' №', seq, ' ', REPEAT('ж', seq % 23)), 64),
       (seq * 7919 % 100000000) / 100,
       TIMESTAMP'2024-01-01 00:00:00' + INTERVAL seq * 37 SECOND,
       IF(seq % 11 = 0, NULL, SIN(seq) * POW(10, seq % 9))
FROM seq_1_to_)sql";

}  // namespace

void EnsureBenchTable(TBenchClient& client) {
    client.Execute(CreateTable);
    if (client.QueryValue("SELECT COUNT(*) FROM bench_rows") == std::to_string(BenchTableRows)) {
        return;
    }
    std::printf("filling bench_rows with %llu rows...\n", (unsigned long long)BenchTableRows);
    std::fflush(stdout);
    client.Execute("TRUNCATE TABLE bench_rows");
    client.Execute(std::string(FillTable) + std::to_string(BenchTableRows));
}

}  // namespace bench
