#include "indirect/adopted_columns.h"

#include <cmath>

#include "analysis/number_text.h"
#include "report/sig_round.h"

namespace kijunchi {

LocalEstimate localEstimate(const IndirectResult& r) {
    LocalEstimate e;
    e.lower = r.lower;
    e.upper = r.upper;
    e.lambda = r.lambda;
    e.shift = r.shift;
    if (!r.estimated()) {
        e.notUsable = r.refusal;
    } else if (!r.caution.empty()) {
        e.notUsable = r.caution;
    } else if (r.resamples > 0 && 2 * r.resamplesFitted < r.resamples) {
        e.notUsable = "再標本" + std::to_string(r.resamples) + "回のうち推定できたのが" +
                      std::to_string(r.resamplesFitted) + "回だけです";
    }
    return e;
}

AdoptedComparison compareWithPartition(const AdoptedChoice& choice, const PartitionCounts& p,
                                       const std::vector<double>& ageBands,
                                       const IndirectResult& r) {
    if (choice.typed) {
        AdoptedComparison c =
            compareWithAdopted(choice.typed->first, choice.typed->second, localEstimate(r));
        c.source = "入力した範囲";
        return c;
    }
    if (!choice.table) return notComparable("採用中の基準範囲がありません");
    std::optional<AdoptedSex> sex;
    if (!p.group.empty()) sex = sexOfGroup(p.group);
    std::optional<double> ageLow, ageHigh;
    if (p.band >= 0 && std::size_t(p.band) + 1 < ageBands.size()) {
        ageLow = ageBands[std::size_t(p.band)];
        ageHigh = ageBands[std::size_t(p.band) + 1];
    }
    std::string reason;
    const AdoptedRow* row =
        matchPartition(findAnalyte(*choice.table, choice.analyte), sex, ageLow, ageHigh, reason);
    if (!row) return notComparable(reason);
    AdoptedComparison c = compareWithAdopted(row->lower, row->upper, localEstimate(r));
    c.source = choice.table->name + " " + row->analyte + " " + sexText(row->sex) +
               (row->unit.empty() ? "" : " (" + row->unit + ")") +
               (row->source.empty() ? "" : "：" + row->source);
    return c;
}

std::vector<ExtraColumn> adoptedColumns() {
    return {{"採用下限", "adopted_lower"},
            {"採用上限", "adopted_upper"},
            {"採用下限の幅下", "adopted_lower_margin_low"},
            {"採用下限の幅上", "adopted_lower_margin_high"},
            {"採用上限の幅下", "adopted_upper_margin_low"},
            {"採用上限の幅上", "adopted_upper_margin_high"},
            {"推定下限の幅下", "lower_margin_low"},
            {"推定下限の幅上", "lower_margin_high"},
            {"推定上限の幅下", "upper_margin_low"},
            {"推定上限の幅上", "upper_margin_high"},
            {"判定下限", "verdict_lower"},
            {"判定上限", "verdict_upper"},
            {"判定", "verdict"},
            {"採用の出典", "adopted_source"}};
}

std::vector<ExtraCell> adoptedCells(const AdoptedComparison& c) {
    auto num = [](std::optional<double> v) {
        return ExtraCell::of(v && std::isfinite(*v) ? v : std::nullopt);
    };
    std::vector<ExtraCell> cells{num(c.adoptedLower), num(c.adoptedUpper)};
    for (const auto& m : {c.adoptedMargins, c.estimatedMargins}) {
        for (const Margin* limit : {m ? &m->lower : nullptr, m ? &m->upper : nullptr}) {
            cells.push_back(num(limit ? std::optional<double>(limit->low) : std::nullopt));
            cells.push_back(num(limit ? std::optional<double>(limit->high) : std::nullopt));
        }
    }
    cells.push_back(ExtraCell::of(verdictText(c.lower)));
    cells.push_back(ExtraCell::of(verdictText(c.upper)));
    cells.push_back(ExtraCell::of(c.overallText()));
    cells.push_back(ExtraCell::of(c.source));
    return cells;
}

}  // namespace kijunchi
