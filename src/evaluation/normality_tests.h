#pragma once
// Tests of normality for the evaluation: Shapiro–Wilk W with Royston's p-value and
// Anderson–Darling A² with the p-value of D'Agostino and Stephens.
#include <optional>
#include <span>

namespace kijunchi {

inline constexpr int kShapiroWilkMinCount = 3;
inline constexpr int kShapiroWilkMaxCount = 5000;
inline constexpr int kAndersonDarlingMinCount = 8;

struct ShapiroWilkResult {
    double w = 0;
    double p = 0;
};

// W and its p-value by Royston's approximation (Applied Statistics algorithm AS R94, 1995):
// nullopt outside 3 ≤ n ≤ 5000 or when all values are equal. The values need not be sorted.
std::optional<ShapiroWilkResult> shapiroWilk(std::span<const double> values);

struct AndersonDarlingResult {
    double a2 = 0;         // A² against the normal with the sample's mean and SD
    double corrected = 0;  // A²·(1 + 0.75/n + 2.25/n²)
    double p = 0;          // from the corrected A² (D'Agostino and Stephens 1986, Table 4.9)
};

// nullopt below 8 values or when all values are equal. The values need not be sorted.
std::optional<AndersonDarlingResult> andersonDarling(std::span<const double> values);

}  // namespace kijunchi
