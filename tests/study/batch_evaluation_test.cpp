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
#include "evaluation/lambda_estimate.h"
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
                EXPECT_DOUBLE_EQ(*row.npLowerLow, single.nonparametric.lower.interval->low);
                EXPECT_DOUBLE_EQ(*row.npUpperHigh, single.nonparametric.upper.interval->high);
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

}  // namespace
}  // namespace kijunchi
