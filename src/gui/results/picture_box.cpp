#include "gui/results/picture_box.h"

#include <QFontInfo>
#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>

namespace kijunchi {

namespace {

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
    // resolution (a PDF page).
    QFont pixelFont = font;
    pixelFont.setPixelSize(QFontInfo(font).pixelSize());
    p.setFont(pixelFont);
    const QFontMetrics metrics(pixelFont);
    for (const DrawingStep& step : steps_) {
        if (step.kind == DrawingStep::Kind::Line) {
            p.setPen(QPen(step.colour, 1));
            p.drawLine(step.scale.toPixels(step.x1, step.y1, size),
                       step.scale.toPixels(step.x2, step.y2, size));
        } else if (step.kind == DrawingStep::Kind::Label) {
            const QPointF at = step.scale.toPixels(step.x1, step.y1, size);
            p.setPen(step.colour);
            p.drawText(QPointF(at.x(), at.y() + metrics.ascent()), step.text);
        }
    }
    // The printed lines last, each on a white ground from its first character to its end, so
    // that a line of the chart stops at the text and goes on beside it.
    int top = 0;
    for (const DrawingStep& step : steps_) {
        if (step.kind != DrawingStep::Kind::PrintLine) continue;
        qsizetype blanks = 0;
        while (blanks < step.text.size() && step.text[blanks] == QLatin1Char(' ')) ++blanks;
        const int left = metrics.horizontalAdvance(step.text.left(blanks));
        const int right = metrics.horizontalAdvance(step.text);
        if (right > left) p.fillRect(QRect(left, top, right - left, metrics.height()), Qt::white);
        p.setPen(step.colour);
        p.drawText(QPointF(0, top + metrics.ascent()), step.text);
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
