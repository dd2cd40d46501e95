#include "gui/results/chart_parts.h"

#include <QAreaSeries>
#include <QChart>
#include <QCoreApplication>
#include <QFontInfo>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QPen>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace kijunchi {

namespace {

// Decimals that show every tick of the axis apart.
int decimalsFor(double step) {
    return std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
}

}  // namespace

QValueAxis* makeChartAxis(const ChartAxis& model, const QString& title) {
    auto* axis = new QValueAxis;
    axis->setRange(model.min, model.max);
    axis->setTickType(QValueAxis::TicksFixed);
    axis->setTickCount(static_cast<int>(model.ticks.size()));
    axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimalsFor(model.tickStep)));
    axis->setTitleText(title);
    axis->setGridLineColor(QColor(225, 225, 225));
    axis->setMinorGridLineVisible(false);
    QFont font = axis->labelsFont();
    font.setPointSizeF(8.5);
    axis->setLabelsFont(font);
    font.setPointSizeF(9);
    axis->setTitleFont(font);
    return axis;
}

QChart* makeChart(const QString& title) {
    auto* chart = new QChart;
    chart->setTitle(title);
    QFont font = chart->titleFont();
    font.setPointSizeF(10);
    font.setBold(true);
    chart->setTitleFont(font);
    chart->setBackgroundRoundness(0);
    chart->setDropShadowEnabled(false);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->legend()->setAlignment(Qt::AlignBottom);
    chart->legend()->setMarkerShape(QLegend::MarkerShapeFromSeries);
    QFont legendFont = chart->legend()->font();
    legendFont.setPointSizeF(8);
    chart->legend()->setFont(legendFont);
    return chart;
}

void attachSeries(QChart* chart, QAbstractSeries* series, QValueAxis* x, QValueAxis* y,
                  bool inLegend) {
    chart->addSeries(series);
    series->attachAxis(x);
    series->attachAxis(y);
    for (QLegendMarker* marker : chart->legend()->markers(series)) {
        marker->setVisible(inLegend);
        if (auto* area = qobject_cast<QAreaSeries*>(series)) {
            // A filled square in the area's own colour, a little stronger than the area.
            QColor fill = area->brush().color();
            fill.setAlpha(std::max(fill.alpha(), 110));
            marker->setShape(QLegend::MarkerShapeRectangle);
            marker->setBrush(fill);
            marker->setPen(area->pen().style() == Qt::NoPen ? QPen(fill) : area->pen());
        }
    }
}

QLineSeries* polyline(const std::vector<std::pair<double, double>>& points) {
    auto* line = new QLineSeries;
    for (const auto& [x, y] : points) line->append(x, y);
    return line;
}

QAreaSeries* areaBetween(QLineSeries* upper, QLineSeries* lower) {
    auto* area = new QAreaSeries(upper, lower);
    upper->setParent(area);
    if (lower) lower->setParent(area);
    return area;
}

QAreaSeries* histogramSeries(const std::vector<HistogramBar>& bars, const QString& name) {
    auto* outline = new QLineSeries;
    for (const HistogramBar& bar : bars) {
        outline->append(bar.from, 0);
        outline->append(bar.from, bar.count);
        outline->append(bar.to, bar.count);
        outline->append(bar.to, 0);
    }
    auto* series = areaBetween(outline);
    series->setName(name);
    series->setBrush(QColor(198, 212, 228));
    series->setPen(QPen(QColor(90, 110, 135), 1));
    return series;
}

// A shaded band from x0 to x1 over the whole height.
QAreaSeries* shadedBand(double x0, double x1, double top, const QColor& colour) {
    auto* area = areaBetween(polyline({{x0, top}, {x1, top}}), polyline({{x0, 0}, {x1, 0}}));
    QColor fill = colour;
    fill.setAlpha(40);
    area->setBrush(fill);
    area->setPen(Qt::NoPen);
    return area;
}

void paintChartScaled(QChart* chart, QPainter& painter, const QSize& size, const QSizeF& designed) {
    if (size.isEmpty()) {
        delete chart;
        return;
    }
    // In one family, so that each label is written as one run of text.
    const auto inPixels = [](QFont font) {
        const double pixels = QFontInfo(font).pointSizeF() * 96.0 / 72.0;
        font.setFamily(QStringLiteral("IPAGothic"));
        font.setPixelSize(std::max(1, static_cast<int>(std::lround(pixels))));
        return font;
    };
    chart->setTitleFont(inPixels(chart->titleFont()));
    chart->legend()->setFont(inPixels(chart->legend()->font()));
    for (QLegendMarker* marker : chart->legend()->markers())
        marker->setFont(chart->legend()->font());
    for (QAbstractAxis* axis : chart->axes()) {
        axis->setLabelsFont(inPixels(axis->labelsFont()));
        axis->setTitleFont(inPixels(axis->titleFont()));
    }
    const double grow =
        std::max(1.0, std::min(size.width() / designed.width(), size.height() / designed.height()));
    const QSizeF layout(size.width() / grow, size.height() / grow);
    QGraphicsScene scene;
    scene.addItem(chart);  // the scene owns the chart from here
    chart->setGeometry(QRectF(QPointF(0, 0), layout));
    QCoreApplication::sendPostedEvents(chart, QEvent::LayoutRequest);
    if (chart->layout()) chart->layout()->activate();
    scene.setSceneRect(QRectF(QPointF(0, 0), layout));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillRect(QRect(QPoint(0, 0), size), Qt::white);
    scene.render(&painter, QRectF(QPointF(0, 0), QSizeF(size)), scene.sceneRect(),
                 Qt::IgnoreAspectRatio);
    painter.restore();
}

}  // namespace kijunchi
