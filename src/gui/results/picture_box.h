#pragma once
// The histogram window's picture area: a white picture that keeps the drawing of the last run
// as a list of drawing operations and paints them at its current size, and the canvas through
// which the run prints and draws into it.
#include <QColor>
#include <QImage>
#include <QString>
#include <QWidget>
#include <vector>

#include "report/canvas.h"

class QPainter;

namespace kijunchi {

// The user coordinate system of a chart: (left, top) to (right, bottom) span the whole picture;
// with right == left the coordinates are pixels.
struct UserScale {
    double left = 0, top = 0, right = 0, bottom = 0;
    QPointF toPixels(double x, double y, QSizeF size) const;
};

// One operation of a run, in the order the run made it.
struct DrawingStep {
    enum class Kind { PrintLine, Line, Label };
    Kind kind = Kind::Line;
    QString text;                           // PrintLine, Label
    double x1 = 0, y1 = 0, x2 = 0, y2 = 0;  // Line: both ends; Label: (x1, y1) is its place
    QColor colour = Qt::black;
    UserScale scale;
};

class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // The drawing of the last run.
    const std::vector<DrawingStep>& drawing() const { return steps_; }
    void clearDrawing();
    void add(DrawingStep step);

    // Paints the drawing onto a white area of the given size (in device-independent pixels):
    // the chart's lines and labels in their order, then the printed text lines, each on a
    // white ground under its characters, so that no line of the chart crosses the text.
    void paintDrawing(QPainter& painter, QSize size) const;

    // The picture as it is shown now, in device pixels.
    QImage image() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<DrawingStep> steps_;
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

private:
    void line(double x1, double y1, double x2, double y2, const QColor& colour);

    PictureBox& picture_;
    UserScale scale_;
    QColor fore_ = Qt::black;
    double currentX_ = 0, currentY_ = 0;  // drawing position, user coordinates
};

}  // namespace kijunchi
