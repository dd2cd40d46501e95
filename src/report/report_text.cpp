#include "report/report_text.h"

#include <cmath>

#include "analysis/number_text.h"
#include "analysis/statistics.h"
#include "report/normality.h"
#include "report/sig_round.h"

namespace kijunchi {

namespace {

constexpr const char* kTab = "\t";
constexpr const char* kCrLf = "\r\n";

std::string chiSquareVerdict(const ChiSquareTest& test, const std::string& nu,
                             const std::string& alpha) {
    if (test.statistic > test.critical)
        return "χo^2  > χ^2(" + nu + "," + alpha + ")  で正規性は棄却される。";
    return "χo^2  < χ^2(" + nu + "," + alpha + ")  で正規性を棄却することができない。";
}

// χo² to 4 significant digits; "∞" when a class holding values expects none.
std::string chiSquareText(double statistic) {
    if (std::isinf(statistic)) return "∞";
    return numberText(SigRound(statistic));
}

}  // namespace

std::string testAndReport(AnalysisStore& s) {
    const ChiSquareTest test = runChiSquareTest(s);

    const std::string n = numberText(s.WorkCount);
    const std::string mean = numberText(s.MeanValue), median = numberText(s.MedianValue);
    const std::string min = numberText(s.MinValue), max = numberText(s.MaxValue);
    const std::string sd = numberText(s.SDValue), variance = numberText(s.VarianceValue);
    const std::string paramLower = numberText(s.ParamLower), paramUpper = numberText(s.ParamUpper);
    const std::string skewZ = numberText(s.SkewTestZ), skewness = numberText(s.SkewnessValue);
    const std::string kurtZ = numberText(s.KurtTestZ), kurtosis = numberText(s.KurtosisValue);
    std::string lambda = s.LambdaShown.toText();
    if (lambda == "0") lambda = "対数変換";
    const std::string origLower = numberText(s.OrigLower), origUpper = numberText(s.OrigUpper);
    const std::string lowerCiLow = numberText(s.OrigLowerCILow);
    const std::string lowerCiHigh = numberText(s.OrigLowerCIHigh);
    const std::string upperCiLow = numberText(s.OrigUpperCILow);
    const std::string upperCiHigh = numberText(s.OrigUpperCIHigh);
    const std::string pct025 = numberText(s.OrigPct025), pct975 = numberText(s.OrigPct975);

    // The histogram table: one row per class with observed and expected frequencies.
    std::string rows;
    for (int i = 1; i <= s.HistClasses; ++i) {
        const auto at = static_cast<std::size_t>(i);
        const double lower = (i - 1) * s.ClassWidth + s.HistOrigin;
        const double upper = lower + s.ClassWidth;
        rows += numberText(i) + kTab + numberText(SigRound(lower)) + kTab + kTab + "-" + kTab +
                numberText(SigRound(upper)) + kTab + "｜" + kTab + numberText(s.ClassFreq[at]) +
                kTab + numberText(RoundDecimal(test.expected[at], 0)) + kCrLf;
    }

    const std::string nu = numberText(test.degreesOfFreedom);
    const std::string alpha = numberText(test.alpha);
    auto& line = s.ReportLines;
    line[1] = std::string("                  ヒストグラム ") + kCrLf;
    line[2] =
        std::string(kTab) + kTab + kTab + kTab + kTab + kTab + "度数" + kTab + "期待値" + kCrLf;
    line[3] = std::string(kCrLf) + kCrLf + "データ数=" + kTab + n + kCrLf;
    line[4] = "平均値  =" + std::string(kTab) + mean + kCrLf;
    line[5] = "中央値  =" + std::string(kTab) + median + kCrLf;
    line[6] = "最小値  =" + std::string(kTab) + min + kCrLf;
    line[7] = "最大値  =" + std::string(kTab) + max + kCrLf;
    line[8] = "分散　   =" + std::string(kTab) + variance + kCrLf;
    line[9] = "標準偏差=" + std::string(kTab) + sd + kCrLf;
    line[10] = "1.96SD  区間 　　　　　: " + std::string(kTab) + paramLower + kTab + " <---> " +
               kTab + paramUpper + kCrLf;
    line[11] = "ノンパラメトリック法　95%区間 : " + std::string(kTab) + pct025 + kTab + " <---> " +
               kTab + pct975 + kCrLf;
    line[12] = std::string(kCrLf) + "正規性の検定" + kCrLf;
    line[13] = std::string(kCrLf) + "歪度の検定" + kCrLf;
    line[14] = "歪度 = " + std::string(kTab) + skewness + kCrLf;
    line[15] = "Z1    = " + std::string(kTab) + skewZ + kCrLf;
    line[16] = zVerdict("Z1=", s.SkewTestZ);
    line[17] = std::string(kCrLf) + kCrLf + "尖度の検定" + kCrLf;
    line[18] = "尖度 = " + std::string(kTab) + kurtosis + kCrLf;
    line[19] = "Z2    = " + std::string(kTab) + kurtZ + kCrLf;
    line[20] = zVerdict("Z2=", s.KurtTestZ);
    line[21] = std::string(kCrLf) + kCrLf + "カイ二乗検定" + kCrLf;
    line[22] = "χo^2 (Kai-Value) =" + std::string(kTab) + chiSquareText(test.statistic) + kCrLf;
    line[23] = "χ^2(" + nu + "," + alpha + ")         =" + kTab +
               numberText(SigRound(test.critical)) + kCrLf;
    // An undecided test (the statistic equal to the critical value) keeps the last verdict.
    if (test.statistic != test.critical) line[24] = chiSquareVerdict(test, nu, alpha);
    line[25] = std::string(kCrLf) + kCrLf + kCrLf;
    line[26] =
        std::string("---------------- 臨床基準範囲-------------------------") + kCrLf + kCrLf;
    line[27] = "ベキ指数λ =" + std::string(kTab) + lambda + kCrLf + kCrLf + kCrLf;
    line[28] =
        std::string("ノンパラメトリック法（パーセンタイル法）--------------") + kCrLf + kCrLf;
    line[29] = "95%下限 = " + std::string(kTab) + pct025 + kCrLf;
    line[30] = "95%上限 = " + std::string(kTab) + pct975 + kCrLf + kCrLf + kCrLf;
    line[31] = std::string("パラメトリック法（ 平均値±1.96SD）------------------") + kCrLf + kCrLf;
    line[34] = "95%下限 =  " + std::string(kTab) + origLower + kCrLf;
    line[35] = "95%上限 =  " + std::string(kTab) + origUpper + kCrLf + kCrLf;
    line[36] = "95%下限の95%信頼区間 =  " + std::string(kTab) + lowerCiLow + kTab + " ～ " + kTab +
               lowerCiHigh + kCrLf;
    line[37] = "95%上限の95%信頼区間 =  " + std::string(kTab) + upperCiLow + kTab + " ～ " + kTab +
               upperCiHigh + kCrLf;

    std::string text = line[1] + line[2] + rows;
    for (std::size_t i = 3; i <= 38; ++i) text += line[i];
    return text;
}

}  // namespace kijunchi
