#pragma once
// The outlier screen: rules that flag values for the technologist to decide about. Nothing
// is removed.
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace kijunchi {

enum class OutlierRule {
    Tukey,          // outside Q1 - 1.5·IQR .. Q3 + 1.5·IQR of the values as measured
    Horn,           // the same fences after the power transformation with λ of largest likelihood
    DixonReedLow,   // lowest value: gap to the next >= one third of the range
    DixonReedHigh,  // highest value: the same at the top
};

// The rule's name as the texts show it: "Tukey法", "Horn法", "Dixon-Reed法（下端）", ….
std::string outlierRuleName(OutlierRule rule);

struct Fences {
    double low = 0;
    double high = 0;
};

// Tukey's fences of values (any order), with the quartiles by the percentile routine's
// (n + 1)p rank; nullopt for fewer than 2 values.
std::optional<Fences> tukeyFences(std::span<const double> values);

// The same fences of values already in ascending order.
std::optional<Fences> fencesOfSorted(std::span<const double> sorted);

// Positions (0-based, into values) flagged by Tukey's fences.
std::vector<int> tukeyOutliers(std::span<const double> values);
// Positions (0-based, into values) outside the fences; none without fences.
std::vector<int> outsideFences(std::span<const double> values, const std::optional<Fences>& fences);

// Positions flagged by Tukey's fences on y = (x^λ - 1)/λ + λ (λ = 0: ln x). Empty when a value
// is not positive (the transformation needs positive values).
std::vector<int> hornOutliers(std::span<const double> values, double lambda);

struct DixonReedFlags {
    std::vector<int> low;   // positions flagged at the lower end, outermost first
    std::vector<int> high;  // positions flagged at the upper end, outermost first
};

// Dixon–Reed at both ends, repeated on the remaining values while it flags (at least three
// values must remain for a test).
DixonReedFlags dixonReedOutliers(std::span<const double> values);

struct DixonReedCounts {
    std::size_t low = 0;   // the lowest `low` values are flagged
    std::size_t high = 0;  // and the highest `high`
};

// The same rule on values already in ascending order, told as counts at each end.
DixonReedCounts dixonReedOfSorted(std::span<const double> sorted);

}  // namespace kijunchi
