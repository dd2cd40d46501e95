// Opening a 10 MB workbook (5000 rows × 20 columns) up to its list of columns: the archive
// inflated, the shared strings, styles and sheet parsed, every column counted. The peak
// resident memory of the process is reported beside the time.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <filesystem>

#include "files/table_file.h"
#include "lab_workbook.h"

namespace {

using namespace kijunchi;

void ReadWorkbookToColumns(benchmark::State& state) {
    const std::string path = bench::writeLabWorkbook();
    for (auto _ : state) {
        TableFileRead read = readTableFile(path);
        if (read.read.file.columns.size() != 20) state.SkipWithError("not 20 columns");
        benchmark::DoNotOptimize(read);
    }
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["MB"] = static_cast<double>(std::filesystem::file_size(path)) / 1e6;
    state.counters["peakRSS_MB"] = static_cast<double>(usage.ru_maxrss) / 1024.0;
    std::filesystem::remove(path);
}
BENCHMARK(ReadWorkbookToColumns)->Unit(benchmark::kMillisecond);

}  // namespace
