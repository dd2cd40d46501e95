#pragma once
// The results of one partition as the indirect method takes them: each distinct value with
// its count (laboratory results repeat, so a year of results has few distinct values), and
// the results reported only as below or above a limit ("<0.02", ">1000"), by their limit.
//
// Memory stays in proportion to the distinct values even when every result differs: the counts
// are kept as a sorted array of (value, count) pairs, 16 bytes each, and new values gather in a
// small open-addressing table that is merged into the array whenever it holds an eighth as many
// values as the array (or 65536); repeated values only count up in the table.
#include <cstdint>
#include <utility>
#include <vector>

namespace kijunchi {

// Values with counts, sorted on demand; -0 is taken as 0.
class SortedCounts {
public:
    using Entry = std::pair<double, std::int64_t>;
    void add(double value, std::int64_t count);
    void merge(const SortedCounts& other);
    // Moves the table into the sorted array.
    void compact();
    // The distinct values in ascending order with their counts.
    std::vector<Entry> sorted() const;
    std::int64_t total() const;
    bool empty() const { return sorted_.empty() && used_ == 0; }

private:
    std::vector<Entry> tableEntries() const;
    void grow();

    std::vector<Entry> sorted_;
    std::vector<Entry> table_;  // open addressing; a slot holding kEmpty is free
    std::size_t used_ = 0;
};

class ValueCounts {
public:
    void add(double value, std::int64_t count = 1) { values_.add(value, count); }
    // A result reported as below (or, with below false, above) limit.
    void addCensored(bool below, double limit, std::int64_t count = 1) {
        (below ? below_ : above_).add(limit, count);
    }
    void merge(const ValueCounts& other);
    // Gathers what was added into the sorted arrays (the reading does, once it is done).
    void compact();

    std::int64_t measured() const { return values_.total(); }  // results with a number
    std::int64_t censoredBelow() const { return below_.total(); }
    std::int64_t censoredAbove() const { return above_.total(); }
    std::int64_t total() const { return measured() + censoredBelow() + censoredAbove(); }
    std::size_t distinct() const { return values_.sorted().size(); }

    // The distinct values in ascending order with their counts.
    std::vector<std::pair<double, std::int64_t>> sorted() const { return values_.sorted(); }
    // The limits of the censored results, ascending, with their counts.
    std::vector<std::pair<double, std::int64_t>> below() const { return below_.sorted(); }
    std::vector<std::pair<double, std::int64_t>> above() const { return above_.sorted(); }

private:
    SortedCounts values_, below_, above_;
};

}  // namespace kijunchi
