#include "study/batch_evaluation.h"

#include <cmath>

#include "analysis/analysis_run.h"
#include "analysis/number_text.h"
#include "analysis/store.h"
#include "evaluation/evaluation.h"
#include "evaluation/lambda_estimate.h"
#include "files/table_text.h"
#include "report/canvas.h"
#include "report/normality.h"
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

// y = (x^λ − 1)/λ + λ, λ = 0: ln x; nullopt where it has no finite value.
std::optional<double> transformed(double x, double lambda) {
    const double y = lambda == 0.0 ? std::log(x) : (std::pow(x, lambda) - 1.0) / lambda + lambda;
    if (!std::isfinite(y)) return std::nullopt;
    return y;
}

double twoSided(double z) {
    return 2.0 * (1.0 - normalCdf(std::fabs(z)));
}

std::string recommendationText(Recommendation r) {
    switch (r) {
        case Recommendation::Nonparametric:
            return "ノンパラメトリック法";
        case Recommendation::Robust:
            return "ロバスト法";
        case Recommendation::None:
            break;
    }
    return "なし";
}

}  // namespace

BatchEvaluation::BatchEvaluation() : store_(std::make_unique<AnalysisStore>()) {}
BatchEvaluation::~BatchEvaluation() = default;

void BatchEvaluation::operator()(const std::vector<double>& values, BatchRow& row) {
    EvaluationInput input;
    input.measured = values;

    // The normality tests of the statistics report, from the analysis run on a store that
    // holds this set (it holds at most 5000 values).
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
        if (runAnalysis(s, picture, report) == RunStatus::Completed) {
            row.pSkewness = twoSided(s.SkewTestZ);
            row.pKurtosis = twoSided(s.KurtTestZ);
            // The run has just taken the same test on the same classes without a failure.
            const ChiSquareTest test = runChiSquareTest(s);
            if (test.degreesOfFreedom >= 1)
                row.pChiSquare = chiSquareUpperTail(test.degreesOfFreedom, test.statistic);
            input.normalityRejected =
                s.SkewTestZ > 1.96 || s.KurtTestZ > 1.96 || test.statistic > test.critical;
        } else {
            appendMessage(row.message, "正規性の検定は計算できません。");
        }
    }

    const EvaluationResult r = evaluate(input);
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

    // Mean ± 1.96 SD after the transformation with the λ of largest likelihood, carried back
    // as the evaluation carries its limits (a base below zero is no limit). Computed here
    // rather than by the evaluation of the transformed values, which would also bootstrap
    // the robust limits on them, a figure the table does not show.
    if (const auto estimate = estimateLambda(values); estimate && values.size() >= 2) {
        const double lambda = estimate->lambda;
        double sum = 0, squares = 0;
        bool finite = true;
        std::vector<double> y;
        y.reserve(values.size());
        for (double x : values) {
            const auto t = transformed(x, lambda);
            if (!t) {
                finite = false;
                break;
            }
            y.push_back(*t);
            sum += *t;
        }
        if (finite) {
            const double mean = sum / double(y.size());
            for (double v : y) squares += (v - mean) * (v - mean);
            const double sd = std::sqrt(squares / double(y.size() - 1));
            row.lambda = lambda;
            row.lambdaLower = backTransform(mean - 1.96 * sd, lambda);
            row.lambdaUpper = backTransform(mean + 1.96 * sd, lambda);
        }
    }
    if (!row.lambda) appendMessage(row.message, "λを推定できません（正でない値があるなど）。");
    if (r.robust.available) {
        row.robustLower = r.robust.lower.value;
        row.robustUpper = r.robust.upper.value;
    }
    row.outliers = static_cast<int>(r.outliers.size());
    row.recommendation = recommendationText(r.recommendation);
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
            evaluation(g.values, row);
            if (row.recommendation == "ノンパラメトリック法") {
                lower = row.npLower;
                upper = row.npUpper;
            } else if (row.recommendation == "ロバスト法") {
                lower = row.robustLower;
                upper = row.robustUpper;
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
