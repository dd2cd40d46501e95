#pragma once
// The results of one partition as the indirect method takes them: each distinct value with
// its count (laboratory results repeat, so a year of results has few distinct values), and
// the results reported only as below or above a limit ("<0.02", ">1000"), by their limit.
#include <cstdint>
#include <map>
#include <unordered_map>
#include <utility>
#include <vector>

namespace kijunchi {

class ValueCounts {
public:
    void add(double value, std::int64_t count = 1) { values_[value] += count; }
    // A result reported as below (or, with below false, above) limit.
    void addCensored(bool below, double limit, std::int64_t count = 1) {
        (below ? below_ : above_)[limit] += count;
    }
    void merge(const ValueCounts& other);

    std::int64_t measured() const;  // results with a number
    std::int64_t censoredBelow() const;
    std::int64_t censoredAbove() const;
    std::int64_t total() const { return measured() + censoredBelow() + censoredAbove(); }
    std::size_t distinct() const { return values_.size(); }

    // The distinct values in ascending order with their counts.
    std::vector<std::pair<double, std::int64_t>> sorted() const;
    const std::unordered_map<double, std::int64_t>& values() const { return values_; }
    const std::map<double, std::int64_t>& below() const { return below_; }
    const std::map<double, std::int64_t>& above() const { return above_; }

private:
    std::unordered_map<double, std::int64_t> values_;
    std::map<double, std::int64_t> below_, above_;
};

}  // namespace kijunchi
