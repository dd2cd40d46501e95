#include "study/verification.h"

#include <cmath>

#include "analysis/distributions.h"
#include "analysis/number_text.h"

namespace kijunchi {

Verification verifyInterval(double lower, double upper, const std::vector<double>& values) {
    Verification v;
    v.lower = lower;
    v.upper = upper;
    v.n = static_cast<int>(values.size());
    if (!std::isfinite(lower) || !std::isfinite(upper)) {
        v.refusal = "下限と上限には数値を入力して下さい。";
        return v;
    }
    if (!(lower < upper)) {
        v.refusal = "下限（" + numberText(lower) + "）が上限（" + numberText(upper) +
                    "）より小さくありません。下限と上限を確かめて下さい。";
        return v;
    }
    if (v.n < kVerificationMinimum) {
        v.refusal = "検証には20個以上の値が必要です（データ数 " + std::to_string(v.n) + "）。";
        return v;
    }
    for (double x : values) {
        if (x < lower) ++v.below;
        if (x > upper) ++v.above;
    }
    v.outside = v.below + v.above;
    v.share = double(v.outside) / v.n;
    v.probability = binomialUpperTail(v.outside, v.n, kOutsideShare);
    v.byCount = v.n == kVerificationMinimum;
    v.accepted = v.byCount ? v.outside <= 2 : !(v.probability < kVerificationLevel);
    return v;
}

Verification verifyTypedInterval(const std::string& lower, const std::string& upper,
                                 const std::vector<double>& values) {
    const auto low = wholeNumber(lower), high = wholeNumber(upper);
    if (!low || !high) {
        Verification v;
        v.n = static_cast<int>(values.size());
        v.refusal =
            "下限と上限には数値を入力して下さい（下限「" + lower + "」、上限「" + upper + "」）。";
        return v;
    }
    return verifyInterval(*low, *high, values);
}

namespace {

// The ages of the rows of the analyte that a subject of this sex may take ("18〜65歳、65歳〜");
// empty when none of them has ages.
std::string bandsOf(const std::vector<const AdoptedRow*>& rows, std::optional<AdoptedSex> sex) {
    std::string bands;
    for (const AdoptedRow* r : rows) {
        if (r->sex != AdoptedSex::Common && sex && *sex != r->sex) continue;
        const std::string band = ageBandText(*r);
        if (band.empty() || bands.find(band) != std::string::npos) continue;
        bands += (bands.empty() ? "" : "、") + band;
    }
    return bands;
}

// The row, or nullptr with the reason; `asked` names an age asked for ("70歳"), empty when the
// ages come as a band or not at all.
const AdoptedRow* chooseRow(const AdoptedTable& table, const std::string& analyte,
                            std::optional<AdoptedSex> sex, std::optional<double> ageLow,
                            std::optional<double> ageHigh, const std::string& asked,
                            std::string& reason) {
    const auto rows = findAnalyte(table, analyte);
    std::size_t fitting = 0;
    const AdoptedRow* row = matchPartition(rows, sex, ageLow, ageHigh, reason, &fitting);
    if (row) return row;
    bool bySex = false;
    for (const AdoptedRow* r : rows) bySex = bySex || r->sex != AdoptedSex::Common;
    const std::string bands = bandsOf(rows, sex);
    const bool noneFits = fitting == 0;
    if (!rows.empty() && !sex && bySex)
        reason = "性別ごとの基準範囲です。性別を選んで下さい";
    else if (noneFits && !bands.empty() && !ageLow)
        reason = "年齢ごとの基準範囲です（" + bands + "）。年齢を指定して下さい";
    else if (noneFits && !bands.empty() && !asked.empty())
        reason = asked + "を含む年齢の行がありません（この項目の年齢: " + bands + "）";
    reason = table.name + " の「" + analyte + "」: " + reason + "。";
    return nullptr;
}

}  // namespace

const AdoptedRow* verificationRow(const AdoptedTable& table, const std::string& analyte,
                                  std::optional<AdoptedSex> sex, std::optional<double> ageLow,
                                  std::optional<double> ageHigh, std::string& reason) {
    return chooseRow(table, analyte, sex, ageLow, ageHigh, "", reason);
}

const AdoptedRow* verificationRowAtAge(const AdoptedTable& table, const std::string& analyte,
                                       std::optional<AdoptedSex> sex, std::optional<double> age,
                                       std::string& reason) {
    if (!age) return chooseRow(table, analyte, sex, std::nullopt, std::nullopt, "", reason);
    // The age as the narrowest band that starts at it: [age, next double) lies inside a row's
    // [年齢下限, 年齢上限) exactly when 年齢下限 ≤ age < 年齢上限.
    return chooseRow(table, analyte, sex, *age, std::nextafter(*age, INFINITY),
                     numberText(*age) + "歳", reason);
}

std::string verificationSource(const AdoptedTable& table, const AdoptedRow& row) {
    const std::string band = ageBandText(row);
    const std::string ages = band.empty() ? "" : " " + band;
    return table.name + " " + row.analyte + " " + sexText(row.sex) + ages +
           (row.unit.empty() ? "" : " (" + row.unit + ")") +
           (row.source.empty() ? "" : "：" + row.source);
}

Verification verifyRow(const AdoptedTable& table, const AdoptedRow* row, const std::string& reason,
                       const std::vector<double>& values) {
    if (!row) {
        Verification v;
        v.n = static_cast<int>(values.size());
        v.refusal = reason;
        return v;
    }
    Verification v = verifyInterval(row->lower, row->upper, values);
    v.source = verificationSource(table, *row);
    return v;
}

Verification verifyTableInterval(const AdoptedTable& table, const std::string& analyte,
                                 std::optional<AdoptedSex> sex, const std::vector<double>& values,
                                 std::optional<double> ageLow, std::optional<double> ageHigh) {
    std::string reason;
    const AdoptedRow* row = verificationRow(table, analyte, sex, ageLow, ageHigh, reason);
    return verifyRow(table, row, reason, values);
}

}  // namespace kijunchi
