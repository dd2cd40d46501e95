#include "study/partition.h"

#include <algorithm>
#include <cmath>
#include <map>

namespace kijunchi {

namespace {

std::string quoted(const std::string& name) {
    return "「" + name + "」";
}

// Mean and SD (divisor n − 1) in two passes; the SD is missing below two values.
GroupMoments momentsOf(const ValueGroup& group) {
    GroupMoments m;
    m.name = group.name;
    m.n = static_cast<int>(group.values.size());
    if (m.n == 0) return m;
    double sum = 0;
    for (double v : group.values) sum += v;
    m.mean = sum / m.n;
    if (m.n >= 2) {
        double squares = 0;
        for (double v : group.values) squares += (v - m.mean) * (v - m.mean);
        m.sd = std::sqrt(squares / (m.n - 1));
    }
    return m;
}

bool usable(const GroupMoments& m) {
    return m.sd && std::isfinite(m.mean) && std::isfinite(*m.sd);
}

HarrisBoyd harrisBoyd(const std::vector<GroupMoments>& groups, int a, int b) {
    const GroupMoments& ga = groups[static_cast<std::size_t>(a)];
    const GroupMoments& gb = groups[static_cast<std::size_t>(b)];
    HarrisBoyd t;
    t.a = a;
    t.b = b;
    const double sa = *ga.sd, sb = *gb.sd;
    t.zCritical = 3.0 * std::sqrt((ga.n + gb.n) / 240.0);
    const double se = std::sqrt(sa * sa / ga.n + sb * sb / gb.n);
    const double diff = std::fabs(ga.mean - gb.mean);
    if (se > 0 && std::isfinite(diff / se)) {
        t.z = diff / se;
        t.meansDiffer = *t.z > t.zCritical;
    } else {
        // Both groups constant: any difference of the means separates them completely.
        t.meansDiffer = diff > 0;
    }
    const double larger = std::max(sa, sb), smaller = std::min(sa, sb);
    if (smaller > 0) {
        t.sdRatio = larger / smaller;
        t.spreadsDiffer = *t.sdRatio > kSdRatioLimit;
    } else {
        t.spreadsDiffer = larger > 0;
    }
    return t;
}

AnovaRatio anovaRatio(const std::vector<GroupMoments>& groups) {
    double total = 0, sumN2 = 0, grandSum = 0;
    int k = 0;
    for (const auto& g : groups) {
        if (!usable(g)) continue;
        ++k;
        total += g.n;
        sumN2 += double(g.n) * g.n;
        grandSum += g.n * g.mean;
    }
    const double grandMean = grandSum / total;
    double between = 0, within = 0;
    for (const auto& g : groups) {
        if (!usable(g)) continue;
        between += g.n * (g.mean - grandMean) * (g.mean - grandMean);
        within += (g.n - 1) * *g.sd * *g.sd;
    }
    const double msBetween = between / (k - 1);
    const double msWithin = within / (total - k);
    // The effective group size of an unbalanced design: the expected between-group mean
    // square is σ²within + n0·σ²between.
    const double n0 = (total - sumN2 / total) / (k - 1);
    AnovaRatio r;
    r.sdWithin = std::sqrt(msWithin);
    r.sdBetween = msBetween > msWithin ? std::sqrt((msBetween - msWithin) / n0) : 0.0;
    if (r.sdWithin > 0 && std::isfinite(r.sdBetween / r.sdWithin)) {
        r.sdr = r.sdBetween / r.sdWithin;
        r.partitionNeeded = *r.sdr >= kSdrLimit;
    }
    return r;
}

}  // namespace

std::vector<ValueGroup> groupValues(const std::vector<double>& values,
                                    const std::vector<std::string>& labels) {
    std::vector<ValueGroup> groups;
    std::map<std::string, std::size_t> index;
    const std::size_t n = std::min(values.size(), labels.size());
    for (std::size_t i = 0; i < n; ++i) {
        auto [it, added] = index.emplace(labels[i], groups.size());
        if (added) groups.push_back({labels[i], {}});
        groups[it->second].values.push_back(values[i]);
    }
    return groups;
}

PartitionStudy studyPartition(const std::vector<ValueGroup>& groups) {
    PartitionStudy study;
    for (const auto& g : groups) study.groups.push_back(momentsOf(g));
    if (study.groups.empty()) {
        study.refusal = "データがありません。";
        return study;
    }
    if (study.groups.size() == 1) {
        study.refusal = "グループが1つしかありません（" + quoted(study.groups[0].name) +
                        "）。分割の検討には2つ以上のグループが必要です。";
        return study;
    }
    int usableGroups = 0;
    for (const auto& g : study.groups) {
        if (!usable(g)) {
            study.notes.push_back(
                "グループ" + quoted(g.name) + "は値が" + std::to_string(g.n) + "個で、" +
                (g.sd ? "平均値と標準偏差を計算できません。" : "標準偏差を計算できません。") +
                "比較から外しました。");
            continue;
        }
        ++usableGroups;
        if (g.n < kGroupMinimum)
            study.notes.push_back("グループ" + quoted(g.name) + "は値が" + std::to_string(g.n) +
                                  "個で、20個未満です。このグループの基準範囲は求められません。");
    }
    if (usableGroups < 2) {
        study.refusal = "比較できるグループ（値が2個以上）が2つありません。";
        return study;
    }

    std::vector<std::string> reasons;
    const int count = static_cast<int>(study.groups.size());
    for (int a = 0; a < count; ++a) {
        if (!usable(study.groups[static_cast<std::size_t>(a)])) continue;
        for (int b = a + 1; b < count; ++b) {
            if (!usable(study.groups[static_cast<std::size_t>(b)])) continue;
            HarrisBoyd t = harrisBoyd(study.groups, a, b);
            const std::string pair = quoted(study.groups[static_cast<std::size_t>(a)].name) + "と" +
                                     quoted(study.groups[static_cast<std::size_t>(b)].name);
            if (t.meansDiffer) reasons.push_back(pair + "の平均値の差（z > z*）");
            if (t.spreadsDiffer) reasons.push_back(pair + "の標準偏差の比（> 1.5）");
            study.pairs.push_back(t);
        }
    }
    study.anova = anovaRatio(study.groups);
    if (study.anova->partitionNeeded) reasons.push_back("分散分析のSDR（≥ 0.4）");

    study.partitionNeeded = !reasons.empty();
    if (study.partitionNeeded) {
        std::string joined;
        for (const auto& r : reasons) joined += (joined.empty() ? "" : "、") + r;
        study.advice = "グループごとに基準範囲を求めて下さい（" + joined + "）。";
    } else {
        study.advice = "全体で1つの基準範囲を求めて下さい（分割の基準に当たるものはありません）。";
    }
    return study;
}

}  // namespace kijunchi
