#include "indirect/site_spread.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "analysis/power_formula.h"

namespace kijunchi {

SiteSpread siteSpread(const IndirectResult& pooled, const std::vector<IndirectResult>& sites) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    SiteSpread out{kNaN, std::vector<double>(sites.size(), kNaN)};
    // The scale: the pool's fit, or where it has none the site's of median λ.
    const IndirectResult* scale = &pooled;
    if (!pooled.estimated() || !std::isfinite(pooled.lambda)) {
        std::vector<const IndirectResult*> fitted;
        for (const auto& s : sites)
            if (s.estimated() && std::isfinite(s.lambda)) fitted.push_back(&s);
        if (fitted.empty()) return out;
        std::sort(
            fitted.begin(), fitted.end(),
            [](const IndirectResult* a, const IndirectResult* b) { return a->lambda < b->lambda; });
        scale = fitted[fitted.size() / 2];
    }
    const double lambda = scale->lambda, shift = std::isfinite(scale->shift) ? scale->shift : 0;
    std::vector<double> centre(sites.size(), kNaN);
    std::vector<double> centres;
    double weights = 0, mean = 0, within = 0;
    for (std::size_t i = 0; i < sites.size(); ++i) {
        const IndirectResult& s = sites[i];
        if (!s.estimated()) continue;
        const auto lo = powerTransformed(lambda, s.lower - shift);
        const auto hi = powerTransformed(lambda, s.upper - shift);
        const double w = s.fraction * static_cast<double>(s.total);
        if (!lo || !hi || !std::isfinite(*lo) || !std::isfinite(*hi) || !(w > 0)) continue;
        centre[i] = (*lo + *hi) / 2;
        const double sd = (*hi - *lo) / (2 * 1.959963984540054);
        centres.push_back(centre[i]);
        weights += w;
        mean += w * centre[i];
        within += w * sd * sd;
    }
    if (centres.size() < 2 || !(within > 0)) return out;
    mean /= weights;
    within = std::sqrt(within / weights);
    double between = 0;
    for (std::size_t i = 0; i < sites.size(); ++i)
        if (std::isfinite(centre[i])) {
            const double d = centre[i] - mean;
            between += sites[i].fraction * static_cast<double>(sites[i].total) * d * d;
        }
    out.ratio = std::sqrt(between / weights) / within;
    std::sort(centres.begin(), centres.end());
    const std::size_t k = centres.size();
    const double median = k % 2 ? centres[k / 2] : (centres[k / 2 - 1] + centres[k / 2]) / 2;
    for (std::size_t i = 0; i < sites.size(); ++i)
        if (std::isfinite(centre[i])) out.shifts[i] = (centre[i] - median) / within;
    return out;
}

std::vector<ExtraColumn> siteColumns() {
    return {{"施設", "site"}, {"施設間SD比", "site_sd_ratio"}, {"施設の注意", "site_note"}};
}

std::vector<ExtraCell> siteExtraCells(const IndirectSiteCells& cells) {
    return {ExtraCell::of(cells.site),
            ExtraCell::of(std::isfinite(cells.sdRatio) ? std::optional<double>(cells.sdRatio)
                                                       : std::nullopt),
            ExtraCell::of(cells.note)};
}

std::vector<IndirectSiteCells> siteCells(const std::vector<std::string>& names,
                                         const IndirectResult& pooled,
                                         const std::vector<IndirectResult>& sites) {
    const SiteSpread spread = siteSpread(pooled, sites);
    std::vector<IndirectSiteCells> cells;
    cells.push_back(
        {"全施設", spread.ratio,
         spread.ratio >= kSiteRatioNotable
             ? "施設間SD比が0.3以上: 施設によって分布が異なります（施設ごとの行を確認して下さい）"
             : ""});
    for (std::size_t i = 0; i < sites.size() && i < names.size(); ++i) {
        const double shift = spread.shifts[i];
        std::string note;
        if (std::fabs(shift) >= kSiteRatioNotable)
            note = shift > 0 ? "この施設は他の施設より高い側にずれています"
                             : "この施設は他の施設より低い側にずれています";
        cells.push_back({names[i], shift, note});
    }
    return cells;
}

}  // namespace kijunchi
