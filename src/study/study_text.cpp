#include "study/study_text.h"

#include <cmath>

#include "analysis/number_text.h"
#include "files/table_text.h"
#include "report/sig_round.h"

namespace kijunchi {

namespace {

constexpr const char* kCrLf = "\r\n";
constexpr const char* kMissing = "－";

std::string optionalNumber(const std::optional<double>& v) {
    return v ? studyNumber(*v) : std::string(kMissing);
}

std::string pairVerdict(const HarrisBoyd& t) {
    if (t.meansDiffer && t.spreadsDiffer) return "平均値とSDに差あり";
    if (t.meansDiffer) return "平均値に差あり";
    if (t.spreadsDiffer) return "SDに差あり";
    return "差なし";
}

}  // namespace

std::string studyNumber(double v) {
    if (!std::isfinite(v)) return kMissing;
    return numberText(SigRound(v, 4));
}

std::string partitionText(const PartitionStudy& study) {
    std::string t = "分割の検討";
    t += kCrLf;
    t += kCrLf;
    if (!study.refusal.empty()) return t + study.refusal + kCrLf;

    t += "グループ\tデータ数\t平均値\t標準偏差";
    t += kCrLf;
    for (const auto& g : study.groups) {
        t += spreadsheetCell(g.name) + "\t" + std::to_string(g.n) + "\t" +
             (g.n > 0 ? studyNumber(g.mean) : std::string(kMissing)) + "\t" + optionalNumber(g.sd) +
             kCrLf;
    }
    t += kCrLf;
    t += "Harris-Boyd法（z* = 3√((n1+n2)/240)、SD比の基準 1.5）";
    t += kCrLf;
    t += "グループ\tz\tz*\tSD比\t判定";
    t += kCrLf;
    for (const auto& p : study.pairs) {
        t += spreadsheetCell(study.groups[static_cast<std::size_t>(p.a)].name + " : " +
                             study.groups[static_cast<std::size_t>(p.b)].name) +
             "\t" + optionalNumber(p.z) + "\t" + studyNumber(p.zCritical) + "\t" +
             optionalNumber(p.sdRatio) + "\t" + pairVerdict(p) + kCrLf;
    }
    if (study.anova) {
        t += kCrLf;
        t += "分散分析（SDR = グループ間SD / グループ内SD、基準 0.4）";
        t += kCrLf;
        t += "グループ間SD =\t" + studyNumber(study.anova->sdBetween) + kCrLf;
        t += "グループ内SD =\t" + studyNumber(study.anova->sdWithin) + kCrLf;
        t += "SDR =\t" + optionalNumber(study.anova->sdr) + kCrLf;
    }
    if (!study.notes.empty()) {
        t += kCrLf;
        for (const auto& note : study.notes) t += note + kCrLf;
    }
    t += kCrLf;
    t += study.advice + kCrLf;
    return t;
}

std::string verificationText(const Verification& v) {
    std::string t = "基準範囲の検証";
    t += kCrLf;
    t += kCrLf;
    if (!v.refusal.empty()) return t + v.refusal + kCrLf;
    t += "基準範囲 =\t" + numberText(v.lower) + "\t <---> \t" + numberText(v.upper) + kCrLf;
    if (!v.source.empty()) t += "出典 =\t" + v.source + kCrLf;
    t += "データ数 =\t" + std::to_string(v.n) + kCrLf;
    t += "範囲外 =\t" + std::to_string(v.outside) + "\t（" + studyNumber(100.0 * v.share) + "%）" +
         kCrLf;
    t += "下限未満 =\t" + std::to_string(v.below) + kCrLf;
    t += "上限超過 =\t" + std::to_string(v.above) + kCrLf;
    t += "範囲外が" + std::to_string(v.outside) + "個以上になる確率 =\t" +
         studyNumber(v.probability) + "\t（二項分布、範囲外の割合5%）" + kCrLf;
    t += kCrLf;
    if (v.byCount) {
        t += v.accepted ? "判定: 採用できます（20個中、範囲外は2個以下）。"
                        : "判定: 採用できません（20個中、範囲外が3個以上）。"
                          "新しい20個で検証し直すか、自施設で基準範囲を求めて下さい。";
    } else {
        t += v.accepted ? "判定: 採用できます（範囲外の割合は5%を有意に超えません。"
                          "正確な二項検定、片側10%水準）。"
                        : "判定: 採用できません（範囲外の割合が5%を有意に超えます。"
                          "正確な二項検定、片側10%水準）。";
    }
    t += kCrLf;
    return t;
}

}  // namespace kijunchi
