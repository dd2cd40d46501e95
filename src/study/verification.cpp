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

const AdoptedRow* verificationRow(const AdoptedTable& table, const std::string& analyte,
                                  std::optional<AdoptedSex> sex, std::optional<double> ageLow,
                                  std::optional<double> ageHigh, std::string& reason) {
    const auto rows = findAnalyte(table, analyte);
    const AdoptedRow* row = matchPartition(rows, sex, ageLow, ageHigh, reason);
    if (!row && !sex && rows.size() > 1) reason = "性別ごとの基準範囲です。性別を選んで下さい";
    if (!row) reason = table.name + " の「" + analyte + "」: " + reason + "。";
    return row;
}

std::string verificationSource(const AdoptedTable& table, const AdoptedRow& row) {
    const std::string band = ageBandText(row);
    const std::string ages = band.empty() ? "" : " " + band;
    return table.name + " " + row.analyte + " " + sexText(row.sex) + ages +
           (row.unit.empty() ? "" : " (" + row.unit + ")") +
           (row.source.empty() ? "" : "：" + row.source);
}

Verification verifyTableInterval(const AdoptedTable& table, const std::string& analyte,
                                 std::optional<AdoptedSex> sex, const std::vector<double>& values,
                                 std::optional<double> ageLow, std::optional<double> ageHigh) {
    std::string reason;
    const AdoptedRow* row = verificationRow(table, analyte, sex, ageLow, ageHigh, reason);
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

}  // namespace kijunchi
