// Speed of the core where a user waits: the analysis run, reading a paste, the likelihood
// table, the evaluation. Run: build with -DKIJUNCHI_BENCH=ON, then ./build/bench/kijunchi_bench
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "analysis/number_text.h"
#include "evaluation/distribution_chart.h"
#include "evaluation/evaluation_text.h"
#include "evaluation/lambda_estimate.h"
#include "evaluation/normality_tests.h"
#include "input/paste_reader.h"
#include "report/analysis_run.h"
#include "transform/power_transform.h"

namespace {

using namespace kijunchi;

class NullReport final : public ReportSink {
public:
    void setStatisticsText(const std::string& text) override {
        benchmark::DoNotOptimize(text.data());
    }
};

// A log-normal column such as a laboratory analyte gives, one value per line.
std::string labColumn(std::size_t count) {
    std::mt19937 engine(7);
    std::lognormal_distribution<double> dist(4.0, 0.3);
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += numberText(std::round(dist(engine) * 10) / 10) + "\r\n";
    return text;
}

void AnalysisRun(benchmark::State& state) {
    AnalysisStore store;
    NullGrid grid;
    ReadPasteBuffer(store, labColumn(static_cast<std::size_t>(state.range(0))), grid);
    NullCanvas canvas;
    NullReport report;
    for (auto _ : state) {
        store.WorkCount = store.DataCount;
        if (runAnalysis(store, canvas, report) != RunStatus::Completed)
            state.SkipWithError("run failed");
    }
}
BENCHMARK(AnalysisRun)->Arg(300)->Arg(5000)->Unit(benchmark::kMicrosecond);

void ReadPaste(benchmark::State& state) {
    const std::string column = labColumn(20000);
    std::string text;
    while (text.size() < static_cast<std::size_t>(state.range(0))) text += column;
    AnalysisStore store;
    NullGrid grid;
    for (auto _ : state) benchmark::DoNotOptimize(ReadPasteBuffer(store, text, grid));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * text.size()));
}
BENCHMARK(ReadPaste)->Arg(1 << 20)->Arg(10 << 20)->Arg(100 << 20)->Unit(benchmark::kMillisecond);

void LikelihoodTable(benchmark::State& state) {
    AnalysisStore store;
    NullGrid grid;
    ReadPasteBuffer(store, labColumn(5000), grid);
    for (auto _ : state) benchmark::DoNotOptimize(likelihoodTable(store));
}
BENCHMARK(LikelihoodTable)->Unit(benchmark::kMillisecond);

// The same log-normal column as numbers.
std::vector<double> labValues(std::size_t count) {
    std::mt19937 engine(7);
    std::lognormal_distribution<double> dist(4.0, 0.3);
    std::vector<double> values;
    for (std::size_t i = 0; i < count; ++i) values.push_back(std::round(dist(engine) * 10) / 10);
    return values;
}

void ShapiroWilk(benchmark::State& state) {
    const auto values = labValues(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(shapiroWilk(values));
}
BENCHMARK(ShapiroWilk)->Arg(5000)->Unit(benchmark::kMicrosecond);

void AndersonDarling(benchmark::State& state) {
    const auto values = labValues(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(andersonDarling(values));
}
BENCHMARK(AndersonDarling)->Arg(5000)->Unit(benchmark::kMicrosecond);

void LambdaOfLargestLikelihood(benchmark::State& state) {
    const auto values = labValues(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) benchmark::DoNotOptimize(estimateLambda(values));
}
BENCHMARK(LambdaOfLargestLikelihood)->Arg(5000)->Unit(benchmark::kMicrosecond);

void ChartModels(benchmark::State& state) {
    ChartInput input;
    input.measured = labValues(static_cast<std::size_t>(state.range(0)));
    for (auto _ : state) {
        benchmark::DoNotOptimize(histogramChart(input));
        benchmark::DoNotOptimize(qqPlot(input));
    }
}
BENCHMARK(ChartModels)->Arg(5000)->Unit(benchmark::kMicrosecond);

// The whole evaluation of an analysed data set as its window shows it: the nonparametric,
// robust (1000 bootstrap resamples) and parametric limits with their intervals, the outlier
// screen with the λ of largest likelihood, the advice and the text.
void evaluationOf(benchmark::State& state, const std::string& column) {
    AnalysisStore store;
    NullGrid grid;
    ReadPasteBuffer(store, column, grid);
    NullCanvas canvas;
    NullReport report;
    if (runAnalysis(store, canvas, report) != RunStatus::Completed)
        state.SkipWithError("run failed");
    for (auto _ : state)
        benchmark::DoNotOptimize(evaluationTextAfterRun(store, RunStatus::Completed));
}

void Evaluation(benchmark::State& state) {
    evaluationOf(state, labColumn(static_cast<std::size_t>(state.range(0))));
}
BENCHMARK(Evaluation)->Arg(240)->Arg(5000)->Unit(benchmark::kMillisecond);

// The same with values at full double precision, all distinct (no laboratory reports them so).
void EvaluationDistinctValues(benchmark::State& state) {
    std::mt19937 engine(7);
    std::lognormal_distribution<double> dist(4.0, 0.3);
    std::string text;
    for (int i = 0; i < state.range(0); ++i) text += numberText(dist(engine)) + "\r\n";
    evaluationOf(state, text);
}
BENCHMARK(EvaluationDistinctValues)->Arg(5000)->Unit(benchmark::kMillisecond);

}  // namespace
