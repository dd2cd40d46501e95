#pragma once
// What the data side writes into the input window: the grid cells, its current cell and the
// two labels. The input window implements it; the command line uses NullGrid.
#include <string>
#include <string_view>

namespace kijunchi {

class GridSink {
public:
    virtual ~GridSink() = default;
    // PutGridValue: the value at position i (0-based) goes to column i / 200 + 1,
    // row i % 200 + 1; positions of 1000 and above are shown nowhere.
    virtual void putGridValue(int position, std::string_view text) = 0;
    // The grid's current cell goes to row 1, column 1.
    virtual void resetCurrentCell() = 0;
    // Label4: the number of values.
    virtual void setCountLabel(std::string_view text) = 0;
    // Label3: the comment line.
    virtual void setCommentLabel(std::string_view text) = 0;
};

class NullGrid final : public GridSink {
public:
    void putGridValue(int, std::string_view) override {}
    void resetCurrentCell() override {}
    void setCountLabel(std::string_view) override {}
    void setCommentLabel(std::string_view) override {}
};

}  // namespace kijunchi
