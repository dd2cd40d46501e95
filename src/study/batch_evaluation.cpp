#include "study/batch_evaluation.h"

#include <cmath>

#include "analysis/distributions.h"
#include "analysis/number_text.h"
#include "analysis/power_formula.h"
#include "analysis/store.h"
#include "evaluation/evaluation.h"
#include "evaluation/lambda_estimate.h"
#include "files/table_text.h"
#include "report/analysis_run.h"
#include "report/canvas.h"
#include "report/sig_round.h"
#include "study/study_text.h"

namespace kijunchi {

namespace {

class NoReport final : public ReportSink {
public:
    void setStatisticsText(const std::string&) override {}
};

void appendMessage(std::string& to, const std::string& message) {
    if (!to.empty()) to += " ";
    to += message;
}

// The values transformed with λ; empty when one has no value.
std::vector<double> transformedValues(const std::vector<double>& values, double lambda) {
    std::vector<double> y;
    y.reserve(values.size());
    for (const double x : values) {
        const auto t = powerTransformed(lambda, x);
        if (!t) return {};
        y.push_back(*t);
    }
    return y;
}

}  // namespace

BatchEvaluation::BatchEvaluation() : store_(std::make_unique<AnalysisStore>()) {}
BatchEvaluation::~BatchEvaluation() = default;

BatchEvaluator makeBatchEvaluator() {
    return
        [evaluation = std::make_shared<BatchEvaluation>()](
            std::vector<double> values, BatchRow& row) { (*evaluation)(std::move(values), row); };
}

void BatchEvaluation::operator()(std::vector<double> measured, BatchRow& row) {
    EvaluationInput input;
    input.measured = std::move(measured);
    const std::vector<double>& values = input.measured;
    // The table shows the robust limits without their interval: no bootstrap.
    input.resamples = 0;

    // The normality tests of the statistics report, from the analysis run on a store that
    // holds this set (it holds at most 5000 values). A run that fails part-way still gives the
    // tests it took.
    const int n = static_cast<int>(values.size());
    if (n > kMaxValues) {
        appendMessage(row.message, "正規性の検定は5000個までの値で行います。");
    } else {
        AnalysisStore& s = *store_;
        s.Lambda = s.LambdaShown = Value(std::string());
        s.UntransformedValues.clear();
        s.DataCount = s.WorkCount = n;
        for (int i = 0; i < n; ++i)
            s.DataValues[static_cast<std::size_t>(i + 1)] =
                s.AnalysisValues[static_cast<std::size_t>(i + 1)] =
                    values[static_cast<std::size_t>(i)];
        s.ClassCount = 5;
        NullCanvas picture;
        NoReport report;
        runAnalysis(s, picture, report);
        const NormalityRecord& record = s.Normality;
        if (record.momentsTaken) {
            row.pSkewness = 2 * normalUpperTail(record.skewTestZ);
            row.pKurtosis = 2 * normalUpperTail(record.kurtTestZ);
        }
        if (record.chiSquareTaken)
            row.pChiSquare = chiSquareUpperProbability(record.degreesOfFreedom, record.chiSquare);
        if (!record.momentsTaken || !record.chiSquareTaken)
            appendMessage(row.message, "正規性の検定は計算できません。");
        input.normalityRejected = record.rejected();
    }

    // Mean ± 1.96 SD and the robust limits after the transformation with the λ of largest
    // likelihood, carried back as the evaluation carries its limits (a base below zero is no
    // limit). Computed here rather than by the evaluation of the transformed values, which
    // would also bootstrap the robust limits on them, a figure the table does not show.
    // λ̂ once: the evaluation's outlier screen takes it from here, and the table shows none of
    // the distribution tests.
    const auto estimate = estimateLambda(values);
    input.distributionTests = false;
    input.measuredLambdaGiven = true;
    input.measuredLambda = estimate;
    std::vector<double> y;
    if (estimate) y = transformedValues(values, estimate->lambda);
    if (!y.empty()) {
        input.lambda = estimate->lambda;
        input.lambdaText = numberText(estimate->lambda);
        input.lambdaEstimated = true;
        input.transformed = std::move(y);
        input.transformedWithMeasuredLambda = true;
    }

    // The values are sorted in place from here on: a batch column may hold millions.
    const EvaluationResult r = evaluateInPlace(input);
    if (r.nonparametric.available) {
        const auto& np = r.nonparametric;
        row.npLower = np.lower.value;
        row.npUpper = np.upper.value;
        if (np.lower.interval) {
            row.npLowerLow = np.lower.interval->low;
            row.npLowerHigh = np.lower.interval->high;
        }
        if (np.upper.interval) {
            row.npUpperLow = np.upper.interval->low;
            row.npUpperHigh = np.upper.interval->high;
        }
    }
    if (r.parametric.available) {
        row.paramLower = r.parametric.lower.value;
        row.paramUpper = r.parametric.upper.value;
    }
    if (r.lambda && r.parametricTransformed && r.parametricTransformed->available) {
        row.lambda = r.lambda;
        row.lambdaLower = r.parametricTransformed->lower.value;
        row.lambdaUpper = r.parametricTransformed->upper.value;
    }
    if (r.robustTransformed && r.robustTransformed->available) {
        row.lambdaRobustLower = r.robustTransformed->lower.value;
        row.lambdaRobustUpper = r.robustTransformed->upper.value;
    }
    if (!row.lambda)
        appendMessage(row.message,
                      "λを推定できません（" + (estimate ? std::string() : r.hornReason) + "）。");
    if (r.robust.available) {
        row.robustLower = r.robust.lower.value;
        row.robustUpper = r.robust.upper.value;
    }
    row.outliers = static_cast<int>(r.outlierCount);
    row.recommendation = recommendationName(r.recommendation);
}

std::string groupLimitsText(const std::vector<ValueGroup>& groups) {
    std::string t = "\r\nグループごとの基準範囲（推奨される方法）\r\n";
    t += "グループ\tデータ数\t方法\t下限\t上限\r\n";
    BatchEvaluation evaluation;
    for (const auto& g : groups) {
        BatchRow row;
        row.n = static_cast<int>(g.values.size());
        std::optional<double> lower, upper;
        if (row.n >= 2) {
            try {
                evaluation(g.values, row);
            } catch (const std::exception&) {
                // This group's limits stay missing; the other groups are shown.
                row.recommendation.clear();
            }
            if (row.recommendation == "ノンパラメトリック法") {
                lower = row.npLower;
                upper = row.npUpper;
            } else if (row.recommendation == "ロバスト法") {
                lower = row.robustLower;
                upper = row.robustUpper;
            } else if (row.recommendation == "ロバスト法（変換後）") {
                lower = row.lambdaRobustLower;
                upper = row.lambdaRobustUpper;
            }
        }
        t += spreadsheetCell(g.name) + "\t" + std::to_string(row.n) + "\t" +
             (lower && upper ? row.recommendation : std::string("－")) + "\t" +
             (lower ? studyNumber(*lower) : "－") + "\t" + (upper ? studyNumber(*upper) : "－") +
             "\r\n";
    }
    return t;
}

}  // namespace kijunchi
