#include "evaluation/evaluation_text.h"

#include <algorithm>
#include <vector>

#include "analysis/checked.h"
#include "analysis/number_text.h"
#include "evaluation/exclusion.h"
#include "report/sig_round.h"

namespace kijunchi {

namespace {

constexpr const char* kTab = "\t";
constexpr const char* kCrLf = "\r\n";
constexpr const char* kMissing = "―";

std::string shown(double v) {
    return numberText(SigRound(v));
}

std::string shown(const std::optional<double>& v) {
    return v ? shown(*v) : std::string(kMissing);
}

// lower, its interval, upper, its interval: eight cells.
std::string limitCells(const Limit& lower, const Limit& upper) {
    auto interval = [](const Limit& limit) {
        if (!limit.interval) return std::string(kMissing) + kTab + "～" + kTab + kMissing;
        return shown(limit.interval->low) + kTab + "～" + kTab + shown(limit.interval->high);
    };
    return shown(lower.value) + kTab + interval(lower) + kTab + shown(upper.value) + kTab +
           interval(upper);
}

std::string missingCells() {
    return limitCells(Limit{}, Limit{});
}

std::string row(const std::string& name, bool available, const Limit& lower, const Limit& upper) {
    return name + kTab + (available ? limitCells(lower, upper) : missingCells()) + kCrLf;
}

void addLimit(ChartInput& chart, LimitKind kind, const Limit& limit) {
    if (!limit.value) return;
    LimitInput input{kind, *limit.value, std::nullopt, std::nullopt};
    // A band needs both ends.
    if (limit.interval && limit.interval->low && limit.interval->high)
        input.ciLow = limit.interval->low, input.ciHigh = limit.interval->high;
    chart.limits.push_back(input);
}

}  // namespace

ChartInput chartInput(const EvaluationInput& input, const EvaluationResult& result) {
    ChartInput chart;
    chart.measured = input.measured;
    if (input.lambda && input.transformed.size() == input.measured.size())
        chart.lambda = input.lambda;
    if (result.nonparametric.available) {
        addLimit(chart, LimitKind::Nonparametric, result.nonparametric.lower);
        addLimit(chart, LimitKind::Nonparametric, result.nonparametric.upper);
    }
    const ParametricEstimate* parametric = chart.lambda && result.parametricTransformed
                                               ? &*result.parametricTransformed
                                               : &result.parametric;
    if (parametric->available) {
        addLimit(chart, LimitKind::Parametric, parametric->lower);
        addLimit(chart, LimitKind::Parametric, parametric->upper);
    }
    return chart;
}

std::string adviceText(const EvaluationResult& r) {
    std::string advice = "推奨: ";
    switch (r.recommendation) {
        case Recommendation::Nonparametric:
            advice +=
                "データ数が120以上なので、ノンパラメトリック法の限界値を90%"
                "信頼区間とともに用いて下さい。";
            break;
        case Recommendation::Robust:
            advice += "データ数が20以上120未満なので、ロバスト法の限界値を用いて下さい。";
            break;
        case Recommendation::RobustTransformed:
            advice += "データ数が20以上120未満なので、ロバスト法（変換後）の限界値を用いて下さい。";
            break;
        case Recommendation::None:
            if (r.n < kRobustMinimumCount)
                advice += "データ数が20未満のため、推奨できる基準範囲の推定法はありません。";
            else if (robustTransformedApplies(r))
                advice +=
                    "データ数は20以上120未満ですが、ロバスト法（変換後）の限界値の一方を変換前の"
                    "単位に戻せないため、推奨できる基準範囲の推定法はありません。";
            else if (r.n < kNonparametricRecommendedCount)
                advice +=
                    "データ数は20以上120未満ですが、ロバスト法の限界値を計算できないため、推奨"
                    "できる基準範囲の推定法はありません。";
            else
                advice +=
                    "データ数は120以上ですが、ノンパラメトリック法の限界値を計算できないため、"
                    "推奨できる基準範囲の推定法はありません。";
            break;
    }
    if (!r.normalityRejected) {
        if (r.reportFailed && r.n >= kRobustMinimumCount)
            advice +=
                "統計量の画面の正規性の検定がないため、パラメトリック法の限界値は用いないで下さい"
                "。";
    } else if (*r.normalityRejected) {
        if (r.lambda)
            advice +=
                "変換後のデータでも正規性が棄却されているため、パラメトリック法の限界値は用いないで"
                "下さい。";
        else if (r.recommendation == Recommendation::Robust && r.robust.available &&
                 !r.distribution.measured.lambda)
            // Without λ̂ the data cannot be transformed: the robust limits are the only ones
            // left, and their assumption of symmetry is what the reader must weigh.
            advice += "正規性が棄却されましたが、λを推定できないため" +
                      (r.hornReason.empty() ? std::string() : "（" + r.hornReason + "）") +
                      "データを変換できません。ロバスト法の限界値は対称な分布を前提とするため慎重"
                      "に用い、パラメトリック法の限界値は用いないで下さい。";
        else if (r.recommendation == Recommendation::Robust && r.robust.available)
            advice +=
                "正規性が棄却されたため、ロバスト法とパラメトリック法の限界値はデータを変換してから"
                "用いて下さい。";
        else
            advice +=
                "正規性が棄却されたため、パラメトリック法の限界値はデータを変換してから用いて下さい"
                "。";
    }
    return advice;
}

EvaluationView evaluationViewAfterRun(AnalysisStore& store, RunStatus status) {
    if (status == RunStatus::NoData) return {kEvaluationNoData, std::nullopt, {}};
    // None of the evaluation's figures needs the statistics report: a run that failed only
    // leaves its tests missing, and the evaluation says so.
    try {
        EvaluationInput input = evaluationInput(store);
        input.reportFailed = status == RunStatus::CalculationError;
        const EvaluationResult result = evaluate(input);
        EvaluationView view{evaluationText(result), std::nullopt, result.lambdaText};
        try {
            view.chart = chartInput(input, result);
        } catch (const CalcError&) {
            // The text stands without the charts.
        }
        return view;
    } catch (const std::exception&) {
    }
    return {std::string(kCalcErrorMessage) + kCrLf, std::nullopt, {}};
}

std::string evaluationTextAfterRun(AnalysisStore& store, RunStatus status) {
    return evaluationViewAfterRun(store, status).text;
}

std::string evaluationText(const EvaluationResult& r) {
    std::string text = std::string("                  基準範囲の評価 ") + kCrLf + kCrLf;
    text += "データ数=" + std::string(kTab) + numberText(r.n) + kCrLf;
    // The values excluded are taken from the first ones kept: read, kept, excluded and
    // evaluated add up.
    const auto excludedCount = static_cast<double>(r.excluded.size());
    if (r.valuesRead > r.n && !r.excluded.empty())
        text += "読み込んだ" + numberText(static_cast<double>(r.valuesRead)) + "個のうち先頭の" +
                numberText(r.n + excludedCount) + "個から" + numberText(excludedCount) +
                "個を除外した" + numberText(r.n) + "個を評価しています。" + kCrLf;
    else if (r.valuesRead > r.n)
        text += "読み込んだ" + numberText(static_cast<double>(r.valuesRead)) + "個のうち先頭の" +
                numberText(r.n) + "個を評価しています。" + kCrLf;
    if (!r.excluded.empty())
        text += numberText(static_cast<double>(r.excluded.size())) + "個を除外" + kCrLf;
    if (r.reportFailed)
        text += std::string(
                    "統計量の画面は計算エラーになりました。その正規性の検定は、計算できたものだけ"
                    "を使っています。") +
                kCrLf;
    std::string lambda = r.lambda ? r.lambdaText : std::string();
    if (r.lambda && *r.lambda == 0.0) lambda = "対数変換";
    text += "ベキ指数λ =" + std::string(kTab) + lambda + kCrLf + kCrLf;

    text += std::string("推定法") + kTab + "95%下限" + kTab + "90%信頼区間" + kTab + kTab + kTab +
            "95%上限" + kTab + "90%信頼区間" + kCrLf;
    const NonparametricEstimate& np = r.nonparametric;
    text += row(np.extrapolated ? "ノンパラメトリック法＊" : "ノンパラメトリック法", np.available,
                np.lower, np.upper);
    text += row("ロバスト法", r.robust.available, r.robust.lower, r.robust.upper);
    text += row("パラメトリック法", r.parametric.available, r.parametric.lower, r.parametric.upper);
    if (r.robustTransformed)
        text += row("ロバスト法（変換後）", r.robustTransformed->available,
                    r.robustTransformed->lower, r.robustTransformed->upper);
    if (r.parametricTransformed)
        text += row("パラメトリック法（変換後）", r.parametricTransformed->available,
                    r.parametricTransformed->lower, r.parametricTransformed->upper);
    text += kCrLf;

    if (np.extrapolated)
        text += std::string(
                    "＊ "
                    "データ数が39未満のため、ノンパラメトリック法の限界値はデータの範囲外への外挿で"
                    "す。") +
                kCrLf;
    if (np.ranks) {
        text += "ノンパラメトリック法の90%信頼区間: 小さい方から" + numberText(np.ranks->low) +
                "番目と" + numberText(np.ranks->high) + "番目（上限は" +
                numberText(r.n + 1 - np.ranks->high) + "番目と" +
                numberText(r.n + 1 - np.ranks->low) + "番目）の値" + kCrLf;
    } else {
        text += std::string(
                    "ノンパラメトリック法の90%信頼区間: "
                    "データ数が119未満のため、順位では求められません。") +
                kCrLf;
    }
    if (r.n < kRobustMinimumCount) {
        text += std::string("ロバスト法: データ数が20未満のため計算しません。") + kCrLf;
    } else if (!r.robust.available) {
        text +=
            std::string("ロバスト法: データのばらつき（中央絶対偏差）が0のため計算できません。") +
            kCrLf;
    } else {
        text += "ロバスト法の90%信頼区間: ブートストラップ法（パーセンタイル法）" +
                numberText(r.resamples) + "回、乱数の種 " + numberText(kBootstrapSeed) + kCrLf;
    }
    text += std::string("パラメトリック法: 平均値±1.96SD、90%信頼区間は ±1.645SD√(2.92/n)") + kCrLf;
    if (r.lambda)
        text += std::string(
                    "（変換後）: 変換したデータで求め、変換前の単位に戻した値（戻せない値は ―）") +
                kCrLf;
    else if (r.estimatedLambda)
        text += "（変換後）: 最尤λ = " + shown(*r.estimatedLambda) +
                " で変換したデータで求め、変換前の単位に戻した値（戻せない値は ―）" + kCrLf;
    text += kCrLf;

    text += distributionText(r.distribution, r.lambdaText) + kCrLf;

    if (!r.excluded.empty()) text += exclusionText(r.excluded) + kCrLf;
    text += std::string("外れ値の候補（除外はしていません）") + kCrLf;
    if (r.tukey)
        text += "Tukey法の範囲 =" + std::string(kTab) + shown(r.tukey->low) + kTab + "～" + kTab +
                shown(r.tukey->high) + kCrLf;
    if (r.hornLambda)
        text += "Horn法の最尤λ =" + std::string(kTab) + shown(*r.hornLambda) + kCrLf;
    else
        text += "Horn法: 使えません（" + r.hornReason + "）。" + kCrLf;
    if (r.n < kDixonReedMinimumCount)
        text += "Dixon-Reed法: ―（データ数が" + numberText(kDixonReedMinimumCount) +
                "未満のため判定しません）" + kCrLf;
    // With values excluded, the candidates are numbered as the data were read, as the record
    // above and the exclusion dialog number them, so that a position read here and typed there
    // takes out this value and no other.
    std::vector<int> out;
    for (const ExcludedValue& e : r.excluded) out.push_back(e.position);
    std::sort(out.begin(), out.end());
    const auto asRead = [&](int position) {
        for (const int e : out)
            if (e <= position) ++position;
        return position;
    };
    text += std::string(out.empty() ? "位置" : "読み込んだ順の位置") + kTab + "値" + kTab + "判定" +
            kCrLf;
    if (r.outliers.empty()) text += std::string("なし") + kCrLf;
    for (const FlaggedValue& v : r.outliers) {
        std::string rules;
        for (OutlierRule rule : v.rules)
            rules += (rules.empty() ? "" : "、") + outlierRuleName(rule);
        text += numberText(asRead(v.position)) + kTab + shown(v.value) + kTab + rules + kCrLf;
    }
    text += kCrLf + adviceText(r) + kCrLf;
    return text;
}

}  // namespace kijunchi
