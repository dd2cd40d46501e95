#include "evaluation/exclusion.h"

#include <algorithm>
#include <cctype>

#include "analysis/number_text.h"
#include "evaluation/evaluation.h"
#include "report/sig_round.h"

namespace kijunchi {

std::vector<ExcludedValue> flaggedExclusions(const std::vector<double>& values,
                                             const std::vector<OutlierRule>& rules,
                                             const std::string& who, const std::string& when) {
    EvaluationInput input;
    input.measured = values;
    input.resamples = 0;
    const EvaluationResult result = evaluate(input);
    std::vector<ExcludedValue> excluded;
    for (const FlaggedValue& v : result.outliers) {
        std::string names;
        for (OutlierRule rule : v.rules) {
            if (std::find(rules.begin(), rules.end(), rule) == rules.end()) continue;
            const std::string name = outlierRuleName(rule);
            if (names.find(name) == std::string::npos) names += (names.empty() ? "" : "、") + name;
        }
        if (!names.empty()) excluded.push_back({v.position, v.value, names, who, when});
    }
    return excluded;
}

std::vector<ExcludedValue> positionExclusions(const std::vector<double>& values,
                                              const std::vector<int>& positions,
                                              const std::string& who, const std::string& when) {
    std::vector<int> sorted = positions;
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    std::vector<ExcludedValue> excluded;
    for (int p : sorted)
        if (p >= 1 && p <= static_cast<int>(values.size()))
            excluded.push_back({p, values[static_cast<std::size_t>(p - 1)], "", who, when});
    return excluded;
}

std::vector<double> keptValues(const std::vector<double>& values,
                               const std::vector<ExcludedValue>& excluded) {
    std::vector<bool> out(values.size(), false);
    for (const ExcludedValue& e : excluded)
        if (e.position >= 1 && e.position <= static_cast<int>(values.size()))
            out[static_cast<std::size_t>(e.position - 1)] = true;
    std::vector<double> kept;
    kept.reserve(values.size());
    for (std::size_t i = 0; i < values.size(); ++i)
        if (!out[i]) kept.push_back(values[i]);
    return kept;
}

std::optional<std::vector<OutlierRule>> outlierRulesNamed(std::string_view name) {
    std::string lower(name);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (lower == "tukey") return std::vector<OutlierRule>{OutlierRule::Tukey};
    if (lower == "horn") return std::vector<OutlierRule>{OutlierRule::Horn};
    if (lower == "dixon")
        return std::vector<OutlierRule>{OutlierRule::DixonReedLow, OutlierRule::DixonReedHigh};
    return std::nullopt;
}

std::string outlierRulesName(const std::vector<OutlierRule>& rules) {
    if (rules.empty()) return {};
    // The ends of one rule share its name before the bracket: "Dixon-Reed法（下端）".
    const std::string name = outlierRuleName(rules.front());
    return rules.size() == 1 ? name : name.substr(0, name.find("（"));
}

std::string exclusionRuleLabel(const ExcludedValue& excluded) {
    return excluded.rule.empty() ? std::string("位置を指定") : excluded.rule;
}

std::string exclusionText(const std::vector<ExcludedValue>& excluded) {
    if (excluded.empty()) return {};
    std::string text = "除外した値（計算には使っていません）\r\n";
    text += "読み込んだ順の位置\t値\t判定\t除外した人\t日時\r\n";
    for (const ExcludedValue& e : excluded)
        text += numberText(e.position) + "\t" + numberText(SigRound(e.value)) + "\t" +
                exclusionRuleLabel(e) + "\t" + (e.who.empty() ? std::string("―") : e.who) + "\t" +
                e.when + "\r\n";
    return text;
}

}  // namespace kijunchi
