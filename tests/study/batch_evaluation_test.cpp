#include "study/batch_evaluation.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <random>

#include "analysis/number_text.h"
#include "cli/report_command.h"
#include "evaluation/evaluation.h"
#include "evaluation/evaluation_text.h"
#include "evaluation/lambda_estimate.h"
#include "report/analysis_run.h"
#include "report/canvas.h"
#include "study/table_stream.h"

namespace kijunchi {
namespace {

// The number after "label" up to the line end in a report text.
double reportNumber(const std::string& report, const std::string& label) {
    const auto at = report.find(label);
    EXPECT_NE(at, std::string::npos) << label;
    return std::stod(report.substr(at + label.size()));
}

// Upper tail of chi-square with nu degrees of freedom by the closed forms (even nu: Poisson
// sum; odd nu: erfc and the half-integer series), independent of the program's routine.
double chiSquareTail(int nu, double x) {
    double term = 0, sum = 0;
    if (nu % 2 == 0) {
        term = std::exp(-x / 2);
        for (int k = 0; k < nu / 2; ++k) {
            sum += term;
            term *= (x / 2) / (k + 1);
        }
        return sum;
    }
    sum = std::erfc(std::sqrt(x / 2));
    term = std::sqrt(2 * x / M_PI) * std::exp(-x / 2);
    for (int k = 1; k <= (nu - 1) / 2; ++k) {
        sum += term;
        term *= x / (2 * k + 1);
    }
    return sum;
}

void expectSame(const std::optional<double>& batch, const std::optional<double>& single,
                const char* what) {
    ASSERT_EQ(batch.has_value(), single.has_value()) << what;
    if (batch) {
        EXPECT_DOUBLE_EQ(*batch, *single) << what;
    }
}

TEST(BatchEvaluation, RowsOfTwentyAnalytesInTwoGroupsAgreeWithSingleRuns) {
    // 20 analytes; women have 130 values (nonparametric with ranks), men 60 (robust); the
    // group column comes last. Log-normal values with 2 decimals, fixed seed.
    constexpr int kAnalytes = 20, kWomen = 130, kMen = 60;
    std::mt19937 engine(2024);
    std::vector<std::vector<std::vector<double>>> values(kAnalytes,
                                                         std::vector<std::vector<double>>(2));
    std::string text;
    for (int a = 0; a < kAnalytes; ++a) text += "A" + std::to_string(a + 1) + ",";
    text += "sex\r\n";
    for (int r = 0; r < kWomen + kMen; ++r) {
        const int g = r < kWomen ? 0 : 1;
        for (int a = 0; a < kAnalytes; ++a) {
            std::lognormal_distribution<double> dist(1.0 + 0.1 * a, 0.1 + 0.02 * a);
            const double v = std::round(dist(engine) * 100) / 100;
            values[a][g].push_back(v);
            text += numberText(v) + ",";
        }
        text += g == 0 ? "F\r\n" : "M\r\n";
    }
    const auto path = std::filesystem::temp_directory_path() /
                      ("kijunchi-batch-agree-" + std::to_string(getpid()) + ".csv");
    std::ofstream(path, std::ios::binary) << text;
    std::string problem;
    auto table = TableStream::open(path.string(), problem);
    ASSERT_TRUE(table) << problem;

    BatchEvaluation evaluation;
    std::vector<BatchRow> rows;
    BatchOptions options;
    options.groupColumn = kAnalytes;
    runBatch(
        *table, options, [&](const std::vector<double>& v, BatchRow& r) { evaluation(v, r); },
        [&](const BatchRow& r) { rows.push_back(r); });
    std::filesystem::remove(path);
    ASSERT_EQ(rows.size(), 2u * kAnalytes);

    for (int a = 0; a < kAnalytes; ++a) {
        for (int g = 0; g < 2; ++g) {
            const BatchRow& row = rows[static_cast<std::size_t>(2 * a + g)];
            const std::vector<double>& v = values[a][g];
            SCOPED_TRACE(row.analyte + " " + row.group);
            EXPECT_EQ(row.analyte, "A" + std::to_string(a + 1));
            EXPECT_EQ(row.group, g == 0 ? "F" : "M");
            EXPECT_EQ(row.n, static_cast<int>(v.size()));

            // The evaluation of this analyte and group alone.
            EvaluationInput input;
            input.measured = v;
            const EvaluationResult single = evaluate(input);
            expectSame(row.npLower, single.nonparametric.lower.value, "np lower");
            expectSame(row.npUpper, single.nonparametric.upper.value, "np upper");
            ASSERT_EQ(row.npLowerLow.has_value(), g == 0);  // ranks need 119 values
            if (g == 0) {
                EXPECT_DOUBLE_EQ(*row.npLowerLow, single.nonparametric.lower.interval->low.value());
                EXPECT_DOUBLE_EQ(*row.npUpperHigh,
                                 single.nonparametric.upper.interval->high.value());
            }
            expectSame(row.paramLower, single.parametric.lower.value, "param lower");
            expectSame(row.paramUpper, single.parametric.upper.value, "param upper");
            expectSame(row.robustLower, single.robust.lower.value, "robust lower");
            expectSame(row.robustUpper, single.robust.upper.value, "robust upper");
            EXPECT_EQ(row.outliers, static_cast<int>(single.outliers.size()));

            // The evaluation of the values transformed with the λ of largest likelihood.
            const auto lambda = estimateLambda(v);
            ASSERT_TRUE(lambda);
            EvaluationInput transformed = input;
            transformed.lambda = lambda->lambda;
            for (double x : v)
                transformed.transformed.push_back(
                    lambda->lambda == 0
                        ? std::log(x)
                        : (std::pow(x, lambda->lambda) - 1) / lambda->lambda + lambda->lambda);
            const auto carried = evaluate(transformed).parametricTransformed;
            ASSERT_TRUE(carried);
            EXPECT_NEAR(*row.lambdaLower, *carried->lower.value, 1e-9 * *row.lambdaLower);
            EXPECT_NEAR(*row.lambdaUpper, *carried->upper.value, 1e-9 * *row.lambdaUpper);

            // The normality tests of the statistics report of the same values.
            std::string column;
            for (double x : v) column += numberText(x) + "\r\n";
            const auto report = runReportCommand({}, textReader(column));
            ASSERT_EQ(report.exitCode, 0);
            // Below 120 values, skewed data (a test of the report rejects normality) are
            // recommended the robust limits after the transformation with λ̂.
            const bool rejected = report.out.find("で正規性は棄却される") != std::string::npos;
            EXPECT_EQ(row.recommendation, g == 0     ? "ノンパラメトリック法"
                                          : rejected ? "ロバスト法（変換後）"
                                                     : "ロバスト法");
            const double z1 = reportNumber(report.out, "Z1    = \t");
            const double z2 = reportNumber(report.out, "Z2    = \t");
            // The p-values come from the unrounded statistics; the report prints Z to 4
            // significant digits, an error of up to z·5e-4, and dp/dz = 2φ(z).
            auto margin = [](double z) {
                return 2 * std::exp(-z * z / 2) / std::sqrt(2 * M_PI) * z * 5e-4 + 1e-12;
            };
            EXPECT_NEAR(*row.pSkewness, std::erfc(std::fabs(z1) / std::sqrt(2.0)), margin(z1));
            EXPECT_NEAR(*row.pKurtosis, std::erfc(std::fabs(z2) / std::sqrt(2.0)), margin(z2));
            const int nu = static_cast<int>(reportNumber(report.out, "χ^2("));
            const double chi = reportNumber(report.out, "χo^2 (Kai-Value) =\t");
            // χo² is printed to 4 significant digits, an error of up to x·5e-4; the tail's
            // logarithm falls by at most 1/2 per unit of x, hence the relative margin x·5e-4.
            const double p = chiSquareTail(nu, chi);
            EXPECT_NEAR(*row.pChiSquare, p, p * chi * 5e-4 + 1e-12);
        }
    }
}

// One recommendation, the same in the evaluation, the batch row and the partition study's
// limits. Values and figures from R (biweight as bench/batch_loop.R computes it, λ̂ as the root
// of the likelihood's score, back-transformation x = (λ(y − λ) + 1)^(1/λ) where the base > 0):
//   skewed 29: set.seed(1); round(exp(rnorm(29, 3, 0.9)), 1): λ̂ = 0.3343, biweight as measured
//     −18.74 … 67.74 (below 0 for positive data), after λ̂ carried back 2.336 … 87.48.
//   heavy 34: set.seed(16); round(20/(runif(34) + 0.02), 1): λ̂ = −0.9008, after λ̂ the lower
//     limit 15.98 and the upper one not carried back.
//   CRP 50: 30 results at the detection limit 0.3 and set.seed(3); round(exp(rnorm(20)) + 0.3, 2):
//     median absolute deviation 0, no biweight.
class NoReportText final : public ReportSink {
public:
    void setStatisticsText(const std::string&) override {}
};

TEST(BatchEvaluation, OneRecommendationInEveryView) {
    struct Case {
        const char* name;
        std::vector<double> values;
        const char* recommended;  // the batch's name, "なし" for none
        const char* lower;        // the limits shown, "－" when none is recommended
        const char* upper;
        const char* advice;  // the evaluation's first sentence
    };
    std::vector<double> crp(30, 0.3);
    for (double v : {0.68, 1.05, 1.6,  0.62, 1.52, 1.33, 1.39, 3.35, 0.6, 3.85,
                     0.77, 0.62, 0.79, 1.59, 1.46, 1.04, 0.69, 0.82, 3.7, 1.52})
        crp.push_back(v);
    const std::vector<Case> cases = {
        {"skewed 29",
         {11.4, 23.7, 9.5, 84.4, 27,   9.6,  31.1, 39,   33.7, 15.3, 78.3, 28.5, 11.5, 2.7, 55.3,
          19.3, 19.8, 47,  42.1, 34.3, 45.9, 40.6, 21.5, 3.4,  35.1, 19.1, 17.5, 5.3,  13.1},
         "ロバスト法（変換後）",
         "2.336",
         "87.48",
         "推奨: データ数が20以上120未満なので、ロバスト法（変換後）の限界値を用いて下さい。"},
        {"heavy 34",
         {28.4,  75.7, 42.5, 80.2, 22.6, 60.4, 212,   23.5, 22.4, 125.5, 58.9, 32.7,
          112.9, 29.4, 36.7, 76.9, 23.1, 28.2, 27.1,  208,  20.3, 24,    35.4, 44.4,
          80.7,  29.9, 20.6, 20.1, 25.5, 40.4, 293.5, 22.5, 27.1, 21.9},
         "なし",
         "－",
         "－",
         "推奨: データ数は20以上120未満ですが、ロバスト法（変換後）の限界値の一方を変換前の単位に"
         "戻せないため、推奨できる基準範囲の推定法はありません。"},
        {"CRP 50", crp, "なし", "－", "－",
         "推奨: データ数は20以上120未満ですが、ロバスト法の限界値を計算できないため、推奨できる"
         "基準範囲の推定法はありません。"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        AnalysisStore store;
        for (std::size_t i = 0; i < c.values.size(); ++i)
            store.DataValues[i + 1] = store.AnalysisValues[i + 1] = c.values[i];
        store.DataCount = store.WorkCount = static_cast<int>(c.values.size());
        store.ClassCount = 5;
        NullCanvas canvas;
        NoReportText report;
        const std::string text = evaluationTextAfterRun(store, runAnalysis(store, canvas, report));
        ASSERT_TRUE(store.Normality.rejected().value_or(false));
        EXPECT_NE(text.find(c.advice), std::string::npos) << text;

        BatchRow row;
        BatchEvaluation()(c.values, row);
        EXPECT_EQ(row.recommendation, c.recommended);
        const std::string limits = groupLimitsText({{"A", c.values}});
        EXPECT_NE(limits.find("A\t" + std::to_string(c.values.size()) + "\t" +
                              (std::string(c.recommended) == "なし" ? "－" : c.recommended) + "\t" +
                              c.lower + "\t" + c.upper + "\r\n"),
                  std::string::npos)
            << limits;
        if (std::string(c.lower) != "－") {
            EXPECT_NE(text.find(std::string("ロバスト法（変換後）\t") + c.lower + "\t"),
                      std::string::npos);
            EXPECT_NE(text.find(std::string("\t") + c.upper + "\t"), std::string::npos);
        }
    }
    // Heavy 34 keeps the limit that is carried back and marks only the other.
    BatchRow heavy;
    BatchEvaluation()(cases[1].values, heavy);
    ASSERT_TRUE(heavy.lambdaRobustLower);
    EXPECT_NEAR(*heavy.lambdaRobustLower, 15.97811643, 1e-6);
    EXPECT_FALSE(heavy.lambdaRobustUpper);
}

}  // namespace
}  // namespace kijunchi
