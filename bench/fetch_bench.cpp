// Compares our client's CPU cost with libmariadb's: streaming a million rows, plain and
// compressed, many small round trips, and keeping a million rows in memory with every value
// converted (our record set against libmariadb's stored result and hand conversion). The clients
// alternate within each round so that both meet the same server and network conditions; the report
// gives medians over the rounds.
//
// Reads TEST_MYSQL_HOST, TEST_MYSQL_PORT, TEST_MYSQL_USER and TEST_MYSQL_DATABASE (the user has
// no password). For a reduced run under a profiler: FETCH_BENCH_ROUNDS, FETCH_BENCH_ROWS and
// FETCH_BENCH_ROUND_TRIPS.

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bench/bench_client.h"
#include "bench/bench_table.h"
#include "bench/measure.h"

namespace bench {

namespace {

constexpr int Ours = 0;
constexpr int Theirs = 1;
constexpr std::array<const char*, 2> ClientNames = {"our client", "libmariadb"};

// Slices of the round trips per round: many short turns, each still long against the clock's
// resolution.
constexpr long RoundTripSlices = 20;

struct TOptions {
    long Rounds = 5;
    long Rows = long(BenchTableRows);
    long RoundTrips = 20000;
};

std::string RequiredEnv(const char* name) {
    const char* value = std::getenv(name);
    if (!value || !*value) {
        throw std::runtime_error(std::string(name) +
                                 " is not set: run scripts/bench, or start scripts/mariadb-sandbox "
                                 "and eval its env");
    }
    return value;
}

long PositiveEnv(const char* name, long fallback) {
    const char* value = std::getenv(name);
    if (!value || !*value) {
        return fallback;
    }
    const long parsed = std::strtol(value, nullptr, 10);
    if (parsed <= 0) {
        throw std::runtime_error(std::string(name) + " must be a positive number");
    }
    return parsed;
}

TOptions ReadOptions() {
    TOptions options;
    options.Rounds = PositiveEnv("FETCH_BENCH_ROUNDS", options.Rounds);
    options.Rows = std::min(PositiveEnv("FETCH_BENCH_ROWS", options.Rows), options.Rows);
    options.RoundTrips = PositiveEnv("FETCH_BENCH_ROUND_TRIPS", options.RoundTrips);
    return options;
}

TServerAddress ReadAddress() {
    TServerAddress address;
    address.Host = RequiredEnv("TEST_MYSQL_HOST");
    address.Port = std::stoi(RequiredEnv("TEST_MYSQL_PORT"));
    address.User = RequiredEnv("TEST_MYSQL_USER");
    address.Database = RequiredEnv("TEST_MYSQL_DATABASE");
    return address;
}

// A compressed workload that silently ran uncompressed would measure the wrong thing.
void RequireCompression(TBenchClient& client, const char* name) {
    const std::string state = client.QueryValue(
        "SELECT VARIABLE_VALUE FROM information_schema.SESSION_STATUS "
        "WHERE VARIABLE_NAME = 'COMPRESSION'");
    if (state != "ON") {
        throw std::runtime_error(
            std::string(name) + ": compression was asked for but the connection is not compressed");
    }
}

// Every stream of the run must see what the first one saw.
class TStreamCheck {
public:
    explicit TStreamCheck(std::uint64_t rows) : frows(rows) {}

    void Check(const TStreamTotals& totals, const std::string& who) {
        if (totals.Rows != frows) {
            throw std::runtime_error(who + " streamed " + std::to_string(totals.Rows) +
                                     " rows instead of " + std::to_string(frows));
        }
        if (!ffirst) {
            ffirst = totals;
            ffirstWho = who;
        } else if (!(totals == *ffirst)) {
            throw std::runtime_error("checksums differ: " + who + " saw " + Describe(totals) +
                                     ", " + ffirstWho + " saw " + Describe(*ffirst));
        }
    }

private:
    static std::string Describe(const TStreamTotals& t) {
        return "rows=" + std::to_string(t.Rows) + " nulls=" + std::to_string(t.Nulls) +
               " bytes=" + std::to_string(t.Bytes) + " checksum=" + std::to_string(t.Checksum);
    }

    std::uint64_t frows;
    std::optional<TStreamTotals> ffirst;
    std::string ffirstWho;
};

struct TWorkload {
    std::string Name;
    // Indexed by Ours and Theirs.
    std::array<TBenchClient*, 2> Clients;
    // A round's work comes in slices and the clients take turns slice by slice, so that short
    // swings of the server's latency hit both alike.
    int Slices;
    std::function<void(TBenchClient&, const std::string& who, int slice)> Run;
    std::array<std::vector<TSample>, 2> Samples{};

    double MedianCpu(int client) const { return Median(Column(client, &TSample::Cpu)); }
    double MedianWall(int client) const { return Median(Column(client, &TSample::Wall)); }
    double CpuRatio() const { return MedianCpu(Ours) / MedianCpu(Theirs); }

private:
    std::vector<double> Column(int client, double TSample::*member) const {
        std::vector<double> values;
        for (const TSample& sample : Samples[client]) {
            values.push_back(sample.*member);
        }
        return values;
    }
};

void PrintSample(long round, const TWorkload& workload, int client) {
    const TSample& sample = workload.Samples[client].back();
    std::printf("round %ld  %-26s %-10s  cpu %9.1f ms  wall %9.1f ms\n", round,
                workload.Name.c_str(), ClientNames[client], sample.Cpu * 1e3, sample.Wall * 1e3);
    std::fflush(stdout);
}

void PrintReport(const std::vector<TWorkload>& workloads, long rounds) {
    std::printf("\nmedians of %ld rounds (CPU: the benchmark thread's CPU time)\n", rounds);
    std::printf("%-26s %12s %15s %7s %12s %16s\n", "workload", "our CPU", "libmariadb CPU", "ratio",
                "our wall", "libmariadb wall");
    for (const TWorkload& w : workloads) {
        std::printf("%-26s %9.1f ms %12.1f ms %7.2f %9.1f ms %13.1f ms\n", w.Name.c_str(),
                    w.MedianCpu(Ours) * 1e3, w.MedianCpu(Theirs) * 1e3, w.CpuRatio(),
                    w.MedianWall(Ours) * 1e3, w.MedianWall(Theirs) * 1e3);
    }
}

int Run() {
    const TServerAddress address = ReadAddress();
    const TOptions options = ReadOptions();

    const std::unique_ptr<TBenchClient> ours = ConnectOurClient(address, false);
    const std::unique_ptr<TBenchClient> theirs = ConnectLibmariadb(address, false);
    const std::unique_ptr<TBenchClient> oursCompressed = ConnectOurClient(address, true);
    const std::unique_ptr<TBenchClient> theirsCompressed = ConnectLibmariadb(address, true);
    RequireCompression(*oursCompressed, ClientNames[Ours]);
    RequireCompression(*theirsCompressed, ClientNames[Theirs]);
    std::printf("server %s, libmariadb %s\n", ours->QueryValue("SELECT VERSION()").c_str(),
                LibmariadbVersion().c_str());
    EnsureBenchTable(*ours);

    std::string select = "SELECT * FROM bench_rows";
    if (options.Rows < long(BenchTableRows)) {
        select += " LIMIT " + std::to_string(options.Rows);
    }
    TStreamCheck streamCheck(std::uint64_t(options.Rows));
    const auto stream = [&](TBenchClient& client, const std::string& who, int) {
        streamCheck.Check(client.Stream(select), who);
    };
    const int roundTripSlices = int(std::min(RoundTripSlices, options.RoundTrips));
    const auto roundTrips = [&](TBenchClient& client, const std::string& who, int slice) {
        const long count = options.RoundTrips * (slice + 1) / roundTripSlices -
                           options.RoundTrips * slice / roundTripSlices;
        if (client.RoundTrips(int(count)) != std::uint64_t(count)) {
            throw std::runtime_error(who + ": SELECT 1 did not return 1 every time");
        }
    };
    const auto store = [&](TBenchClient& client, const std::string& who, int) {
        if (client.Store(select) != std::uint64_t(options.Rows)) {
            throw std::runtime_error(who + ": did not keep every row");
        }
    };
    const std::string rows = std::to_string(options.Rows);
    std::vector<TWorkload> workloads = {
        {"streaming " + rows + " rows", {ours.get(), theirs.get()}, 1, stream},
        {"SELECT 1 x " + std::to_string(options.RoundTrips),
         {ours.get(), theirs.get()},
         roundTripSlices,
         roundTrips},
        {"compressed " + rows + " rows", {oursCompressed.get(), theirsCompressed.get()}, 1, stream},
        {"store " + rows + " rows", {ours.get(), theirs.get()}, 1, store},
    };

    for (long round = 1; round <= options.Rounds; ++round) {
        for (TWorkload& workload : workloads) {
            std::array<TSample, 2> sums{};
            for (int slice = 0; slice < workload.Slices; ++slice) {
                // Who goes first alternates, so that neither always meets a warmer or a busier
                // server.
                const std::array<int, 2> order = (round + slice) % 2
                                                     ? std::array<int, 2>{Ours, Theirs}
                                                     : std::array<int, 2>{Theirs, Ours};
                for (const int client : order) {
                    const std::string who = std::string(ClientNames[client]) + ", " + workload.Name;
                    const TSample sample =
                        Measure([&] { workload.Run(*workload.Clients[client], who, slice); });
                    sums[client].Cpu += sample.Cpu;
                    sums[client].Wall += sample.Wall;
                }
            }
            for (const int client : {Ours, Theirs}) {
                workload.Samples[client].push_back(sums[client]);
                PrintSample(round, workload, client);
            }
        }
    }

    PrintReport(workloads, options.Rounds);
    std::printf("fetch_ratio=%.2f roundtrip_ratio=%.2f compressed_ratio=%.2f store_ratio=%.2f\n",
                workloads[0].CpuRatio(), workloads[1].CpuRatio(), workloads[2].CpuRatio(),
                workloads[3].CpuRatio());
    return 0;
}

}  // namespace

}  // namespace bench

int main() {
    try {
        return bench::Run();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "fetch_bench: %s\n", e.what());
        return 1;
    }
}
