#pragma once
// The pieces the windows' charts are built of, so that every chart of the program looks alike:
// round-numbered axes, a plain chart with its title and legend, series attached with or without
// a legend entry, shaded bands, and the drawing of a chart anew for a page, a file or the
// clipboard at any size.
#include <QColor>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <utility>
#include <vector>

#include "evaluation/distribution_chart.h"

QT_BEGIN_NAMESPACE
class QAbstractSeries;
class QAreaSeries;
class QChart;
class QLineSeries;
class QPainter;
class QValueAxis;
QT_END_NAMESPACE

namespace kijunchi {

QValueAxis* makeChartAxis(const ChartAxis& model, const QString& title);
QChart* makeChart(const QString& title);
// Adds the series to the chart on the two axes; inLegend false hides its legend entry.
void attachSeries(QChart* chart, QAbstractSeries* series, QValueAxis* x, QValueAxis* y,
                  bool inLegend);
QLineSeries* polyline(const std::vector<std::pair<double, double>>& points);
// The area between upper and lower (or the axis), which owns both lines: an area series does
// not delete the lines it is given, so without this every chart drawn would leave them behind.
QAreaSeries* areaBetween(QLineSeries* upper, QLineSeries* lower = nullptr);
// The histogram's bars as one filled outline that goes down to 0 between classes, in the
// colours of every histogram of the program.
QAreaSeries* histogramSeries(const std::vector<HistogramBar>& bars, const QString& name);
// A shaded band from x0 to x1 over the whole height (0 to top).
QAreaSeries* shadedBand(double x0, double x1, double top, const QColor& colour);

// Draws the chart (which this takes and deletes) into the painter, filling size: laid out at
// the designed size in the proportions of the target (or at the target's own size when
// smaller), then scaled up to fill it, so a larger picture has larger text; fonts in pixels of
// the layout, so that the text keeps its place and size on any device.
void paintChartScaled(QChart* chart, QPainter& painter, const QSize& size, const QSizeF& designed);

}  // namespace kijunchi
