#include "gui/evaluation/distribution_charts.h"

#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLegendMarker>
#include <QLineSeries>
#include <QPainter>
#include <QValueAxis>
#include <algorithm>
#include <cmath>

#include "gui/results/chart_parts.h"

namespace kijunchi {

namespace {

const QColor kDensity(20, 20, 20);
const QColor kNonparametric(180, 30, 30);
const QColor kParametric(20, 80, 170);
const QColor kPoint(40, 70, 120, 170);
constexpr int kLeastViewWidth = 240;

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

QChart* histogramChart(const HistogramChartModel& model, const QString& lambdaText) {
    QChart* chart = makeChart(QStringLiteral("ヒストグラムと基準範囲"));
    QValueAxis* x = makeChartAxis(model.valueAxis, QStringLiteral("測定値"));
    QValueAxis* y = makeChartAxis(model.countAxis, QStringLiteral("度数（人数）"));
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    const double top = model.countAxis.max;
    chart->legend()->setAlignment(Qt::AlignRight);

    // The bars as one outline that goes down to 0 between classes, filled to the axis.
    auto* bars = histogramSeries(model.bars, QStringLiteral("度数"));
    attachSeries(chart, bars, x, y, true);

    auto* density = new QLineSeries;
    density->setName(model.transformed
                         ? QStringLiteral("λ=%1で変換した値への正規分布").arg(lambdaText)
                         : QStringLiteral("正規分布の当てはめ"));
    for (const CurvePoint& p : model.density) density->append(p.x, p.y);
    density->setPen(QPen(kDensity, 1.6));
    attachSeries(chart, density, x, y, true);

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
            attachSeries(chart, line, x, y, !named);
            named = true;
        }
        for (const LimitInput& limit : model.limits) {
            if (limit.kind != kind || !limit.ciLow || !limit.ciHigh) continue;
            auto* area = shadedBand(*limit.ciLow, *limit.ciHigh, top, colour);
            area->setName(QStringLiteral("　その90%信頼区間"));
            attachSeries(chart, area, x, y, !bandNamed);
            bandNamed = true;
        }
    }
    return chart;
}

QChart* qqChart(const QqPlotModel& model, const QString& lambdaText) {
    QChart* chart = makeChart(QStringLiteral("正規Q-Qプロット"));
    QValueAxis* x = makeChartAxis(model.scoreAxis, QStringLiteral("標準正規分布の分位点"));
    QValueAxis* y = makeChartAxis(
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
    attachSeries(chart, points, x, y, true);
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
    attachSeries(chart, line, x, y, true);
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
    view->setMinimumSize(kLeastViewWidth, 200);
    return view;
}

void replaceChart(QChartView* view, QChart* chart) {
    QChart* old = view->chart();
    view->setChart(chart);
    delete old;
}

// A legend beside the plot gets at most this share of the room inside the chart's margins, and
// its labels are cut short ("…") beyond it.
constexpr double kLegendShare = 0.4;

// The least width of a view whose chart has its legend on the right, so that every label of the
// legend is shown whole.
int widthForWholeLegend(const QChart& chart) {
    if (!chart.legend()->isVisible() || chart.legend()->alignment() != Qt::AlignRight) return 0;
    const double legend = chart.legend()->effectiveSizeHint(Qt::PreferredSize).width();
    // The chart's margins and its layout's inner margins (20 pixels each side).
    const int margins = chart.margins().left() + chart.margins().right() + 40;
    return static_cast<int>(std::ceil(legend / kLegendShare)) + margins;
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
    histogramView_->setMinimumWidth(
        std::max(kLeastViewWidth, widthForWholeLegend(*histogramView_->chart())));
    replaceChart(qqView_, qq ? qqChart(*qq, lambdaText)
                             : emptyChart(QStringLiteral("正規Q-Qプロット"), emptyNote_));
}

void paintDistributionChart(int index, QPainter& painter, const QSize& size,
                            const std::optional<HistogramChartModel>& histogram,
                            const std::optional<QqPlotModel>& qq, const QString& lambdaText,
                            const QString& emptyNote, std::optional<QSizeF> designed) {
    if (size.isEmpty()) return;
    QChart* chart =
        index == 0 ? (histogram ? histogramChart(*histogram, lambdaText)
                                : emptyChart(QStringLiteral("ヒストグラムと基準範囲"), emptyNote))
                   : (qq ? qqChart(*qq, lambdaText)
                         : emptyChart(QStringLiteral("正規Q-Qプロット"), emptyNote));
    if (!designed) designed = index == 0 ? QSizeF(640, 400) : QSizeF(400, 400);
    paintChartScaled(chart, painter, size, *designed);
}

void DistributionCharts::paintChart(int index, QPainter& painter, const QSize& size) const {
    paintDistributionChart(index, painter, size, histogram_, qq_, lambdaText_, emptyNote_);
}

QImage DistributionCharts::image() const {
    QImage picture(kFigurePixels, QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    // Side by side as on screen: the histogram two parts of the width, the Q-Q plot one, each
    // with a margin, both enlarged by the same factor (the histogram's) so that their texts
    // have one size.
    constexpr int kMargin = 24;
    const int inner = kFigurePixels.width() - 4 * kMargin;
    const QSize histogram(inner * 2 / 3, kFigurePixels.height() - 2 * kMargin);
    const QSize qq(inner - histogram.width(), histogram.height());
    const double grow =
        std::max(1.0, std::min(histogram.width() / 640.0, histogram.height() / 400.0));
    painter.translate(kMargin, kMargin);
    paintDistributionChart(0, painter, histogram, histogram_, qq_, lambdaText_, emptyNote_,
                           QSizeF(histogram) / grow);
    painter.translate(histogram.width() + 2 * kMargin, 0);
    paintDistributionChart(1, painter, qq, histogram_, qq_, lambdaText_, emptyNote_,
                           QSizeF(qq) / grow);
    return picture;
}

void DistributionCharts::copyToClipboard() const {
    QGuiApplication::clipboard()->setImage(image());
}

}  // namespace kijunchi
