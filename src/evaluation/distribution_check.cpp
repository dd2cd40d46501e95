#include "evaluation/distribution_check.h"

#include "analysis/number_text.h"
#include "report/sig_round.h"

namespace kijunchi {

namespace {

constexpr const char* kTab = "\t";
constexpr const char* kCrLf = "\r\n";

std::string shown(double v) {
    return numberText(SigRound(v));
}

std::string verdict(double p) {
    return p < 0.05 ? "P<0.05で正規性は棄却される。" : "P≧0.05で正規性を棄却することができない。";
}

std::string testLines(const DistributionTests& t) {
    std::string text;
    if (t.shapiroWilk)
        text += std::string("Shapiro-Wilk検定") + kTab + "W =" + kTab + shown(t.shapiroWilk->w) +
                kTab + "p =" + kTab + shown(t.shapiroWilk->p) + kTab + verdict(t.shapiroWilk->p) +
                kCrLf;
    else
        text +=
            std::string("Shapiro-Wilk検定") + kTab +
            (t.n > kShapiroWilkMaxCount ? "データ数が5000を超えるため計算しません。"
                                        : "データ数が3未満か、すべて同じ値のため計算しません。") +
            kCrLf;
    if (t.andersonDarling)
        text += std::string("Anderson-Darling検定") + kTab + "A² =" + kTab +
                shown(t.andersonDarling->a2) + kTab + "p =" + kTab + shown(t.andersonDarling->p) +
                kTab + verdict(t.andersonDarling->p) + kTab +
                "（補正A² = " + shown(t.andersonDarling->corrected) + "）" + kCrLf;
    else
        text += std::string("Anderson-Darling検定") + kTab +
                "データ数が8未満か、すべて同じ値のため計算しません。" + kCrLf;
    text += t.lambdaText + kCrLf;
    return text;
}
}  // namespace

DistributionTests testDistribution(const std::vector<double>& values) {
    DistributionTests tests;
    tests.n = static_cast<int>(values.size());
    tests.shapiroWilk = shapiroWilk(values);
    tests.andersonDarling = andersonDarling(values);
    tests.lambda = estimateLambda(values);
    tests.lambdaText = lambdaEstimateText(tests.lambda, values);
    return tests;
}

std::string distributionText(const DistributionCheck& check, const std::string& lambdaText) {
    std::string text = std::string("正規性の検定（変換前のデータ）") + kCrLf;
    text += testLines(check.measured);
    if (check.transformed) {
        text += "正規性の検定（λ=" + lambdaText + "で変換したデータ）" + kCrLf;
        text += testLines(*check.transformed);
    }
    return text;
}

}  // namespace kijunchi
