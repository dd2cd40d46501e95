#include "gui/headless/model_document.h"

#include <QApplication>
#include <QList>
#include <optional>
#include <string>

#include "analysis/store.h"
#include "evaluation/distribution_chart.h"
#include "evaluation/evaluation_text.h"
#include "gui/evaluation/distribution_charts.h"
#include "gui/evaluation/evaluation_window.h"
#include "gui/results/document_part.h"
#include "gui/results/picture_box.h"
#include "gui/results/report_document.h"
#include "report/analysis_run.h"

namespace kijunchi {

namespace {

// The statistics report's text, as the window "統計量" gives it.
class StatisticsPart final : public DocumentPart, public ReportSink {
public:
    void setStatisticsText(const std::string& text) override {
        text_ = QString::fromStdString(text);
    }
    QString partTitle() const override { return QStringLiteral("統計量"); }
    QString partText() const override { return text_; }

private:
    QString text_;
};

// The run's picture of the histogram and its summary lines, as the window "ヒストグラム" gives
// it, in the application's font.
class HistogramPart final : public DocumentPart {
public:
    Canvas& canvas() { return canvas_; }
    QString partTitle() const override { return QStringLiteral("ヒストグラム"); }
    int pictureCount() const override { return drawing_.steps().empty() ? 0 : 1; }
    QSize pictureSize(int) const override { return pagePictureSize(0); }
    void paintPicture(int, QPainter& painter, const QSize& size) const override {
        drawing_.paint(painter, size, QApplication::font());
    }

private:
    Drawing drawing_;
    PainterCanvas canvas_{drawing_};
};

// The evaluation's text and its two charts, as the window "基準範囲の評価" gives them.
class EvaluationPart final : public DocumentPart {
public:
    explicit EvaluationPart(const EvaluationView& view)
        : text_(QString::fromStdString(view.text)),
          lambdaText_(QString::fromStdString(view.lambdaText)),
          emptyNote_(emptyChartNote(view.text)) {
        if (view.chart) {
            histogram_ = histogramChart(*view.chart);
            qq_ = qqPlot(*view.chart);
        }
    }
    QString partTitle() const override { return QStringLiteral("基準範囲の評価"); }
    QString partText() const override { return text_; }
    TextTable partTable() const override { return evaluationTextTable(text_); }
    int pictureCount() const override { return histogram_ ? 2 : 0; }
    QSize pictureSize(int index) const override { return evaluationChartSize(index); }
    QSize pagePictureSize(int index) const override { return evaluationChartSize(index); }
    void paintPicture(int index, QPainter& painter, const QSize& size) const override {
        paintDistributionChart(index, painter, size, histogram_, qq_, lambdaText_, emptyNote_);
    }

private:
    QString text_;
    QString lambdaText_;
    QString emptyNote_;
    std::optional<HistogramChartModel> histogram_;
    std::optional<QqPlotModel> qq_;
};

}  // namespace

QString writeAnalysisPdf(const QString& path, AnalysisStore& store, const QStringList& description,
                         const QString& runningHead) {
    StatisticsPart statistics;
    HistogramPart histogram;
    const RunStatus status = runAnalysis(store, histogram.canvas(), statistics);
    const EvaluationPart evaluation(evaluationViewAfterRun(store, status));
    const QList<const DocumentPart*> parts = {&statistics, &histogram, &evaluation};
    return writeReportPdf(path, description, parts, runningHead);
}

}  // namespace kijunchi
