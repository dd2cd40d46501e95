#include "results/painter_canvas.h"

#include <QFontMetrics>
#include <QPaintEvent>
#include <QPainter>
#include <algorithm>

namespace kijunchi {

namespace {

QColor toColor(Rgb c) {
    return QColor(c.r, c.g, c.b);
}

QString toQString(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

PictureBox::PictureBox(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void PictureBox::paintEvent(QPaintEvent* event) {
    QPainter p(this);
    p.fillRect(event->rect(), Qt::white);
    if (!image_.isNull()) p.drawImage(0, 0, image_);
}

void PainterCanvas::clear() {
    QSize size = picture_.size().expandedTo(QSize(1, 1));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    picture_.image() = image;
    left_ = top_ = right_ = bottom_ = 0;
    fore_ = Qt::black;
    currentX_ = currentY_ = 0;
    printTop_ = 0;
    picture_.update();
}

void PainterCanvas::printLine(std::string_view text) {
    QImage& image = picture_.image();
    if (image.isNull()) clear();
    QFontMetrics metrics(picture_.font());
    QPainter p(&image);
    p.setFont(picture_.font());
    p.setPen(fore_);
    p.drawText(QPointF(0, printTop_ + metrics.ascent()), toQString(text));
    printTop_ += metrics.height();
    picture_.update();
}

void PainterCanvas::setScale(double left, double top, double right, double bottom) {
    left_ = left;
    top_ = top;
    right_ = right;
    bottom_ = bottom;
}

void PainterCanvas::setForeColor(Rgb colour) {
    fore_ = toColor(colour);
}

QPointF PainterCanvas::toPixels(double x, double y) const {
    if (right_ == left_ || bottom_ == top_) return QPointF(x, y);
    QSize size = picture_.image().size();
    return QPointF((x - left_) * size.width() / (right_ - left_),
                   (y - top_) * size.height() / (bottom_ - top_));
}

void PainterCanvas::line(double x1, double y1, double x2, double y2, const QColor& colour) {
    QImage& image = picture_.image();
    if (image.isNull()) clear();
    QPainter p(&image);
    p.setPen(QPen(colour, 1));
    p.drawLine(toPixels(x1, y1), toPixels(x2, y2));
    currentX_ = x2;
    currentY_ = y2;
    picture_.update();
}

void PainterCanvas::drawLine(double x1, double y1, double x2, double y2) {
    line(x1, y1, x2, y2, fore_);
}

void PainterCanvas::drawLine(double x1, double y1, double x2, double y2, Rgb colour) {
    line(x1, y1, x2, y2, toColor(colour));
}

void PainterCanvas::printAtPosition(std::string_view text) {
    QImage& image = picture_.image();
    if (image.isNull()) clear();
    QFontMetrics metrics(picture_.font());
    QPointF at = toPixels(currentX_, currentY_);
    QPainter p(&image);
    p.setFont(picture_.font());
    p.setPen(fore_);
    p.drawText(QPointF(at.x(), at.y() + metrics.ascent()), toQString(text));
    picture_.update();
}

}  // namespace kijunchi
