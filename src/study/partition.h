#pragma once
// Whether one reference interval serves all groups of a data set (women and men, age bands) or
// each group needs its own: per-group moments, the Harris–Boyd test between two groups and the
// between-group SD ratio of a one-way analysis of variance.
#include <optional>
#include <string>
#include <vector>

namespace kijunchi {

// The values of one group, in the order they were read.
struct ValueGroup {
    std::string name;
    std::vector<double> values;
};

// Splits values by their labels; groups in the order of their first value.
std::vector<ValueGroup> groupValues(const std::vector<double>& values,
                                    const std::vector<std::string>& labels);

struct GroupMoments {
    std::string name;
    int n = 0;
    double mean = 0;
    std::optional<double> sd;  // missing below two values
};

// Harris and Boyd (1990) between groups a and b (indices into the groups):
// z = |x̄a − x̄b| / √(sa²/na + sb²/nb) against z* = 3·√((na + nb)/240), and the larger SD over
// the smaller against 1.5.
struct HarrisBoyd {
    int a = 0, b = 0;
    std::optional<double> z;  // missing when both groups have SD 0
    double zCritical = 0;
    std::optional<double> sdRatio;  // missing when the smaller SD is 0
    bool meansDiffer = false;       // z > z*
    bool spreadsDiffer = false;     // SD ratio > 1.5 (or one SD 0 and the other not)
};

// One-way analysis of variance with unequal group sizes: SD between groups over SD within.
struct AnovaRatio {
    double sdBetween = 0;  // 0 when the between-group mean square is below the within one
    double sdWithin = 0;
    std::optional<double> sdr;     // missing when every group is constant
    bool partitionNeeded = false;  // SDR ≥ 0.4
};

inline constexpr double kSdRatioLimit = 1.5;
inline constexpr double kSdrLimit = 0.4;
inline constexpr int kGroupMinimum = 20;

struct PartitionStudy {
    // A reason why nothing could be compared (one group only, no values); empty otherwise.
    std::string refusal;
    std::vector<GroupMoments> groups;
    std::vector<HarrisBoyd> pairs;  // every pair of groups with at least two values each
    std::optional<AnovaRatio> anova;
    // Notes for groups that are too small (fewer than 20, fewer than 2 values).
    std::vector<std::string> notes;
    bool partitionNeeded = false;
    std::string advice;
};

PartitionStudy studyPartition(const std::vector<ValueGroup>& groups);

}  // namespace kijunchi
