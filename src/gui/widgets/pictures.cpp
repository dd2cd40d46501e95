#include "gui/widgets/pictures.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>
#include <cmath>

namespace kijunchi::pictures {

namespace {

const QColor kNavy(0, 0, 128);
const QColor kLightBlue(0, 0, 255);
const QColor kBar(255, 224, 160);

QPixmap blank(int w, int h, const QColor& fill = Qt::transparent) {
    QPixmap p(w, h);
    p.fill(fill);
    return p;
}

// A bell curve over the rectangle, peak at its top.
QPainterPath bellCurve(const QRectF& r) {
    QPainterPath path;
    for (int i = 0; i <= 60; ++i) {
        double z = -3.0 + i * 0.1;
        double x = r.left() + r.width() * i / 60.0;
        double y = r.bottom() - r.height() * std::exp(-z * z / 2.0);
        if (i == 0) {
            path.moveTo(x, y);
        } else {
            path.lineTo(x, y);
        }
    }
    return path;
}

// Histogram bars under a bell curve, the program's motif.
void drawMotif(QPainter& p, const QRectF& r, qreal penWidth) {
    const double heights[] = {0.12, 0.38, 0.78, 1.0, 0.7, 0.34, 0.1};
    const int n = 7;
    double w = r.width() / n;
    p.setPen(QPen(Qt::black, penWidth));
    p.setBrush(kBar);
    for (int i = 0; i < n; ++i) {
        double h = r.height() * 0.92 * heights[i];
        p.drawRect(QRectF(r.left() + i * w, r.bottom() - h, w, h));
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(kLightBlue, penWidth * 1.5));
    p.drawPath(bellCurve(r));
}

}  // namespace

QPixmap startupPicture() {
    QPixmap pm = blank(198, 200);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, 0, 200);
    g.setColorAt(0, QColor(236, 244, 255));
    g.setColorAt(1, QColor(170, 196, 235));
    p.fillRect(pm.rect(), g);
    p.setPen(QPen(kNavy, 2));
    p.drawRect(QRectF(1, 1, 196, 198));

    // The reference interval: the central 95 % between the two limits.
    QRectF chart(20, 58, 158, 92);
    drawMotif(p, chart, 1.0);
    p.setPen(QPen(Qt::red, 1.5, Qt::DashLine));
    double lo = chart.left() + chart.width() * (3.0 - 1.96) / 6.0;
    double hi = chart.left() + chart.width() * (3.0 + 1.96) / 6.0;
    p.drawLine(QPointF(lo, chart.top() - 4), QPointF(lo, chart.bottom()));
    p.drawLine(QPointF(hi, chart.top() - 4), QPointF(hi, chart.bottom()));
    p.setPen(QPen(Qt::black, 1));
    p.drawLine(QPointF(chart.left() - 4, chart.bottom()),
               QPointF(chart.right() + 4, chart.bottom()));

    QFont title(QStringLiteral("IPAGothic"));
    title.setPixelSize(30);
    title.setBold(true);
    p.setFont(title);
    p.setPen(kNavy);
    p.drawText(QRectF(0, 10, 198, 40), Qt::AlignCenter, QStringLiteral("基準値"));

    QFont small(QStringLiteral("IPAGothic"));
    small.setPixelSize(11);
    p.setFont(small);
    p.setPen(Qt::black);
    p.drawText(QRectF(0, 156, 198, 16), Qt::AlignCenter, QStringLiteral("正規性の確認とベキ変換"));
    p.drawText(QRectF(0, 174, 198, 16), Qt::AlignCenter, QStringLiteral("β　Version 1"));
    return pm;
}

QIcon programIcon() {
    QIcon icon;
    for (int size : {16, 32, 48}) {
        QPixmap pm = blank(size, size, Qt::white);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(QPen(kNavy, 1));
        p.drawRect(QRectF(0.5, 0.5, size - 1, size - 1));
        drawMotif(p, QRectF(size * 0.12, size * 0.15, size * 0.76, size * 0.72), size / 32.0);
        icon.addPixmap(pm);
    }
    return icon;
}

QPixmap toolbarPicture(int index) {
    QPixmap pm = blank(16, 16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (index) {
        case 1: {  // the frame: a window inside a window
            p.setPen(kNavy);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(0.5, 1.5, 15, 13));
            p.fillRect(QRectF(1, 2, 14, 3), kNavy);
            p.setBrush(QColor(200, 200, 200));
            p.drawRect(QRectF(3.5, 6.5, 9, 6));
            break;
        }
        case 2: {  // the input window: a grid of values
            p.setPen(Qt::black);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(1.5, 1.5, 13, 13));
            p.fillRect(QRectF(2, 2, 12, 3), QColor(192, 192, 192));
            p.setPen(QColor(96, 96, 96));
            for (double y : {5.5, 8.5, 11.5}) p.drawLine(QPointF(2, y), QPointF(14, y));
            p.drawLine(QPointF(5.5, 2), QPointF(5.5, 14));
            p.drawLine(QPointF(10.5, 2), QPointF(10.5, 14));
            break;
        }
        case 3: {  // the histogram
            drawMotif(p, QRectF(1, 2, 14, 13), 0.8);
            break;
        }
        case 4: {  // the printer
            p.setPen(Qt::black);
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 1.5, 7, 5));
            p.setBrush(QColor(160, 160, 160));
            p.drawRect(QRectF(1.5, 6.5, 13, 5));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(4.5, 10.5, 7, 4));
            p.fillRect(QRectF(11, 8, 2, 1.5), QColor(0, 160, 0));
            break;
        }
        default: {  // the version: an information sign
            p.setPen(QPen(kNavy, 1));
            p.setBrush(QColor(255, 255, 220));
            p.drawEllipse(QRectF(1, 1, 14, 14));
            p.setPen(Qt::NoPen);
            p.setBrush(kNavy);
            p.drawEllipse(QRectF(7, 3.5, 2.2, 2.2));
            p.drawRect(QRectF(7, 6.8, 2.2, 6));
            break;
        }
    }
    return pm;
}

QPixmap buttonPicture(ButtonPicture which) {
    QPixmap pm = blank(16, 16);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    switch (which) {
        case ButtonPicture::Paste: {  // a clipboard with a sheet
            p.setPen(Qt::black);
            p.setBrush(QColor(190, 140, 80));
            p.drawRoundedRect(QRectF(1.5, 2.5, 11, 13), 1.5, 1.5);
            p.setBrush(QColor(200, 200, 200));
            p.drawRect(QRectF(4.5, 1.5, 5, 3));
            p.setBrush(Qt::white);
            p.drawRect(QRectF(6.5, 6.5, 8, 9));
            p.setPen(QColor(0, 0, 160));
            for (double y : {9.0, 11.0, 13.0}) p.drawLine(QPointF(8, y), QPointF(13, y));
            break;
        }
        case ButtonPicture::New: {  // a blank sheet with a folded corner
            QPolygonF sheet;
            sheet << QPointF(3.5, 1.5) << QPointF(10, 1.5) << QPointF(13.5, 5)
                  << QPointF(13.5, 14.5) << QPointF(3.5, 14.5);
            p.setPen(Qt::black);
            p.setBrush(Qt::white);
            p.drawPolygon(sheet);
            p.drawPolyline(QPolygonF() << QPointF(10, 1.5) << QPointF(10, 5) << QPointF(13.5, 5));
            p.setPen(QPen(QColor(240, 180, 0), 1.5));
            p.drawLine(QPointF(12, 10), QPointF(16, 10));
            p.drawLine(QPointF(14, 8), QPointF(14, 12));
            break;
        }
        case ButtonPicture::Analysis: {
            drawMotif(p, QRectF(0.5, 1, 15, 14), 0.8);
            break;
        }
    }
    return pm;
}

QPixmap smallDecoration() {
    QPixmap pm = blank(39, 29, Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    drawMotif(p, QRectF(3, 3, 33, 23), 0.8);
    return pm;
}

QPixmap largeDecoration() {
    QPixmap pm = blank(234, 123, Qt::white);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(128, 128, 128), 1));
    p.drawRect(QRectF(0.5, 0.5, 233, 122));
    QRectF chart(96, 22, 126, 82);
    drawMotif(p, chart, 1.0);
    p.setPen(Qt::black);
    p.drawLine(QPointF(chart.left() - 3, chart.bottom()),
               QPointF(chart.right() + 3, chart.bottom()));

    QFont font(QStringLiteral("IPAGothic"));
    font.setPixelSize(12);
    p.setFont(font);
    p.setPen(kNavy);
    const QString steps[] = {QStringLiteral("1 張り付け"), QStringLiteral("2 解析"),
                             QStringLiteral("3 ベキ変換"), QStringLiteral("4 再解析")};
    for (int i = 0; i < 4; ++i) p.drawText(QPointF(10, 30 + i * 22), steps[i]);
    return pm;
}

}  // namespace kijunchi::pictures
