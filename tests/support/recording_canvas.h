#pragma once
// A canvas that records what is printed and drawn, each line with the colour it is drawn in.
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "report/canvas.h"

namespace kijunchi::testing {

struct DrawnLine {
    double x1, y1, x2, y2;
    Rgb colour;
    bool explicitColour;  // given with the line instead of the foreground colour
};

class RecordingCanvas : public Canvas {
public:
    std::string calls;  // one letter per call in order: Clear, Print, Scale, Fore, Line, Text
    std::vector<std::string> printed;
    std::vector<double> scale;
    Rgb fore = kPaletteBlack;
    std::vector<DrawnLine> lines;
    std::vector<std::pair<size_t, std::string>> labels;  // lines drawn before it, text

    void clear() override { calls += 'C'; }
    void printLine(std::string_view text) override {
        calls += 'P';
        printed.emplace_back(text);
    }
    void setScale(double left, double top, double right, double bottom) override {
        calls += 'S';
        scale = {left, top, right, bottom};
    }
    void setForeColor(Rgb colour) override {
        calls += 'F';
        fore = colour;
    }
    void drawLine(double x1, double y1, double x2, double y2) override {
        calls += 'L';
        lines.push_back({x1, y1, x2, y2, fore, false});
    }
    void drawLine(double x1, double y1, double x2, double y2, Rgb colour) override {
        calls += 'L';
        lines.push_back({x1, y1, x2, y2, colour, true});
    }
    void printAtPosition(std::string_view text) override {
        calls += 'T';
        labels.emplace_back(lines.size(), text);
    }
};

}  // namespace kijunchi::testing
