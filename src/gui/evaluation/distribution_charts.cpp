#include "gui/evaluation/distribution_charts.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QCoreApplication>
#include <QFontInfo>
#include <QGraphicsLayout>
#include <QGraphicsScene>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

namespace kijunchi {

namespace {

const QColor kBarFill(198, 212, 228);
const QColor kBarEdge(90, 110, 135);
const QColor kDensity(20, 20, 20);
const QColor kNonparametric(180, 30, 30);
const QColor kParametric(20, 80, 170);
const QColor kPoint(40, 70, 120, 170);

// A filled circle of the given diameter on a clear ground.
QImage pointMarker(qreal diameter) {
    const int side = static_cast<int>(std::ceil(diameter)) * 2;
    QImage marker(side, side, QImage::Format_ARGB32_Premultiplied);
    marker.setDevicePixelRatio(2);
    marker.fill(Qt::transparent);
    QPainter painter(&marker);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(kPoint);
    painter.drawEllipse(QRectF(0, 0, diameter, diameter));
    return marker;
}

// Decimals that show every tick of the axis apart.
int decimalsFor(double step) {
    return std::max(0, static_cast<int>(std::ceil(-std::log10(step) - 1e-9)));
}

QValueAxis* makeAxis(const ChartAxis& model, const QString& title) {
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

void attach(QChart* chart, QAbstractSeries* series, QValueAxis* x, QValueAxis* y, bool inLegend) {
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

// A shaded band from x0 to x1 over the whole height.
QAreaSeries* band(double x0, double x1, double top, const QColor& colour) {
    auto* area = new QAreaSeries(polyline({{x0, top}, {x1, top}}), polyline({{x0, 0}, {x1, 0}}));
    QColor fill = colour;
    fill.setAlpha(40);
    area->setBrush(fill);
    area->setPen(Qt::NoPen);
    return area;
}

QChart* histogramChart(const HistogramChartModel& model, const QString& lambdaText) {
    QChart* chart = makeChart(QStringLiteral("ヒストグラムと基準範囲"));
    QValueAxis* x = makeAxis(model.valueAxis, QStringLiteral("測定値"));
    QValueAxis* y = makeAxis(model.countAxis, QStringLiteral("度数（人数）"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    const double top = model.countAxis.max;
    chart->legend()->setAlignment(Qt::AlignRight);

    // The bars as one outline that goes down to 0 between classes, filled to the axis.
    auto* outline = new QLineSeries;
    for (const HistogramBar& bar : model.bars) {
        outline->append(bar.from, 0);
        outline->append(bar.from, bar.count);
        outline->append(bar.to, bar.count);
        outline->append(bar.to, 0);
    }
    auto* bars = new QAreaSeries(outline);
    bars->setName(QStringLiteral("度数"));
    bars->setBrush(kBarFill);
    bars->setPen(QPen(kBarEdge, 1));
    attach(chart, bars, x, y, true);

    auto* density = new QLineSeries;
    density->setName(model.transformed
                         ? QStringLiteral("λ=%1で変換した値への正規分布").arg(lambdaText)
                         : QStringLiteral("正規分布の当てはめ"));
    for (const CurvePoint& p : model.density) density->append(p.x, p.y);
    density->setPen(QPen(kDensity, 1.6));
    attach(chart, density, x, y, true);

    // Each method: its limits, then their 90% intervals shaded over the whole height; one
    // legend entry for each.
    for (const LimitKind kind : {LimitKind::Nonparametric, LimitKind::Parametric}) {
        const bool np = kind == LimitKind::Nonparametric;
        const QColor colour = np ? kNonparametric : kParametric;
        bool named = false, bandNamed = false;
        for (const LimitInput& limit : model.limits) {
            if (limit.kind != kind) continue;
            auto* line = polyline({{limit.value, 0}, {limit.value, top}});
            line->setName(np ? QStringLiteral("ノンパラメトリック法の基準限界")
                             : QStringLiteral("パラメトリック法の基準限界"));
            line->setPen(QPen(colour, 1.8, np ? Qt::SolidLine : Qt::DashLine));
            attach(chart, line, x, y, !named);
            named = true;
        }
        for (const LimitInput& limit : model.limits) {
            if (limit.kind != kind || !limit.ciLow || !limit.ciHigh) continue;
            auto* area = band(*limit.ciLow, *limit.ciHigh, top, colour);
            area->setName(QStringLiteral("　その90%信頼区間"));
            attach(chart, area, x, y, !bandNamed);
            bandNamed = true;
        }
    }
    return chart;
}

QChart* qqChart(const QqPlotModel& model, const QString& lambdaText) {
    QChart* chart = makeChart(QStringLiteral("正規Q-Qプロット"));
    QValueAxis* x = makeAxis(model.scoreAxis, QStringLiteral("標準正規分布の分位点"));
    QValueAxis* y = makeAxis(
        model.valueAxis, model.transformed ? QStringLiteral("変換後の値（λ=%1）").arg(lambdaText)
                                           : QStringLiteral("測定値"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);

    // A line series without its line, one picture stamped at every point: thousands of points
    // without a graphics item each.
    auto* points = new QLineSeries;
    points->setName(model.transformed ? QStringLiteral("変換後の値") : QStringLiteral("測定値"));
    points->setPen(Qt::NoPen);
    points->setColor(kPoint);
    points->setPointsVisible(true);
    const qreal size = model.points.size() > 1000 ? 4 : 6;
    points->setMarkerSize(size);
    points->setLightMarker(pointMarker(size));
    QList<QPointF> list;
    list.reserve(static_cast<qsizetype>(model.points.size()));
    for (const CurvePoint& p : model.points) list.append(QPointF(p.x, p.y));
    points->replace(list);
    attach(chart, points, x, y, true);
    for (QLegendMarker* marker : chart->legend()->markers(points)) {
        marker->setShape(QLegend::MarkerShapeCircle);
        marker->setBrush(kPoint);
        marker->setPen(Qt::NoPen);
    }

    const double z0 = model.scoreAxis.min, z1 = model.scoreAxis.max;
    auto* line = polyline(
        {{z0, model.intercept + model.slope * z0}, {z1, model.intercept + model.slope * z1}});
    line->setName(QStringLiteral("四分位を通る参照線"));
    line->setPen(QPen(kNonparametric, 1.4));
    attach(chart, line, x, y, true);
    return chart;
}

QChart* emptyChart(const QString& title, const QString& note) {
    QChart* chart = makeChart(title + note);
    chart->legend()->hide();
    return chart;
}

QChartView* makeView(QWidget* parent) {
    auto* view = new QChartView(parent);
    view->setRenderHint(QPainter::Antialiasing);
    view->setBackgroundBrush(Qt::white);
    view->setFrameShape(QFrame::NoFrame);
    view->setMinimumSize(240, 200);
    return view;
}

void replaceChart(QChartView* view, QChart* chart) {
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

}  // namespace

DistributionCharts::DistributionCharts(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(4);
    histogramView_ = makeView(this);
    qqView_ = makeView(this);
    layout->addWidget(histogramView_, 2);
    layout->addWidget(qqView_, 1);
    setData(std::nullopt, std::nullopt);
}

void DistributionCharts::setData(const std::optional<HistogramChartModel>& histogram,
                                 const std::optional<QqPlotModel>& qq, const QString& lambdaText,
                                 const QString& emptyNote) {
    emptyNote_ = emptyNote;
    histogram_ = histogram;
    qq_ = qq;
    lambdaText_ = lambdaText;
    replaceChart(histogramView_,
                 histogram ? histogramChart(*histogram, lambdaText)
                           : emptyChart(QStringLiteral("ヒストグラムと基準範囲"), emptyNote_));
    replaceChart(qqView_, qq ? qqChart(*qq, lambdaText)
                             : emptyChart(QStringLiteral("正規Q-Qプロット"), emptyNote_));
}

void DistributionCharts::paintChart(int index, QPainter& painter, const QSize& size) const {
    if (size.isEmpty()) return;
    QChart* chart =
        index == 0 ? (histogram_ ? histogramChart(*histogram_, lambdaText_)
                                 : emptyChart(QStringLiteral("ヒストグラムと基準範囲"), emptyNote_))
                   : (qq_ ? qqChart(*qq_, lambdaText_)
                          : emptyChart(QStringLiteral("正規Q-Qプロット"), emptyNote_));
    // Fonts in pixels of the layout, so that the text keeps its place and size in the chart on
    // any device (a PDF's points per inch would otherwise enlarge it against the lines), and
    // in one family, so that each label is written as one run of text.
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
    // Laid out at the designed size in the proportions of the target (or at the target's own
    // size when smaller), then scaled up to fill it: a larger picture has larger text.
    const QSizeF designed = index == 0 ? QSizeF(640, 400) : QSizeF(400, 400);
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

QImage DistributionCharts::image() const {
    QImage picture(kFigurePixels, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    // Side by side as on screen: the histogram two parts of the width, the Q-Q plot one.
    const int histogramWidth = kFigurePixels.width() * 2 / 3;
    paintChart(0, painter, QSize(histogramWidth, kFigurePixels.height()));
    painter.translate(histogramWidth, 0);
    paintChart(1, painter, QSize(kFigurePixels.width() - histogramWidth, kFigurePixels.height()));
    return picture;
}

void DistributionCharts::copyToClipboard() const {
    QGuiApplication::clipboard()->setImage(image());
}

}  // namespace kijunchi
