#pragma once
// The evaluation's two charts side by side: the histogram with the fitted normal and the
// reference limits, and the normal Q-Q plot. Built from the Qt-free chart models; they redraw
// at any size and copy to the clipboard as one image.
#include <QImage>
#include <QWidget>
#include <optional>

#include "evaluation/distribution_chart.h"

QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
QT_END_NAMESPACE

namespace kijunchi {

class DistributionCharts : public QWidget {
    Q_OBJECT
public:
    explicit DistributionCharts(QWidget* parent = nullptr);

    // Shows the two charts for these data (an empty chart with a note where a model is
    // missing). lambdaText names the transformation on the Q-Q plot's value axis.
    void setData(const std::optional<HistogramChartModel>& histogram,
                 const std::optional<QqPlotModel>& qq, const QString& lambdaText = {});

    // Both charts as one picture at their current size (white background).
    QImage image() const;
    void copyToClipboard() const;

    QChartView* histogramView() const { return histogramView_; }
    QChartView* qqView() const { return qqView_; }

private:
    QChartView* histogramView_ = nullptr;
    QChartView* qqView_ = nullptr;
};

}  // namespace kijunchi
