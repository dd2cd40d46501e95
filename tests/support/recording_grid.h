#pragma once
// A grid sink that records the cells and labels written, shared by the data-side and dialog
// tests.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "input/grid_sink.h"

namespace kijunchi::testing {

struct RecordingGrid : GridSink {
    std::vector<std::pair<int, std::string>> cells;  // every write, in order
    int currentCellResets = 0;
    std::vector<std::string> countLabels, commentLabels;
    void putGridValue(int position, std::string_view text) override {
        cells.emplace_back(position, std::string(text));
    }
    void resetCurrentCell() override { ++currentCellResets; }
    void setCountLabel(std::string_view text) override { countLabels.emplace_back(text); }
    void setCommentLabel(std::string_view text) override { commentLabels.emplace_back(text); }
    // The text last written at a position ("" if none).
    std::string cell(int position) const {
        std::string text;
        for (const auto& [p, t] : cells)
            if (p == position) text = t;
        return text;
    }
    bool untouched() const {
        return cells.empty() && currentCellResets == 0 && countLabels.empty() &&
               commentLabels.empty();
    }
};

}  // namespace kijunchi::testing
