#pragma once
// A canvas that records every operation, for checking the printed lines and the chart.
#include <string>
#include <string_view>
#include <vector>

#include "report/canvas.h"

namespace kijunchi::testing {

struct CanvasOp {
    enum class Kind { Clear, PrintLine, SetScale, SetForeColor, Line, PrintAtPosition };
    Kind kind = Kind::Clear;
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    bool explicitColour = false;  // a line drawn in a given colour instead of the foreground
    Rgb colour{};                 // SetForeColor's colour, or the line's colour
    std::string text;
};

class RecordingCanvas : public Canvas {
public:
    std::vector<CanvasOp> ops;

    CanvasOp& record(CanvasOp::Kind kind) {
        ops.emplace_back();
        ops.back().kind = kind;
        return ops.back();
    }

    void clear() override { record(CanvasOp::Kind::Clear); }
    void printLine(std::string_view text) override {
        record(CanvasOp::Kind::PrintLine).text = text;
    }
    void setScale(double left, double top, double right, double bottom) override {
        auto& op = record(CanvasOp::Kind::SetScale);
        op.x1 = left;
        op.y1 = top;
        op.x2 = right;
        op.y2 = bottom;
    }
    void setForeColor(Rgb colour) override { record(CanvasOp::Kind::SetForeColor).colour = colour; }
    void drawLine(double x1, double y1, double x2, double y2) override {
        auto& op = record(CanvasOp::Kind::Line);
        op.x1 = x1;
        op.y1 = y1;
        op.x2 = x2;
        op.y2 = y2;
    }
    void drawLine(double x1, double y1, double x2, double y2, Rgb colour) override {
        drawLine(x1, y1, x2, y2);
        ops.back().explicitColour = true;
        ops.back().colour = colour;
    }
    void printAtPosition(std::string_view text) override {
        record(CanvasOp::Kind::PrintAtPosition).text = text;
    }

    std::vector<std::string> printedLines() const {
        std::vector<std::string> lines;
        for (const auto& op : ops)
            if (op.kind == CanvasOp::Kind::PrintLine) lines.push_back(op.text);
        return lines;
    }
};

}  // namespace kijunchi::testing
