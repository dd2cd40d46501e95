#include "indirect/value_counts.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace kijunchi {

namespace {

// Slots of a new table, and of the table that is merged into the sorted array when half full
// and its values are an eighth of the array's.
constexpr std::size_t kFirstTable = 16;
constexpr std::size_t kMergedTable = std::size_t{1} << 16;
const double kEmpty = std::numeric_limits<double>::quiet_NaN();

bool isEmpty(double v) {
    return std::isnan(v);
}

// Fibonacci hashing: the top bits of the product, after folding the high half of the bits
// into the low (decimal values differ mostly in their low mantissa bits).
std::size_t slotOf(double v, std::size_t mask) {
    auto bits = std::bit_cast<std::uint64_t>(v);
    bits ^= bits >> 29;
    return static_cast<std::size_t>((bits * 0x9E3779B97F4A7C15ull) >> (64 - std::popcount(mask)));
}

// Sorted runs with equal values joined, merged into one sorted run.
std::vector<SortedCounts::Entry> mergeRuns(const std::vector<SortedCounts::Entry>& a,
                                           const std::vector<SortedCounts::Entry>& b) {
    std::vector<SortedCounts::Entry> out;
    out.reserve(a.size() + b.size());
    std::size_t i = 0, j = 0;
    while (i < a.size() || j < b.size()) {
        if (j == b.size() || (i < a.size() && a[i].first < b[j].first)) {
            out.push_back(a[i++]);
        } else if (i == a.size() || b[j].first < a[i].first) {
            out.push_back(b[j++]);
        } else {
            out.emplace_back(a[i].first, a[i].second + b[j].second);
            ++i;
            ++j;
        }
    }
    return out;
}

}  // namespace

void SortedCounts::add(double value, std::int64_t count) {
    if (std::isnan(value)) return;  // no value (the readers give none)
    if (value == 0) value = 0;      // -0 and 0 are one value
    if (table_.empty()) table_.assign(kFirstTable, {kEmpty, 0});
    const std::size_t mask = table_.size() - 1;
    std::size_t i = slotOf(value, mask);
    while (!isEmpty(table_[i].first)) {
        if (table_[i].first == value) {
            table_[i].second += count;
            return;
        }
        i = (i + 1) & mask;
    }
    table_[i] = {value, count};
    if (++used_ * 2 >= table_.size()) grow();
}

// The table is full: into the sorted array while it holds many values against the array, or
// else twice as large.
void SortedCounts::grow() {
    if (table_.size() >= kMergedTable && used_ * 8 >= sorted_.size()) {
        compact();
        return;
    }
    std::vector<Entry> old(table_.size() * 2, {kEmpty, 0});
    old.swap(table_);
    const std::size_t mask = table_.size() - 1;
    for (const auto& e : old) {
        if (isEmpty(e.first)) continue;
        std::size_t i = slotOf(e.first, mask);
        while (!isEmpty(table_[i].first)) i = (i + 1) & mask;
        table_[i] = e;
    }
}

std::vector<SortedCounts::Entry> SortedCounts::tableEntries() const {
    std::vector<Entry> out;
    out.reserve(used_);
    for (const auto& e : table_)
        if (!isEmpty(e.first)) out.push_back(e);
    std::sort(out.begin(), out.end());
    return out;
}

void SortedCounts::compact() {
    if (used_ == 0) return;
    std::vector<Entry> added = tableEntries();
    std::vector<Entry>().swap(table_);
    used_ = 0;
    sorted_ = sorted_.empty() ? std::move(added) : mergeRuns(sorted_, added);
}

void SortedCounts::merge(const SortedCounts& other) {
    compact();
    sorted_ = mergeRuns(sorted_, other.sorted());
}

std::vector<SortedCounts::Entry> SortedCounts::sorted() const {
    if (used_ == 0) return sorted_;
    return mergeRuns(sorted_, tableEntries());
}

std::int64_t SortedCounts::total() const {
    std::int64_t n = 0;
    for (const auto& [v, c] : sorted_) n += c;
    for (const auto& [v, c] : table_)
        if (!isEmpty(v)) n += c;
    return n;
}

void ValueCounts::merge(const ValueCounts& other) {
    values_.merge(other.values_);
    below_.merge(other.below_);
    above_.merge(other.above_);
}

void ValueCounts::compact() {
    values_.compact();
    below_.compact();
    above_.compact();
}

}  // namespace kijunchi
