#include "indirect/value_counts.h"

#include <algorithm>

namespace kijunchi {

namespace {

template <class Map>
std::int64_t sum(const Map& m) {
    std::int64_t n = 0;
    for (const auto& [value, count] : m) n += count;
    return n;
}

}  // namespace

void ValueCounts::merge(const ValueCounts& other) {
    for (const auto& [v, c] : other.values_) values_[v] += c;
    for (const auto& [v, c] : other.below_) below_[v] += c;
    for (const auto& [v, c] : other.above_) above_[v] += c;
}

std::int64_t ValueCounts::measured() const {
    return sum(values_);
}
std::int64_t ValueCounts::censoredBelow() const {
    return sum(below_);
}
std::int64_t ValueCounts::censoredAbove() const {
    return sum(above_);
}

std::vector<std::pair<double, std::int64_t>> ValueCounts::sorted() const {
    std::vector<std::pair<double, std::int64_t>> out(values_.begin(), values_.end());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace kijunchi
