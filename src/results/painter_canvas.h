#pragma once
// The histogram window's picture area: a white picture that keeps its drawing until the next
// run clears it, and the canvas through which the run prints and draws into it. The canvas
// also records what the run drew, so that the same drawing can be made again at another size
// and on another device (a PDF page, an SVG file, a larger image).
#include <QColor>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>
#include <vector>

#include "report/canvas.h"

class QPainter;

namespace kijunchi {

class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // The drawing of the last run (its size is the picture's size at that run's clear).
    const QImage& image() const { return image_; }
    QImage& image() { return image_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage image_;
};

// One step of a drawing, as the run asked for it.
struct DrawStep {
    enum class Kind { PrintLine, Scale, ForeColor, Line, LineInColour, PrintAtPosition };
    Kind kind = Kind::PrintLine;
    QString text;
    double a = 0, b = 0, c = 0, d = 0;
    QColor colour;
};

// Draws steps onto painters whose drawing area is size pixels, keeping the print and drawing
// positions, the scale and the colour from step to step.
class DrawingPen {
public:
    DrawingPen() = default;
    DrawingPen(QSize size, const QFont& font) : size_(size), font_(font) {}
    void draw(const DrawStep& step, QPainter& painter);
    QPointF toPixels(double x, double y) const;

private:
    QSize size_;
    QFont font_;
    double left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;  // right_ == left_: pixel scale
    QColor fore_ = Qt::black;
    double currentX_ = 0, currentY_ = 0;  // drawing position, user coordinates
    int printTop_ = 0;                    // print position, pixels from the top
};

class PainterCanvas final : public Canvas {
public:
    explicit PainterCanvas(PictureBox& picture) : picture_(picture) {}

    void clear() override;
    void printLine(std::string_view text) override;
    void setScale(double left, double top, double right, double bottom) override;
    void setForeColor(Rgb colour) override;
    void drawLine(double x1, double y1, double x2, double y2) override;
    void drawLine(double x1, double y1, double x2, double y2, Rgb colour) override;
    void printAtPosition(std::string_view text) override;

    // The drawing of the last run made again into painter, over size pixels, with the
    // picture's font (white background included).
    void replay(QPainter& painter, QSize size) const;
    bool hasDrawing() const { return !steps_.empty(); }
    // The size of the picture at the last clear.
    QSize drawnSize() const { return picture_.image().size(); }

private:
    void step(DrawStep step);
    QFont pixelFont() const;

    PictureBox& picture_;
    std::vector<DrawStep> steps_;
    DrawingPen pen_;
};

}  // namespace kijunchi
