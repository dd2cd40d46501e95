#include "report/analysis_run.h"

#include <gtest/gtest.h>

#include <cmath>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "analysis/store.h"
#include "input/grid_sink.h"
#include "support/data_set.h"
#include "support/recording_canvas.h"
#include "support/recording_report.h"
#include "transform/power_transform.h"

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
        // No report of an earlier data set stands beside the error.
        EXPECT_EQ(run.sink.texts, std::vector<std::string>{""});
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

TEST(AnalysisRun, AClassWithValuesThatExpectsNoneMakesChiSquareInfinite) {
    // 100 values near 0 and one at 1000: the upper classes lie so far in the tail that the
    // normal distribution function is exactly 1 there, an expected frequency of 0. The empty
    // classes 3 and 4 add nothing; class 5 holds the 1000, so χo² is infinite and normality
    // rejected, and every other figure is printed as for any run.
    std::vector<double> farTail(50, 0.0);
    farTail.insert(farTail.end(), 50, 1.0);
    farTail.push_back(1000);
    AnalysisStore store;
    load(store, farTail);
    store.ClassCount = 5;
    auto run = analyse(store);
    ASSERT_EQ(run.status, RunStatus::Completed);
    ASSERT_EQ(run.sink.texts.size(), 1u);
    const std::string& text = run.sink.texts[0];
    for (const char* line : {"3\t400\t\t-\t600\t｜\t0\t0\r\n", "5\t800\t\t-\t1000\t｜\t1\t0\r\n",
                             "χo^2 (Kai-Value) =\t∞\r\n",
                             "χo^2  > χ^2(2,0.05)  で正規性は棄却される。", "95%上限 = \t1\r\n"})
        EXPECT_NE(text.find(line), std::string::npos) << line;
    EXPECT_TRUE(store.Normality.rejected().value_or(false));
}

TEST(AnalysisRun, FailuresAfterTheTextBlockLeaveItPrintedAndTheReportUnset) {
    struct Case {
        const char* what;
        std::vector<double> values;
        double classCount;
    };
    const Case cases[] = {
        // The maximum 1000.5 rounds to 1001: width 0.25 and two classes already hold all four
        // values, so ν = 2 − 3 < 1.
        {"fewer than one degree of freedom", {1000, 1000.1, 1000.2, 1000.5}, 4},
        {"a class count of 0 (no class width)", {1, 2, 3, 4, 5}, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        AnalysisStore store;
        load(store, c.values);
        store.ClassCount = c.classCount;
        auto run = analyse(store);
        EXPECT_EQ(run.status, RunStatus::CalculationError);
        EXPECT_EQ(run.canvas.printed.size(), 12u);
        EXPECT_EQ(run.sink.texts, std::vector<std::string>{""});
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

TEST(AnalysisRun, LeftSkewedDataTransformedWithAPowerAboveOneGiveTheirLimits) {
    // 60 values 2 − 0.8·(i/60)³ to two decimals, from 2.0 down to 1.2. The limits and their
    // confidence ends were computed in python from the same data (mean ± 1.96 SD of
    // (x^λ − 1)/λ + λ carried back by (λ·y − λ² + 1)^(1/λ), 4 significant digits); the
    // standard deviation itself has a negative base for every λ here.
    std::vector<double> values;
    for (int i = 1; i <= 60; ++i)
        values.push_back(std::round((2.0 - 0.8 * std::pow(i / 60.0, 3)) * 100) / 100);
    struct Case {
        const char* lambda;
        std::vector<double> limits;  // lower, upper, then the four confidence ends
    };
    const Case cases[] = {{"1.2", {1.331, 2.239, 1.224, 1.436, 2.143, 2.334}},
                          {"1.5", {1.326, 2.22, 1.209, 1.437, 2.131, 2.307}},
                          {"2", {1.315, 2.193, 1.179, 1.439, 2.114, 2.269}},
                          {"3", {1.283, 2.153, 1.075, 1.439, 2.089, 2.214}}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.lambda);
        AnalysisStore store;
        load(store, values);
        NullGrid grid;
        ASSERT_TRUE(applyLambda(store, c.lambda, grid));
        testing::RecordingCanvas canvas;
        testing::RecordingReport sink;
        ASSERT_EQ(runAnalysis(store, canvas, sink), RunStatus::Completed);
        EXPECT_EQ(std::vector<double>({store.OrigLower, store.OrigUpper, store.OrigLowerCILow,
                                       store.OrigLowerCIHigh, store.OrigUpperCILow,
                                       store.OrigUpperCIHigh}),
                  c.limits);
        EXPECT_EQ(store.OrigSD, 0);  // undefined, never printed
    }
}

TEST(AnalysisRun, AnUpperLimitBelowTheLowerIsNeverPrinted) {
    // 1, 2, 3, 4 with λ = −1: the upper limit's base is negative and its inverse −7.268 would
    // be printed below the lower limit 0.848.
    AnalysisStore store;
    load(store, {1, 2, 3, 4});
    NullGrid grid;
    ASSERT_TRUE(applyLambda(store, "-1", grid));
    testing::RecordingCanvas canvas;
    testing::RecordingReport sink;
    EXPECT_EQ(runAnalysis(store, canvas, sink), RunStatus::CalculationError);
    EXPECT_EQ(sink.texts, std::vector<std::string>{""});
}

TEST(ClassCount, AcceptsWholeNumbersFromFourToOneThousandOnly) {
    EXPECT_EQ(readClassCount("4"), 4);
    EXPECT_EQ(readClassCount(" 1000 "), 1000);
    EXPECT_EQ(readClassCount("８"), 8);  // full-width digits from a Japanese input method
    for (const char* refused : {"3", "1001", "4.5", "", "abc", "12x", "-5", "1E999"})
        EXPECT_EQ(readClassCount(refused), std::nullopt) << refused;
    EXPECT_EQ(std::string(kClassCountMessage),
              "ﾋｽﾄｸﾞﾗﾑの階級数は4以上1000以下の整数を入力して下さい。");
}

}  // namespace
}  // namespace kijunchi
