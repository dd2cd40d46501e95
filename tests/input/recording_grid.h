#pragma once
// A grid sink that records the cells and labels written, for the data-side tests.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "input/grid_sink.h"

namespace kijunchi::testing {

struct RecordingGrid : GridSink {
    std::vector<std::pair<int, std::string>> cells;
    int currentCellResets = 0;
    std::vector<std::string> countLabels, commentLabels;
    void putGridValue(int position, std::string_view text) override {
        cells.emplace_back(position, std::string(text));
    }
    void resetCurrentCell() override { ++currentCellResets; }
    void setCountLabel(std::string_view text) override { countLabels.emplace_back(text); }
    void setCommentLabel(std::string_view text) override { commentLabels.emplace_back(text); }
    bool untouched() const {
        return cells.empty() && currentCellResets == 0 && countLabels.empty() &&
               commentLabels.empty();
    }
};

}  // namespace kijunchi::testing
