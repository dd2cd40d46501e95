#include "results/painter_canvas.h"

#include <QFontInfo>
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

DrawStep makeStep(DrawStep::Kind kind, QString text = {}, double a = 0, double b = 0, double c = 0,
                  double d = 0, QColor colour = QColor()) {
    DrawStep step;
    step.kind = kind;
    step.text = std::move(text);
    step.a = a;
    step.b = b;
    step.c = c;
    step.d = d;
    step.colour = colour;
    return step;
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

QPointF DrawingPen::toPixels(double x, double y) const {
    if (right_ == left_ || bottom_ == top_) return QPointF(x, y);
    return QPointF((x - left_) * size_.width() / (right_ - left_),
                   (y - top_) * size_.height() / (bottom_ - top_));
}

void DrawingPen::draw(const DrawStep& step, QPainter& p) {
    using Kind = DrawStep::Kind;
    switch (step.kind) {
        case Kind::PrintLine: {
            QFontMetrics metrics(font_);
            p.setFont(font_);
            p.setPen(fore_);
            p.drawText(QPointF(0, printTop_ + metrics.ascent()), step.text);
            printTop_ += metrics.height();
            break;
        }
        case Kind::Scale:
            left_ = step.a;
            top_ = step.b;
            right_ = step.c;
            bottom_ = step.d;
            break;
        case Kind::ForeColor:
            fore_ = step.colour;
            break;
        case Kind::Line:
        case Kind::LineInColour:
            p.setPen(QPen(step.kind == Kind::Line ? fore_ : step.colour, 1));
            p.drawLine(toPixels(step.a, step.b), toPixels(step.c, step.d));
            currentX_ = step.c;
            currentY_ = step.d;
            break;
        case Kind::PrintAtPosition: {
            QFontMetrics metrics(font_);
            QPointF at = toPixels(currentX_, currentY_);
            p.setFont(font_);
            p.setPen(fore_);
            p.drawText(QPointF(at.x(), at.y() + metrics.ascent()), step.text);
            break;
        }
    }
}

QFont PainterCanvas::pixelFont() const {
    // A size in pixels, so that the drawing keeps its proportions on a device of another
    // resolution (a PDF page).
    QFont font = picture_.font();
    font.setPixelSize(QFontInfo(picture_.font()).pixelSize());
    return font;
}

void PainterCanvas::clear() {
    QSize size = picture_.size().expandedTo(QSize(1, 1));
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    picture_.image() = image;
    steps_.clear();
    pen_ = DrawingPen(size, picture_.font());
    picture_.update();
}

void PainterCanvas::step(DrawStep step) {
    QImage& image = picture_.image();
    if (image.isNull()) clear();
    QPainter p(&image);
    pen_.draw(step, p);
    steps_.push_back(std::move(step));
    picture_.update();
}

void PainterCanvas::printLine(std::string_view text) {
    step(makeStep(DrawStep::Kind::PrintLine, toQString(text)));
}

void PainterCanvas::setScale(double left, double top, double right, double bottom) {
    step(makeStep(DrawStep::Kind::Scale, {}, left, top, right, bottom));
}

void PainterCanvas::setForeColor(Rgb colour) {
    step(makeStep(DrawStep::Kind::ForeColor, {}, 0, 0, 0, 0, toColor(colour)));
}

void PainterCanvas::drawLine(double x1, double y1, double x2, double y2) {
    step(makeStep(DrawStep::Kind::Line, {}, x1, y1, x2, y2));
}

void PainterCanvas::drawLine(double x1, double y1, double x2, double y2, Rgb colour) {
    step(makeStep(DrawStep::Kind::LineInColour, {}, x1, y1, x2, y2, toColor(colour)));
}

void PainterCanvas::printAtPosition(std::string_view text) {
    step(makeStep(DrawStep::Kind::PrintAtPosition, toQString(text)));
}

void PainterCanvas::replay(QPainter& painter, QSize size) const {
    painter.save();
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    painter.setRenderHint(QPainter::Antialiasing, false);
    DrawingPen pen(size, pixelFont());
    for (const DrawStep& s : steps_) pen.draw(s, painter);
    painter.restore();
}

}  // namespace kijunchi
