#pragma once
// The evaluation's two charts side by side: the histogram with the fitted normal and the
// reference limits, and the normal Q-Q plot. Built from the Qt-free chart models; they redraw
// at any size and copy to the clipboard as one image.
#include <QImage>
#include <QWidget>
#include <optional>

#include "evaluation/distribution_chart.h"

QT_BEGIN_NAMESPACE
class QPainter;
class QChart;
class QChartView;
QT_END_NAMESPACE

namespace kijunchi {

// One chart (0 the histogram, 1 the Q-Q plot) drawn from its model for a page, a file or the
// clipboard, with or without a window: laid out for the proportions of size, its fonts growing
// with a size larger than the charts' designed one. Without a model, the chart's title and
// emptyNote. designed replaces the chart's designed size (two charts enlarged alike).
void paintDistributionChart(int index, QPainter& painter, const QSize& size,
                            const std::optional<HistogramChartModel>& histogram,
                            const std::optional<QqPlotModel>& qq, const QString& lambdaText,
                            const QString& emptyNote,
                            std::optional<QSizeF> designed = std::nullopt);

class DistributionCharts : public QWidget {
    Q_OBJECT
public:
    explicit DistributionCharts(QWidget* parent = nullptr);

    // Shows the two charts for these data (an empty chart with a note where a model is
    // missing). lambdaText names the transformation on the Q-Q plot's value axis.
    // emptyNote follows the title of an empty chart and says why it is empty.
    void setData(const std::optional<HistogramChartModel>& histogram,
                 const std::optional<QqPlotModel>& qq, const QString& lambdaText = {},
                 const QString& emptyNote = QStringLiteral("（値が3個以上必要）"));

    // One chart (0 the histogram, 1 the Q-Q plot) drawn anew for a page, a file or the
    // clipboard: laid out for the proportions of size, its fonts growing with a size larger than
    // the charts' designed one, whatever the size of the window on screen.
    void paintChart(int index, QPainter& painter, const QSize& size) const;
    // Both charts side by side as one picture of a fixed size in device pixels (white ground),
    // whatever the window's size; "図をｺﾋﾟｰ" puts it on the clipboard.
    static constexpr QSize kFigurePixels{1600, 1000};
    QImage image() const;
    void copyToClipboard() const;

    QChartView* histogramView() const { return histogramView_; }
    QChartView* qqView() const { return qqView_; }

private:
    std::optional<HistogramChartModel> histogram_;
    std::optional<QqPlotModel> qq_;
    QString lambdaText_;
    QString emptyNote_;
    QChartView* histogramView_ = nullptr;
    QChartView* qqView_ = nullptr;
};

}  // namespace kijunchi
