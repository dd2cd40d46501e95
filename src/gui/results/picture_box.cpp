#include "gui/results/picture_box.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>
#include <optional>

namespace kijunchi {

namespace {

// The share of a picture's height its printed lines (the summary above the chart) may take.
constexpr double kTextShare = 0.6;

QColor toColor(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

QPointF UserScale::toPixels(double x, double y, QSizeF size) const {
    if (right == left || bottom == top) return QPointF(x, y);
    return QPointF((x - left) * size.width() / (right - left),
                   (y - top) * size.height() / (bottom - top));
}

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::clearDrawing() {
    drawing_.clear();
    update();
}

void PictureBox::add(DrawingStep step) {
    drawing_.add(std::move(step));
    update();
}

void PictureBox::paintDrawing(QPainter& p, QSize size) const {
    drawing_.paint(p, size, font());
}

void Drawing::paint(QPainter& p, QSize size, const QFont& font) const {
    p.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    // A size in pixels, so that the drawing keeps its proportions on a device of another
    // resolution (a PDF page). Printed lines that would take more than the top 60% of the
    // picture (where the chart's bars and axis are below them) are drawn smaller, down to half
    // their size; the histogram window is never made lower than that needs.
    QFont pixelFont = font;
    const int fullPixels = QFontInfo(font).pixelSize();
    pixelFont.setPixelSize(fullPixels);
    const auto printed = std::count_if(steps_.begin(), steps_.end(), [](const DrawingStep& s) {
        return s.kind == DrawingStep::Kind::PrintLine;
    });
    const double block = static_cast<double>(printed) * QFontMetrics(pixelFont).height();
    const double smaller =
        block > 0 ? std::clamp(kTextShare * size.height() / block, 0.5, 1.0) : 1.0;
    pixelFont.setPixelSize(std::max(1, static_cast<int>(std::lround(fullPixels * smaller))));
    p.setFont(pixelFont);
    const QFontMetrics metrics(pixelFont);
    // The leftmost vertical line (the chart's axis): the printed lines begin to its right.
    std::optional<double> axis;
    for (const DrawingStep& step : steps_) {
        if (step.kind != DrawingStep::Kind::Line || step.x1 != step.x2) continue;
        const double x = step.scale.toPixels(step.x1, step.y1, size).x();
        axis = axis ? std::min(*axis, x) : x;
    }
    for (const DrawingStep& step : steps_) {
        if (step.kind == DrawingStep::Kind::Line) {
            p.setPen(QPen(step.colour, 1));
            p.drawLine(step.scale.toPixels(step.x1, step.y1, size),
                       step.scale.toPixels(step.x2, step.y2, size));
        } else if (step.kind == DrawingStep::Kind::Label) {
            // Inside the picture, also for a class taller than the chart's room.
            const QPointF at = step.scale.toPixels(step.x1, step.y1, size);
            const double top =
                std::clamp(at.y(), 0.0, std::max(0.0, double(size.height() - metrics.height())));
            p.setPen(step.colour);
            p.drawText(QPointF(at.x(), top + metrics.ascent()), step.text);
        }
    }
    // The printed lines last, each on a white ground from its first character to its end, so
    // that a line of the chart stops at the text and goes on beside it.
    // They begin right of the axis, and of a label (the largest class's) beside their rows.
    const int rows = static_cast<int>(printed) * metrics.height();
    double clear = axis ? *axis : 0;
    for (const DrawingStep& step : steps_) {
        if (step.kind != DrawingStep::Kind::Label) continue;
        const QPointF at = step.scale.toPixels(step.x1, step.y1, size);
        if (std::max(0.0, at.y()) < rows)
            clear = std::max(clear, at.x() + metrics.horizontalAdvance(step.text));
    }
    int shift = 0;
    for (const DrawingStep& step : steps_) {
        if (step.kind != DrawingStep::Kind::PrintLine || step.text.trimmed().isEmpty() || !axis)
            continue;
        qsizetype blanks = 0;
        while (blanks < step.text.size() && step.text[blanks] == QLatin1Char(' ')) ++blanks;
        const int left = metrics.horizontalAdvance(step.text.left(blanks));
        shift = std::max(shift, static_cast<int>(std::ceil(clear)) + 3 - left);
    }
    int top = 0;
    for (const DrawingStep& step : steps_) {
        if (step.kind != DrawingStep::Kind::PrintLine) continue;
        qsizetype blanks = 0;
        while (blanks < step.text.size() && step.text[blanks] == QLatin1Char(' ')) ++blanks;
        const int left = shift + metrics.horizontalAdvance(step.text.left(blanks));
        const int right = shift + metrics.horizontalAdvance(step.text);
        if (right > left) p.fillRect(QRect(left, top, right - left, metrics.height()), Qt::white);
        p.setPen(step.colour);
        p.drawText(QPointF(shift, top + metrics.ascent()), step.text);
        top += metrics.height();
    }
}

QImage PictureBox::image() const {
    const qreal ratio = devicePixelRatioF();
    QImage picture(size().expandedTo(QSize(1, 1)) * ratio, QImage::Format_RGB32);
    picture.setDevicePixelRatio(ratio);
    QPainter p(&picture);
    paintDrawing(p, size().expandedTo(QSize(1, 1)));
    return picture;
}

void PictureBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    paintDrawing(p, size());
}

void PainterCanvas::add(DrawingStep step) {
    drawing_.add(std::move(step));
    if (shown_) shown_->update();
}

void PainterCanvas::clear() {
    drawing_.clear();
    if (shown_) shown_->update();
    scale_ = UserScale{};
    fore_ = Qt::black;
    currentX_ = currentY_ = 0;
}

void PainterCanvas::printLine(std::string_view text) {
    DrawingStep step;
    step.kind = DrawingStep::Kind::PrintLine;
    step.text = toQString(text);
    step.colour = fore_;
    add(std::move(step));
}

void PainterCanvas::setScale(double left, double top, double right, double bottom) {
    scale_ = UserScale{left, top, right, bottom};
}

void PainterCanvas::setForeColor(Rgb colour) {
    fore_ = toColor(colour);
}

void PainterCanvas::line(double x1, double y1, double x2, double y2, const QColor& colour) {
    DrawingStep step;
    step.kind = DrawingStep::Kind::Line;
    step.x1 = x1;
    step.y1 = y1;
    step.x2 = x2;
    step.y2 = y2;
    step.colour = colour;
    step.scale = scale_;
    add(std::move(step));
    currentX_ = x2;
    currentY_ = y2;
}

void PainterCanvas::drawLine(double x1, double y1, double x2, double y2) {
    line(x1, y1, x2, y2, fore_);
}

void PainterCanvas::drawLine(double x1, double y1, double x2, double y2, Rgb colour) {
    line(x1, y1, x2, y2, toColor(colour));
}

void PainterCanvas::printAtPosition(std::string_view text) {
    DrawingStep step;
    step.kind = DrawingStep::Kind::Label;
    step.text = toQString(text);
    step.x1 = currentX_;
    step.y1 = currentY_;
    step.colour = fore_;
    step.scale = scale_;
    add(std::move(step));
}

}  // namespace kijunchi
