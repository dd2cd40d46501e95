// The batch evaluation: files of 50, 100 and 1000 analytes × 5000 rows in 2 groups (2500
// values per analyte and group), its time and its peak heap against the file's numbers as
// doubles. Run: build with -DKIJUNCHI_BENCH=ON, then ./build/bench/kijunchi_batch_bench; the
// comparison with the code before and with an R loop is bench/batch_compare.sh.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <new>
#include <random>
#include <string>

#include "analysis/number_text.h"
#include "study/batch.h"
#include "study/batch_evaluation.h"
#include "study/table_stream.h"

// Every allocation of the program is counted, so that the batch's peak heap use can be read
// off; the counters cost a few atomic additions per allocation.
namespace {
std::atomic<std::size_t> liveBytes{0};
std::atomic<std::size_t> peakBytes{0};
}  // namespace

// The size of a block comes from the allocator itself, so no header is added to it; the
// operators stay out of line so that the compiler never pairs a new with the free inside.
[[gnu::noinline]] void* operator new(std::size_t size) {
    void* p = std::malloc(size == 0 ? 1 : size);
    if (!p) throw std::bad_alloc();
    const std::size_t now = liveBytes += malloc_usable_size(p);
    std::size_t peak = peakBytes.load();
    while (now > peak && !peakBytes.compare_exchange_weak(peak, now)) {
    }
    return p;
}
[[gnu::noinline]] void operator delete(void* p) noexcept {
    if (!p) return;
    liveBytes -= malloc_usable_size(p);
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    operator delete(p);
}

namespace {

using namespace kijunchi;

// A laboratory export: a group column and `analytes` log-normal analytes, `rows` rows.
std::string writeFile(int analytes, int rows) {
    const auto path = std::filesystem::temp_directory_path() /
                      ("kijunchi-batch-bench-" + std::to_string(getpid()) + "-" +
                       std::to_string(analytes) + ".csv");
    std::ofstream out(path, std::ios::binary);
    std::mt19937 engine(11);
    out << "sex";
    for (int a = 0; a < analytes; ++a) out << ",A" << a;
    out << "\r\n";
    for (int r = 0; r < rows; ++r) {
        const bool man = r % 2;
        out << (man ? "M" : "F");
        for (int a = 0; a < analytes; ++a) {
            // The 50 levels repeat: every column's values have a laboratory's few digits.
            std::lognormal_distribution<double> dist(2.0 + 0.02 * (a % 50) + (man ? 0.1 : 0.0),
                                                     0.2);
            out << "," << numberText(std::round(dist(engine) * 100) / 100);
        }
        out << "\r\n";
    }
    return path.string();
}

void Batch(benchmark::State& state) {
    const int analytes = static_cast<int>(state.range(0));
    const std::string path = writeFile(analytes, 5000);
    std::string problem;
    auto table = TableStream::open(path, problem);
    if (!table) {
        state.SkipWithError(problem.c_str());
        return;
    }
    std::size_t rows = 0;
    std::size_t peak = 0;
    for (auto _ : state) {
        const std::size_t before = liveBytes.load();
        peakBytes = before;
        BatchOptions options;
        options.groupColumn = 0;
        options.threads = static_cast<int>(state.range(1));
        rows = 0;
        runBatch(*table, options, makeBatchEvaluator, [&](const BatchRow& r) {
            benchmark::DoNotOptimize(r.npLower);
            ++rows;
        });
        peak = peakBytes.load() - before;
    }
    const double doubles = static_cast<double>(analytes) * 5000 * sizeof(double);
    state.counters["rows"] = static_cast<double>(rows);
    state.counters["peak_heap_MB"] = static_cast<double>(peak) / (1024.0 * 1024.0);
    state.counters["doubles_MB"] = doubles / (1024.0 * 1024.0);
    state.counters["peak_per_doubles"] = static_cast<double>(peak) / doubles;
    std::filesystem::remove(path);
}
// Analytes and threads (0: as many as the machine runs): the time and the peak heap grow with
// the analytes, the rows come out the same on any number of threads.
BENCHMARK(Batch)
    ->ArgsProduct({{50, 100, 1000}, {0}})
    ->Args({50, 1})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
