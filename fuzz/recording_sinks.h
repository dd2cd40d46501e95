#pragma once
// Sinks that record what the core writes into the input grid, the histogram window's picture
// and the statistics window, and check on the way that no drawing coordinate is non-finite.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "analysis/analysis_run.h"
#include "fuzz_checks.h"
#include "input/grid_sink.h"
#include "report/canvas.h"

namespace kijunchi::fuzz {

class RecordingGrid final : public GridSink {
public:
    std::vector<std::pair<int, std::string>> cells;
    std::vector<std::string> countLabels;
    std::vector<std::string> commentLabels;
    int resets = 0;

    void putGridValue(int position, std::string_view text) override {
        cells.emplace_back(position, std::string(text));
    }
    void resetCurrentCell() override { ++resets; }
    void setCountLabel(std::string_view text) override { countLabels.emplace_back(text); }
    void setCommentLabel(std::string_view text) override { commentLabels.emplace_back(text); }
    bool untouched() const {
        return cells.empty() && countLabels.empty() && commentLabels.empty() && resets == 0;
    }
};

class RecordingCanvas final : public Canvas {
public:
    std::vector<std::string> lines;   // printed lines since the last clear
    std::vector<std::string> labels;  // texts printed at the drawing position
    int segments = 0;

    // The picture as the command line shows it: the printed lines, each ending with CR LF.
    std::string summary() const {
        std::string text;
        for (const auto& line : lines) text += line + "\r\n";
        return text;
    }

    void clear() override {
        lines.clear();
        labels.clear();
        segments = 0;
    }
    void printLine(std::string_view text) override { lines.emplace_back(text); }
    void setScale(double left, double top, double right, double bottom) override {
        finite({left, top, right, bottom}, "a non-finite chart scale");
    }
    void setForeColor(Rgb) override {}
    void drawLine(double x1, double y1, double x2, double y2) override {
        finite({x1, y1, x2, y2}, "a chart segment with a non-finite end");
        ++segments;
    }
    void drawLine(double x1, double y1, double x2, double y2, Rgb) override {
        drawLine(x1, y1, x2, y2);
    }
    void printAtPosition(std::string_view text) override { labels.emplace_back(text); }

private:
    static void finite(std::initializer_list<double> values, const char* what) {
        for (double v : values) requireFinite(v, what);
    }
};

class RecordingReport final : public ReportSink {
public:
    std::string text;
    int calls = 0;
    void setStatisticsText(const std::string& t) override {
        text = t;
        ++calls;
    }
};

}  // namespace kijunchi::fuzz
