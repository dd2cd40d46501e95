// The evaluation window's charts: built from the chart models of the data set's last analysis,
// redrawn at any size and copied as one picture.
#include <QApplication>
#include <QAreaSeries>
#include <QChart>
#include <QChartView>
#include <QClipboard>
#include <QFile>
#include <QImage>
#include <QLineEdit>
#include <QLineSeries>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QValueAxis>
#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>

#include "gui/evaluation/distribution_charts.h"
#include "gui/evaluation/evaluation_window.h"
#include "gui/results/report_document.h"
#include "gui/shell/frame_fixture.h"
#include "gui/transform/box_window.h"

namespace kijunchi::testing {
namespace {

QString dataFile(const char* name) {
    std::ifstream in(std::string(KIJUNCHI_TEST_DATA) + "/" + name, std::ios::binary);
    return QString::fromStdString({std::istreambuf_iterator<char>(in), {}});
}

QList<QAbstractSeries*> named(QChart* chart, const QString& name) {
    QList<QAbstractSeries*> found;
    for (QAbstractSeries* s : chart->series())
        if (s->name() == name) found.append(s);
    return found;
}

QValueAxis* axis(QChart* chart, Qt::Orientation orientation) {
    return qobject_cast<QValueAxis*>(chart->axes(orientation).value(0));
}

class EvaluationChartsTest : public FrameTest {
protected:
    EvaluationWindow& open(const char* file) {
        paste(dataFile(file).replace("\n", "\r\n"));
        frame->openEvaluationWindow();
        return *frame->evaluationWindow();
    }
};

TEST_F(EvaluationChartsTest, CalciumHistogramCarriesTheLimitsOfTheText) {
    EvaluationWindow& window = open("calcium_240.txt");
    EXPECT_TRUE(window.text().contains("Shapiro-Wilk検定\tW =\t0.9849\tp =\t0.01195"));
    QChart* histogram = window.Charts1->histogramView()->chart();
    // The classes of the model (10 of width 0.2 from 8.75), as one outline of 4 points each.
    const auto bars = named(histogram, "度数");
    ASSERT_EQ(bars.size(), 1);
    QLineSeries* outline = static_cast<QAreaSeries*>(bars[0])->upperSeries();
    ASSERT_EQ(outline->count(), 40);
    EXPECT_NEAR(outline->at(0).x(), 8.75, 1e-9);
    EXPECT_EQ(outline->at(1).y(), 3);    // the first class
    EXPECT_EQ(outline->at(17).y(), 67);  // the fifth, the tallest
    // The value axis ends on round ticks around the bars and the limits' intervals.
    QValueAxis* x = axis(histogram, Qt::Horizontal);
    ASSERT_TRUE(x);
    EXPECT_DOUBLE_EQ(x->min(), 8.5);
    EXPECT_DOUBLE_EQ(x->max(), 11);
    EXPECT_EQ(x->tickCount(), 6);
    EXPECT_EQ(axis(histogram, Qt::Vertical)->min(), 0);
    // The limits of the text's table: nonparametric 9.1 and 10.3, parametric 9.051 and 10.32
    // (shown to 4 digits there), each a vertical line over the chart's height.
    auto positions = [&](const QString& name) {
        std::vector<double> xs;
        for (QAbstractSeries* s : histogram->series()) {
            auto* line = qobject_cast<QLineSeries*>(s);
            if (!line || line->name() != name) continue;
            EXPECT_EQ(line->at(0).x(), line->at(1).x());
            xs.push_back(line->at(0).x());
        }
        return xs;
    };
    EXPECT_EQ(positions("ノンパラメトリック法の基準限界"), (std::vector<double>{9.1, 10.3}));
    const auto parametric = positions("パラメトリック法の基準限界");
    ASSERT_EQ(parametric.size(), 2u);
    EXPECT_NEAR(parametric[0], 9.051, 5e-4);
    EXPECT_NEAR(parametric[1], 10.32, 5e-3);
    // Four shaded intervals: 8.9 .. 9.2 is the lower nonparametric one.
    const auto bands = named(histogram, "　その90%信頼区間");
    ASSERT_EQ(bands.size(), 4);
    QLineSeries* first = static_cast<QAreaSeries*>(bands[0])->upperSeries();
    EXPECT_EQ(first->at(0).x(), 8.9);
    EXPECT_EQ(first->at(1).x(), 9.2);

    QChart* qq = window.Charts1->qqView()->chart();
    const auto points = named(qq, "測定値");
    ASSERT_EQ(points.size(), 1);
    EXPECT_EQ(static_cast<QLineSeries*>(points[0])->count(), 240);
    EXPECT_EQ(named(qq, "四分位を通る参照線").size(), 1);
}

TEST_F(EvaluationChartsTest, TransformedDataPlotTheTransformedValues) {
    paste(dataFile("skewed_25.txt").replace("\n", "\r\n"));
    frame->openTransformWindow();
    frame->transformWindow()->Text1->setText("0");
    frame->transformWindow()->Command2->click();
    frame->openEvaluationWindow();
    EvaluationWindow& window = *frame->evaluationWindow();
    EXPECT_TRUE(window.text().contains("正規性の検定（λ=0で変換したデータ）"));
    QChart* qq = window.Charts1->qqView()->chart();
    EXPECT_EQ(axis(qq, Qt::Vertical)->titleText(), "変換後の値（λ=0）");
    // ln 3.1 .. ln 17.5 on the value axis.
    EXPECT_LE(axis(qq, Qt::Vertical)->min(), std::log(3.1));
    EXPECT_GE(axis(qq, Qt::Vertical)->max(), std::log(17.5));
    // The histogram stays on the measurement scale.
    EXPECT_LE(axis(window.Charts1->histogramView()->chart(), Qt::Horizontal)->min(), 3.1);
}

TEST_F(EvaluationChartsTest, RedrawsAtAnySizeAndCopiesOnePicture) {
    EvaluationWindow& window = open("calcium_240.txt");
    window.resize(1200, 900);
    QApplication::processEvents();
    const QSize large = window.Charts1->histogramView()->size();
    window.resize(700, 500);
    QApplication::processEvents();
    EXPECT_LT(window.Charts1->histogramView()->width(), large.width());
    EXPECT_LT(window.Charts1->histogramView()->height(), large.height());

    QApplication::clipboard()->clear();
    window.Command2->click();
    const QImage picture = QApplication::clipboard()->image();
    // A fixed size, whatever the window's.
    EXPECT_EQ(picture.size(), QSize(1600, 1000));
    // Not blank: the bars' fill is in it.
    bool barColour = false;
    for (int y = 0; y < picture.height() && !barColour; y += 2)
        for (int x = 0; x < picture.width() && !barColour; x += 2)
            barColour = picture.pixelColor(x, y) == QColor(198, 212, 228);
    EXPECT_TRUE(barColour);

    // No data: the text says so and the charts are empty.
    input().Command1->click();  // 新規作成
    frame->openEvaluationWindow();
    EXPECT_TRUE(window.Charts1->histogramView()->chart()->series().isEmpty());
    // and say why they are empty.
    EXPECT_EQ(window.Charts1->histogramView()->chart()->title(),
              QStringLiteral("ヒストグラムと基準範囲（データがありません）"));
}

// The pictures of the charts are drawn anew for their target: whatever the window's size on
// screen, a chart fills the picture it is drawn into, the copy has one size, and an SVG holds
// each label as one text.
TEST_F(EvaluationChartsTest, PicturesAreDrawnForTheirTargetNotCopiedFromTheScreen) {
    EvaluationWindow& window = open("calcium_240.txt");
    frame->subWindowOf(&window)->resize(1200, 300);  // the charts a wide strip
    QApplication::processEvents();
    // The part of the picture that is not white, as shares of its width and height.
    auto filled = [](const QImage& image) {
        int left = image.width(), right = -1, top = image.height(), bottom = -1;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (qGray(image.pixel(x, y)) < 240) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                    top = std::min(top, y);
                    bottom = std::max(bottom, y);
                }
        return QSizeF(double(right - left + 1) / image.width(),
                      double(bottom - top + 1) / image.height());
    };
    for (const QSize size : {QSize(1000, 700), QSize(700, 700), QSize(500, 900)}) {
        for (int chart = 0; chart < 2; ++chart) {
            SCOPED_TRACE(QStringLiteral("%1×%2, chart %3")
                             .arg(size.width())
                             .arg(size.height())
                             .arg(chart)
                             .toStdString());
            QImage image(size, QImage::Format_RGB32);
            image.fill(Qt::white);
            {
                QPainter painter(&image);
                window.paintPicture(chart, painter, size);
            }
            const QSizeF share = filled(image);
            EXPECT_GE(share.width(), 0.8);
            EXPECT_GE(share.height(), 0.8);
        }
    }

    QApplication::clipboard()->clear();
    window.Command2->click();
    EXPECT_EQ(QApplication::clipboard()->image().size(), QSize(1600, 1000));

    // "図の書き出し" as SVG.
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("chart.svg"));
    ASSERT_TRUE(writePicture(path, window, 0, QSize(1000, 700)).isEmpty());
    QFile svg(path);
    ASSERT_TRUE(svg.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(svg.readAll());
    for (const char* label : {"ノンパラメトリック法の基準限界", "パラメトリック法の基準限界",
                              "ヒストグラムと基準範囲", "度数（人数）"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(label))) << label;

    // In documents the estimates are set as a table (columns aligned): from their heading line
    // to the blank line after the last method.
    const DocumentPart::TextTable table = window.partTable();
    const QStringList lines = window.text().split(QStringLiteral("\r\n"));
    ASSERT_GE(table.firstLine, 0);
    EXPECT_TRUE(lines[table.firstLine].startsWith(QStringLiteral("推定法\t")));
    EXPECT_EQ(table.lastLine - table.firstLine, 4);  // the heading and three methods
    EXPECT_TRUE(lines[table.lastLine].isEmpty());
}

}  // namespace
}  // namespace kijunchi::testing
