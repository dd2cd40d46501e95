#include "transform/power_transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "analysis/store.h"
#include "input/grid_sink.h"
#include "support/data_set.h"
#include "support/recording_canvas.h"
#include "support/recording_grid.h"
#include "support/recording_report.h"

namespace kijunchi {
namespace {

using testing::dataValues;
using testing::load;
using testing::RecordingCanvas;
using testing::RecordingGrid;
using testing::RecordingReport;

TEST(LikelihoodTable, WorkedExampleOneTwoFour) {
    // Worked in python from ML(λ) = −(N/2)·ln(SS/N) + Σ ln|v^(λ−1)|: ML(0) = −0.371705117772597
    // (the largest), ML(−1) = ML(1) = −0.662749128418559, ML(3) = −2.56258356436012.
    AnalysisStore store;
    load(store, {1, 2, 4});
    const std::string table = likelihoodTable(store);
    const std::string head = "\r\n\r\n Power Transfomation\r\nλ  \tML       　   \r\n";
    ASSERT_EQ(table.substr(0, head.size()), head);
    std::vector<std::pair<std::string, double>> rows;  // "λ TAB ML CR LF" each
    std::istringstream in(table.substr(head.size()));
    for (std::string row; std::getline(in, row);) {
        ASSERT_EQ(row.back(), '\r');
        const auto tab = row.find('\t');
        rows.emplace_back(row.substr(0, tab), std::stod(row.substr(tab + 1)));
    }
    ASSERT_EQ(rows.size(), 41u);
    // λ in general number text: 0.3, not 0.30000000000000004.
    EXPECT_EQ(
        std::vector<std::string>({rows[0].first, rows[10].first, rows[13].first, rows[40].first}),
        std::vector<std::string>({"-1", "0", "0.3", "3"}));
    EXPECT_NEAR(rows[10].second, -0.371705117772597, 1e-12);
    EXPECT_NEAR(rows[0].second, -0.662749128418559, 1e-12);
    EXPECT_NEAR(rows[20].second, -0.662749128418559, 1e-12);
    EXPECT_NEAR(rows[40].second, -2.56258356436012, 1e-12);
    for (const auto& [lambda, ml] : rows) EXPECT_LE(ml, rows[10].second) << "λ " << lambda;

    AnalysisStore one;
    load(one, {5});
    EXPECT_EQ(likelihoodTable(one), "");  // N = 1 (and N = 0) give the empty text
}

TEST(LikelihoodTable, UndefinedRowsShowOnlyTheirLambda) {
    // With a 0 among the values the logarithm and every λ ≠ 1 are undefined (ln 0 in the
    // Jacobian); λ = 1 stays defined (0⁰ = 1): −(3/2)·ln(2/3) = 0.608197662162247 (python).
    AnalysisStore store;
    load(store, {0, 1, 2});
    const std::string table = likelihoodTable(store);
    EXPECT_NE(table.find("\r\n0\t\r\n"), std::string::npos) << table;
    EXPECT_NE(table.find("\r\n-1\t\r\n"), std::string::npos) << table;
    EXPECT_NE(table.find("\r\n1\t0.60819766216"), std::string::npos) << table;
    EXPECT_EQ(table.find("nan"), std::string::npos);
    EXPECT_EQ(table.find("inf"), std::string::npos);
}

TEST(ApplyLambda, KeepsTheTextAsTypedAndTransformsTheDataSet) {
    AnalysisStore store;
    load(store, {1, 4, 9});
    RecordingGrid grid;
    ASSERT_TRUE(applyLambda(store, "0.50", grid));
    // (√x − 1)/0.5 + 0.5: 0.5, 2.5, 4.5.
    EXPECT_EQ(dataValues(store), std::vector<double>({0.5, 2.5, 4.5}));
    EXPECT_EQ(store.AnalysisValues[3].toNumber(), 4.5);
    EXPECT_EQ(store.SortedValues[2], 4.5);
    EXPECT_EQ(store.Lambda, Value("0.50"));
    EXPECT_EQ(store.LambdaShown, Value("0.50"));
    const std::vector<std::pair<int, std::string>> cells = {{0, "0.5"}, {1, "2.5"}, {2, "4.5"}};
    EXPECT_EQ(std::vector(grid.cells.begin(), grid.cells.begin() + 3), cells);
    EXPECT_EQ(grid.cell(3), "");
    EXPECT_EQ(grid.countLabels.back(), "3");
    EXPECT_EQ(grid.commentLabels.back(), "ﾃﾞｰﾀはλ=0.50で変換しました。");
}

TEST(ApplyLambda, OneLeavesTheValuesAndZeroWrittenAnyWayTakesTheLogarithm) {
    AnalysisStore store;
    const std::vector<double> values = {0.3, 12.5, 1e6};
    load(store, values);
    NullGrid grid;
    ASSERT_TRUE(applyLambda(store, "1", grid));
    for (int i = 1; i <= 3; ++i)
        EXPECT_NEAR(store.DataValues[i].toNumber(), values[i - 1], 1e-12 * values[i - 1]);
    load(store, {1, 10});
    ASSERT_TRUE(applyLambda(store, "-0", grid));  // numeric value 0: the logarithm
    EXPECT_EQ(store.DataValues[1].toNumber(), 0.0);
    EXPECT_NEAR(store.DataValues[2].toNumber(), 2.302585092994046, 1e-15);  // ln 10
    EXPECT_EQ(store.LambdaShown.toText(), "-0");
}

TEST(ApplyLambda, ThePercentileLimitsAndMedianStayThoseOfTheValuesAsMeasured) {
    // 1E-20 − 1 + 1 is 0 in double, so λ = 1 changes the two smallest values. Worked by hand
    // for 1E-20, 2E-20, 5, 6: 2.5th percentile 1E-20 − 0.875·1E-20 = 1.25E-21, 97.5th
    // 5 + 1.875·1 = 6.875, median (2E-20 + 5)/2 = 2.5.
    for (const char* lambda : {"1", "0"}) {
        AnalysisStore store;
        load(store, {1e-20, 5, 2e-20, 6});
        store.ClassCount = 4;
        RecordingCanvas canvas;
        RecordingReport report;
        ASSERT_EQ(runAnalysis(store, canvas, report), RunStatus::Completed);
        NullGrid grid;
        ASSERT_TRUE(applyLambda(store, lambda, grid));
        ASSERT_EQ(runAnalysis(store, canvas, report), RunStatus::Completed) << lambda;
        EXPECT_EQ(store.Pct025, 1.25e-21) << lambda;
        EXPECT_EQ(store.Pct975, 6.875) << lambda;
        EXPECT_EQ(store.MedianValue, 2.5) << lambda;
    }
}

TEST(ApplyLambda, TwoApplicationsCompose) {
    // (√x − 1)/0.5 + 0.5 worked in python: 2, 5, 30 give 1.3284271247461903,
    // 2.9721359549995796, 9.454451150103322, and those give the values below.
    AnalysisStore store;
    load(store, {2, 5, 30});
    NullGrid grid;
    ASSERT_TRUE(applyLambda(store, "0.5", grid));
    ASSERT_TRUE(applyLambda(store, "0.5", grid));
    const double twice[] = {0.8051482596537607, 1.9479767719632797, 4.649618248347883};
    for (int i = 1; i <= 3; ++i)
        EXPECT_NEAR(store.DataValues[i].toNumber(), twice[i - 1], 1e-12) << "value " << i;
}

TEST(ApplyLambda, TransformsEveryValueButShowsOnlyTheFirstThousand) {
    std::vector<double> values;
    for (int i = 1; i <= 1200; ++i) values.push_back(i);
    AnalysisStore store;
    load(store, values);
    RecordingGrid grid;
    ASSERT_TRUE(applyLambda(store, "2", grid));
    // (x² − 1)/2 + 2 by hand: 1200 gives 720001.5, 1000 gives 500001.5.
    EXPECT_EQ(store.AnalysisValues[1200].toNumber(), 720001.5);
    ASSERT_EQ(grid.cells.size(), 1000u);
    EXPECT_EQ(grid.cells.back(), (std::pair<int, std::string>{999, "500001.5"}));
    EXPECT_EQ(grid.countLabels.back(), "1200");
}

TEST(ApplyLambda, ARefusedLambdaChangesNothing) {
    struct Case {
        const char* lambda;
        std::vector<double> values;
    };
    const Case cases[] = {
        {"0.5abc", {1, 2, 3}}, {"", {1, 2, 3}},
        {"0.5", {4, 9, -1}},   // the last value fails after two could be transformed
        {"-1", {1, 0, 2}},     // zero under a negative exponent
        {"3", {1, 1e300, 2}},  // overflow
        {"2", {-21, 21, 5}},   // an even power folds -21 and 21 into one value, 222
        {"-2", {-3, 4, 5}},    // and turns the order of negative values round
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string("lambda '") + c.lambda + "'");
        AnalysisStore store;
        load(store, c.values);
        store.Lambda = store.LambdaShown = Value("0.25");
        const AnalysisStore before = store;
        RecordingGrid grid;
        EXPECT_FALSE(applyLambda(store, c.lambda, grid));
        EXPECT_TRUE(grid.untouched());
        EXPECT_EQ(store.DataValues, before.DataValues);
        EXPECT_EQ(store.AnalysisValues, before.AnalysisValues);
        EXPECT_EQ(store.SortedValues, before.SortedValues);
        EXPECT_EQ(store.Lambda, before.Lambda);
        EXPECT_EQ(store.LambdaShown, before.LambdaShown);
    }
}

}  // namespace
}  // namespace kijunchi
