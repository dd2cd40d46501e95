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

// The drawing of a run: its operations in order, painted anew at any size. The histogram
// window shows it; a document draws it without a window.
class Drawing {
public:
    const std::vector<DrawingStep>& steps() const { return steps_; }
    void clear() { steps_.clear(); }
    void add(DrawingStep step) { steps_.push_back(std::move(step)); }

    // Paints the drawing onto a white area of the given size (in device-independent pixels)
    // in font: the chart's lines and labels in their order, then the printed text lines, each
    // on a white ground under its characters, so that no line of the chart crosses the text.
    void paint(QPainter& painter, QSize size, const QFont& font) const;

private:
    std::vector<DrawingStep> steps_;
};

class PictureBox : public QWidget {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // The drawing of the last run.
    const std::vector<DrawingStep>& drawing() const { return drawing_.steps(); }
    Drawing& drawingRecord() { return drawing_; }
    void clearDrawing();
    void add(DrawingStep step);

    // Paints the drawing in the picture's font (see Drawing::paint).
    void paintDrawing(QPainter& painter, QSize size) const;

    // The picture as it is shown now, in device pixels.
    QImage image() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Drawing drawing_;
};

class PainterCanvas final : public Canvas {
public:
    // Into the picture, which shows each change.
    explicit PainterCanvas(PictureBox& picture)
        : drawing_(picture.drawingRecord()), shown_(&picture) {}
    // Into a drawing that no window shows.
    explicit PainterCanvas(Drawing& drawing) : drawing_(drawing) {}

    void clear() override;
    void printLine(std::string_view text) override;
    void setScale(double left, double top, double right, double bottom) override;
    void setForeColor(Rgb colour) override;
    void drawLine(double x1, double y1, double x2, double y2) override;
    void drawLine(double x1, double y1, double x2, double y2, Rgb colour) override;
    void printAtPosition(std::string_view text) override;

private:
    void line(double x1, double y1, double x2, double y2, const QColor& colour);
    void add(DrawingStep step);

    Drawing& drawing_;
    QWidget* shown_ = nullptr;
    UserScale scale_;
    QColor fore_ = Qt::black;
    double currentX_ = 0, currentY_ = 0;  // drawing position, user coordinates
};

}  // namespace kijunchi
