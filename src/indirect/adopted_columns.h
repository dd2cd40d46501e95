#pragma once
// The comparison of the indirect method's estimate with an adopted reference interval, per
// partition: which estimates may be judged, the row of a table that holds for a partition, and
// the columns the comparison adds to the indirect method's table.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "adopted/adopted_check.h"
#include "adopted/adopted_table.h"
#include "indirect/extract.h"
#include "indirect/indirect_estimate.h"
#include "indirect/indirect_table.h"

namespace kijunchi {

// The estimate as the comparison takes it. Not judged: a refused estimate; a warned one (its
// caution: the two methods disagree, the 90% interval is too wide, …) or one of whose resamples
// fewer than half gave limits.
LocalEstimate localEstimate(const IndirectResult& r);

// The adopted interval a comparison is made against: typed limits, or an analyte of a table.
struct AdoptedChoice {
    std::optional<std::pair<double, double>> typed;
    const AdoptedTable* table = nullptr;  // kept alive by the caller
    std::string analyte;
};

// The comparison for one partition: the row of the table that holds for its sex (its group's
// text) and age band (of ageBands), or the typed limits, against its estimate.
AdoptedComparison compareWithPartition(const AdoptedChoice& choice, const PartitionCounts& p,
                                       const std::vector<double>& ageBands,
                                       const IndirectResult& r);

// 採用下限, 採用上限, the four ends of the adopted limits' margins and of the estimated ones,
// 判定下限, 判定上限, 判定, 採用の出典.
std::vector<ExtraColumn> adoptedColumns();
std::vector<ExtraCell> adoptedCells(const AdoptedComparison& c);

}  // namespace kijunchi
