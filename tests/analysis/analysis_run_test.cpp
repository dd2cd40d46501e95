#include "analysis/analysis_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "analysis/store.h"
#include "support/data_set.h"
#include "support/recording_report.h"
#include "support/recording_canvas.h"

namespace kijunchi {
namespace {

using testing::load;

constexpr double kUntouched = -777;  // a result the run has not written

// The moment statistics in the order the run writes them, then results of later steps.
using S = AnalysisStore;
double S::*const kResults[] = {
    &S::MinValue,   &S::MaxValue,      &S::MeanValue,     &S::VarianceValue,
    &S::SDValue,    &S::SkewnessValue, &S::KurtosisValue, &S::SkewTestZ,
    &S::KurtTestZ,  &S::MedianValue,   &S::Pct025,        &S::Pct975,
    &S::ParamLower, &S::ParamUpper,    &S::OrigLower,     &S::OrigUpper};

struct Run {
    RunStatus status;
    testing::RecordingCanvas canvas;
    testing::RecordingReport sink;
};

// Runs the analysis with every result marked untouched first.
Run analyse(AnalysisStore& store) {
    for (auto result : kResults) store.*result = kUntouched;
    Run run{};
    run.status = runAnalysis(store, run.canvas, run.sink);
    return run;
}

TEST(AnalysisRun, DoesNothingWithoutData) {
    AnalysisStore store;
    store.DataCount = 3;  // New leaves DataCount and sets WorkCount 0
    auto run = analyse(store);
    EXPECT_EQ(run.status, RunStatus::NoData);
    EXPECT_TRUE(run.canvas.calls.empty() && run.sink.texts.empty());
    EXPECT_EQ(store.MeanValue, kUntouched);
}

TEST(AnalysisRun, OneToFourStoresTheRoundedWorkedResultsAndPrintsBeforeDrawing) {
    // Worked by hand: mean 2.5, variance 5/3 → 1.667, percentiles 0.125 and 4.875. The 12
    // summary lines themselves are checked byte for byte through the command line.
    AnalysisStore store;
    load(store, {4, 1, 3, 2});
    auto run = analyse(store);
    ASSERT_EQ(run.status, RunStatus::Completed);
    EXPECT_EQ(run.canvas.calls.substr(0, 14), "C" + std::string(12, 'P') + "S");
    EXPECT_EQ(run.sink.texts.size(), 1u);
    EXPECT_EQ(std::vector<double>({store.MeanValue, store.VarianceValue, store.Pct025, store.Pct975,
                                   store.Lambda.toNumber()}),
              std::vector<double>({2.5, 1.667, 0.125, 4.875, 1}));  // the empty λ became 1
}

TEST(AnalysisRun, FailuresKeepExactlyTheResultsWrittenBeforeThem) {
    constexpr double kAny = 1e300;  // written; its value is not checked here
    struct Case {
        const char* what;
        std::vector<double> values;
        std::vector<double> written;  // the first results, before the failing step
    };
    const Case cases[] = {
        // The variance divides by n − 1 = 0.
        {"n = 1", {5}, {5, 5, 5}},
        // 1, 3: variance 2, SD √2, skewness 0, b2 = 2·2/4 = 1, kurtosis 1 − 3·1/3 = 0, Z1 = 0;
        // Z2 divides by √(24·2·0·(−1)/…) = 0.
        {"n = 2", {3, 1}, {1, 3, 2, 2, std::sqrt(2.0), 0, 0, 0}},
        // 1, 2, 4: mean 7/3, S2 = 42/9, variance 7/3; the skewness, kurtosis and Z1 follow,
        // then Z2 divides by zero (n − 3 = 0).
        {"n = 3", {1, 2, 4}, {1, 4, 7.0 / 3, 7.0 / 3, std::sqrt(7.0 / 3), kAny, kAny, kAny}},
        // All equal: S2 = 0 and the skewness is 0/0.
        {"all equal", {7, 7, 7, 7, 7}, {7, 7, 7, 0, 0}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AnalysisStore store;
        load(store, c.values);
        auto run = analyse(store);
        EXPECT_EQ(run.status, RunStatus::CalculationError);
        EXPECT_TRUE(run.canvas.printed.empty());  // the text block comes later
        EXPECT_TRUE(run.sink.texts.empty());      // the statistics text is kept
        EXPECT_TRUE(store.Lambda.isBlank());
        for (size_t k = 0; k < std::size(kResults); ++k) {
            const double want = k < c.written.size() ? c.written[k] : kUntouched;
            if (want == kAny) {
                EXPECT_NE(store.*kResults[k], kUntouched) << "result " << k;
            } else {
                EXPECT_DOUBLE_EQ(store.*kResults[k], want) << "result " << k;
            }
        }
    }
}

TEST(AnalysisRun, FailuresAfterTheTextBlockLeaveItPrintedAndTheReportUnset) {
    // 100 values near 0 and one at 1000: the upper classes lie so far in the tail that the
    // normal distribution function is exactly 1 there, an expected frequency of 0.
    std::vector<double> farTail(50, 0.0);
    farTail.insert(farTail.end(), 50, 1.0);
    farTail.push_back(1000);
    struct Case {
        const char* what;
        std::vector<double> values;
        double classCount;
    };
    const Case cases[] = {
        // The maximum 1000.5 rounds to 1001: width 0.25 and two classes already hold all four
        // values, so ν = 2 − 3 < 1.
        {"fewer than one degree of freedom", {1000, 1000.1, 1000.2, 1000.5}, 4},
        {"expected frequency of zero", farTail, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AnalysisStore store;
        load(store, c.values);
        store.ClassCount = c.classCount;
        auto run = analyse(store);
        EXPECT_EQ(run.status, RunStatus::CalculationError);
        EXPECT_EQ(run.canvas.printed.size(), 12u);
        EXPECT_TRUE(run.sink.texts.empty());
    }
}

TEST(AnalysisRun, RoundsThePercentileFromItsFifteenDigitText) {
    // 39 values: the 2.5th percentile is x(1) = 1.2344999999999995 exactly. The minimum
    // rounds the number itself to 1.234; the percentile rounds its text "1.2345" to 1.235.
    std::vector<double> values = {1.2344999999999995};
    for (int i = 2; i <= 39; ++i) values.push_back(1.5 + i);
    AnalysisStore store;
    load(store, values);
    ASSERT_EQ(analyse(store).status, RunStatus::Completed);
    EXPECT_EQ(std::make_pair(store.MinValue, store.Pct025), std::make_pair(1.234, 1.235));
}

}  // namespace
}  // namespace kijunchi
