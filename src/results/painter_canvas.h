#pragma once
// The histogram window's picture area: a white picture that keeps its drawing until the next
// run clears it, and the canvas through which the run prints and draws into it.
#include <QFont>
#include <QImage>
#include <QWidget>

#include "report/canvas.h"

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

    // User coordinates to pixels of the current picture.
    QPointF toPixels(double x, double y) const;

private:
    void line(double x1, double y1, double x2, double y2, const QColor& colour);

    PictureBox& picture_;
    double left_ = 0, top_ = 0, right_ = 0, bottom_ = 0;  // right_ == left_: pixel scale
    QColor fore_ = Qt::black;
    double currentX_ = 0, currentY_ = 0;  // drawing position, user coordinates
    int printTop_ = 0;                    // print position, pixels from the top
};

}  // namespace kijunchi
