#pragma once
// Taking values out of the data set: those a rule of the outlier screen flags, or any chosen by
// position, each recorded with its rule, who took it out and when. The values themselves stay in
// the record; the data set is the others.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "analysis/store.h"
#include "evaluation/outliers.h"

namespace kijunchi {

// The values of `values` (the data as read, in order) that `rules` flag when the evaluation
// screens them, or those at `positions` (from 1); each with who and when.
std::vector<ExcludedValue> flaggedExclusions(const std::vector<double>& values,
                                             const std::vector<OutlierRule>& rules,
                                             const std::string& who, const std::string& when);
std::vector<ExcludedValue> positionExclusions(const std::vector<double>& values,
                                              const std::vector<int>& positions,
                                              const std::string& who, const std::string& when);

// The values left when the excluded positions are taken out, in their order.
std::vector<double> keptValues(const std::vector<double>& values,
                               const std::vector<ExcludedValue>& excluded);

// "tukey", "horn", "dixon" (any case) as the rules they name; nullopt for another word.
std::optional<std::vector<OutlierRule>> outlierRulesNamed(std::string_view name);
// Those rules as one name: "Tukey法", "Horn法", "Dixon-Reed法" (both its ends).
std::string outlierRulesName(const std::vector<OutlierRule>& rules);

// The rule that took the value out as the record and the windows name it: the rule's name, or
// "位置を指定" for one chosen by its position.
std::string exclusionRuleLabel(const ExcludedValue& excluded);

// The record's section (CR LF, TAB between columns): a heading and a row for each value.
std::string exclusionText(const std::vector<ExcludedValue>& excluded);

}  // namespace kijunchi
