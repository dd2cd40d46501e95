// The analysis command and the result windows: the report text, the chart, copy, "再表示" and
// the failure paths.
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "analysis/analysis_run.h"
#include "cli/report_command.h"
#include "results/histogram_window.h"
#include "results/painter_canvas.h"
#include "results/statistics_window.h"
#include "shell/frame_fixture.h"

namespace kijunchi::testing {
namespace {

// Fasting glucose (mg/dL) of 40 people, as pasted from a spreadsheet column.
const char* const kGlucose =
    "92\r\n88\r\n97\r\n101\r\n85\r\n94\r\n90\r\n99\r\n87\r\n93\r\n"
    "105\r\n91\r\n89\r\n96\r\n84\r\n98\r\n92\r\n95\r\n103\r\n90\r\n"
    "86\r\n94\r\n100\r\n93\r\n88\r\n97\r\n91\r\n108\r\n95\r\n89\r\n"
    "92\r\n99\r\n96\r\n83\r\n94\r\n102\r\n90\r\n93\r\n87\r\n98\r\n";

// The report of the same data from the command line program's code.
QString commandLineReport(const std::string& classes) {
    CommandOutput output = runReportCommand({"--classes", classes}, textReader(kGlucose));
    EXPECT_EQ(output.exitCode, 0) << output.err;
    return QString::fromStdString(output.out);
}

int countPixels(const QImage& image, QRgb colour) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) n += (image.pixel(x, y) & 0xffffff) == colour;
    return n;
}

class AnalysisTest : public FrameTest {
protected:
    void analyse(const char* data, const QString& classes = QStringLiteral("5")) {
        paste(QString::fromUtf8(data));
        input().Text3->setText(classes);
        input().Command5->click();
    }
    StatV& statV() { return *frame->statisticsWindow(); }
    REG& reg() { return *frame->histogramWindow(); }
};

TEST_F(AnalysisTest, FillsBothWindowsAndCopiesTheirTextAndPicture) {
    analyse(kGlucose);
    ASSERT_NE(frame->statisticsWindow(), nullptr);
    ASSERT_NE(frame->histogramWindow(), nullptr);
    QString expected = commandLineReport("5");
    EXPECT_EQ(statV().text(), expected);
    EXPECT_EQ(statV().Text2->toPlainText(),
              QString(expected).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));

    const QImage& picture = reg().Picture1->image();
    EXPECT_EQ(picture.size(), reg().Picture1->size());
    EXPECT_GT(countPixels(picture, 0x0000ff), 50);   // the normal curve
    EXPECT_GT(countPixels(picture, 0x000000), 200);  // text, bars and axes

    // Tiled (the geometry is the frame test's), the input window active again, no hourglass.
    EXPECT_EQ(frame->subWindowOf(&statV())->width(), frame->mdiArea->viewport()->width());
    EXPECT_EQ(frame->mdiArea->activeSubWindow(), frame->subWindowOf(frame->inputWindow()));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    // "ｺﾋﾟｰ": the whole text, then the picture as a bitmap.
    QClipboard* clipboard = QGuiApplication::clipboard();
    statV().Command1->click();
    EXPECT_EQ(clipboard->text(), expected);
    clipboard->setText(QStringLiteral("something else"));
    reg().Command1->click();
    ASSERT_FALSE(clipboard->image().isNull());
    EXPECT_EQ(clipboard->image().convertToFormat(QImage::Format_RGB32),
              picture.convertToFormat(QImage::Format_RGB32));
}

TEST(PainterCanvas, PrintsLinesFromTheTopAndMapsTheUserCoordinatesOntoThePicture) {
    PictureBox picture;
    picture.resize(410, 205);
    PainterCanvas canvas(picture);
    canvas.clear();
    canvas.printLine("");
    canvas.printLine("WWWW");
    const int line = QFontMetrics(picture.font()).height();
    EXPECT_EQ(countPixels(picture.image().copy(0, 0, 60, line), 0xffffff), 60 * line);
    EXPECT_LT(countPixels(picture.image().copy(0, line, 60, line), 0xffffff), 60 * line);

    canvas.setScale(-10, -10, 400, 400);
    canvas.drawLine(90, 190, 190, 190, Rgb{255, 0, 0});
    // x 90..190 → pixels 100..200; y 190 → (200)·205/410 = 100.
    EXPECT_EQ(picture.image().pixel(150, 100) & 0xffffff, 0xff0000u);
    EXPECT_EQ(picture.image().pixel(95, 100) & 0xffffff, 0xffffffu);
}

TEST_F(AnalysisTest, RedisplayUsesTheStoredClassCountNotTheOneTypedSince) {
    analyse(kGlucose, QStringLiteral("6"));
    input().Text3->setText(QStringLiteral("9"));
    statV().setStatisticsText("old");
    reg().Command3->click();
    EXPECT_EQ(statV().text(), commandLineReport("6"));
    EXPECT_EQ(store->ClassCount, 6);
}

TEST_F(AnalysisTest, ACalculationErrorShowsOneMessageAndLeavesWhatWasWritten) {
    analyse(kGlucose);
    QString previousReport = statV().text();
    // All values equal: the skewness divides by a zero standard deviation.
    input().Command1->click();
    analyse("5\r\n5\r\n5\r\n5\r\n5\r\n");
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, QString::fromUtf8(kCalcErrorMessage));
    EXPECT_EQ(prompt.shown[0].title, QStringLiteral("エラー"));
    EXPECT_EQ(frame->mdiArea->activeSubWindow(), frame->subWindowOf(frame->inputWindow()));
    EXPECT_EQ(store->MeanValue, 5);  // written before the failure
    EXPECT_EQ(statV().text(), previousReport);
}

TEST_F(AnalysisTest, AClassCountBelowFourIsRefusedAndNothingRuns) {
    analyse(kGlucose, QStringLiteral("3"));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, QString::fromUtf8(kClassCountMessage));
    EXPECT_EQ(prompt.shown[0].title, QStringLiteral("入力エラー"));
    EXPECT_EQ(frame->statisticsWindow(), nullptr);
    EXPECT_EQ(store->ClassCount, 5);
}

}  // namespace
}  // namespace kijunchi::testing
