#pragma once

#include <cstdint>

#include "bench/bench_client.h"

namespace bench {

constexpr std::uint64_t BenchTableRows = 1000000;

// Creates bench_rows in the connection's database and fills it with BenchTableRows varied rows,
// unless it already holds that many.
void EnsureBenchTable(TBenchClient& client);

}  // namespace bench
