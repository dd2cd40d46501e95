#pragma once
// The picture area of the histogram window as the run sees it: printed text lines from the
// top, then a chart in a user coordinate system.
#include <string>
#include <string_view>

namespace kijunchi {

struct Rgb {
    int r = 0, g = 0, b = 0;
    friend bool operator==(const Rgb&, const Rgb&) = default;
};

// The 16-colour palette entries the chart uses.
inline constexpr Rgb kPaletteBlack{0, 0, 0};        // palette colour 0
inline constexpr Rgb kPaletteLightBlue{0, 0, 255};  // palette colour 9

class Canvas {
public:
    virtual ~Canvas() = default;
    // Clears the picture; the print position returns to the top left corner.
    virtual void clear() = 0;
    // Prints one text line at the print position, which then moves to the next line.
    virtual void printLine(std::string_view text) = 0;
    // User coordinate system: (left, top) to (right, bottom) span the whole picture.
    virtual void setScale(double left, double top, double right, double bottom) = 0;
    virtual void setForeColor(Rgb colour) = 0;
    // A straight line in the foreground colour; the drawing position moves to its end.
    virtual void drawLine(double x1, double y1, double x2, double y2) = 0;
    // A straight line in the given colour; the drawing position moves to its end.
    virtual void drawLine(double x1, double y1, double x2, double y2, Rgb colour) = 0;
    // Prints text at the drawing position (the end of the last line drawn).
    virtual void printAtPosition(std::string_view text) = 0;
};

// A canvas that draws nothing, for front ends without a picture.
class NullCanvas : public Canvas {
public:
    void clear() override {}
    void printLine(std::string_view) override {}
    void setScale(double, double, double, double) override {}
    void setForeColor(Rgb) override {}
    void drawLine(double, double, double, double) override {}
    void drawLine(double, double, double, double, Rgb) override {}
    void printAtPosition(std::string_view) override {}
};

}  // namespace kijunchi
