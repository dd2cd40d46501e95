#pragma once
// How far the sites of a multi-centre pool differ in one partition, from the fits of each site
// and of the pool.
//
// Each site's non-pathological distribution is read from its limits on the pool's transformed
// scale T (the pool's λ and shift; where the pool was not estimated, those of the site of median
// λ): its centre c = (T(lower) + T(upper)) / 2 and its SD s = (T(upper) − T(lower)) / (2 · 1.96),
// weighted by the site's non-pathological results (fraction × total). The between-site SD ratio is
// the weighted SD of the centres over the weighted root mean square of the SDs (the SD ratio of
// partitioning, between-group over within-group SD); a site's own shift is its centre's
// distance from the median of the centres in the same SDs, signed, so that with three or more
// sites the one that differs stands out and the others stay near 0.
#include <string>
#include <vector>

#include "indirect/indirect_estimate.h"
#include "indirect/indirect_table.h"

namespace kijunchi {

// An SD ratio from which the partition (or the site) is worth a look: the usual threshold for
// partitioning reference intervals.
inline constexpr double kSiteRatioNotable = 0.3;

struct SiteSpread {
    double ratio;                // NaN with fewer than two sites with limits
    std::vector<double> shifts;  // per site, NaN where the site has no limits
};

// The site cells of a row where a site column was kept through pooling: a partition's rows are
// the pool's ("全施設") and then one per site, with three more columns: the site, the
// between-site SD ratio (on a site's row, that site's own shift in the same SDs), and what they
// call for.
struct IndirectSiteCells {
    std::string site;
    double sdRatio = 0;  // NaN where there is none
    std::string note;
};
std::vector<ExtraColumn> siteColumns();
std::vector<ExtraCell> siteExtraCells(const IndirectSiteCells& cells);

SiteSpread siteSpread(const IndirectResult& pooled, const std::vector<IndirectResult>& sites);

// The site cells of a partition's rows: the pool's ("全施設", the ratio) first, then each
// site's (its name, its shift), each noted where it reaches kSiteRatioNotable.
std::vector<IndirectSiteCells> siteCells(const std::vector<std::string>& names,
                                         const IndirectResult& pooled,
                                         const std::vector<IndirectResult>& sites);

}  // namespace kijunchi
