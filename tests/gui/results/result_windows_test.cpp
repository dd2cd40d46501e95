// The analysis command and the result windows: the report text, the chart, copy, "再表示" and
// the failure paths.
#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <clocale>
#include <cmath>
#include <string>

#include "analysis/number_text.h"
#include "cli/report_command.h"
#include "gui/results/document_part.h"
#include "gui/results/histogram_window.h"
#include "gui/results/picture_box.h"
#include "gui/results/report_document.h"
#include "gui/results/statistics_window.h"
#include "gui/shell/frame_fixture.h"
#include "gui/transform/box_window.h"
#include "report/analysis_run.h"
#include "support/poppler.h"
#include "support/temp_files.h"

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

// An entry of the study's log longer than the page (Japanese, no blank to break at but the one
// in its time) is cut into lines each within the width, every character kept in order; the
// lines that go on start with the indent.
TEST(ReportDocument, ALongLineIsCutWithinTheWidth) {
    const QFontMetricsF metrics(QApplication::font());
    const QString indent = QStringLiteral("\u3000\u3000");
    QString entry = QStringLiteral(
        "\u3000"
        "2026/12/09 15:04\u3000除外\u3000");
    for (int i = 0; i < 12; ++i) entry += QStringLiteral("外れ値の規則で値を除いた");
    const double width = metrics.horizontalAdvance(QStringLiteral("外")) * 30.5;
    ASSERT_GT(metrics.horizontalAdvance(entry), 4 * width);
    const QStringList lines = wrapped(entry, width, metrics, indent);
    ASSERT_GE(lines.size(), 5);
    QString joined = lines[0];
    for (qsizetype i = 0; i < lines.size(); ++i) {
        EXPECT_LE(metrics.horizontalAdvance(lines[i]), width) << i;
        if (i == 0) continue;
        EXPECT_TRUE(lines[i].startsWith(indent)) << i;
        joined += lines[i].mid(indent.size());
    }
    EXPECT_EQ(joined, entry);  // the time's blank is far back: never the break
}

// A 項目名 (or an approver) too long for the head is shortened in its middle, the rest of the
// head kept; a head that fits stays as it is.
TEST(ReportDocument, ALongNameIsShortenedInTheRunningHead) {
    QFont font(QStringLiteral("IPAGothic"));
    font.setPointSizeF(9);
    const QFontMetricsF metrics(font);
    const double width = metrics.horizontalAdvance(QStringLiteral("外")) * 53;  // 170 mm at 9 pt
    const QString title = QStringLiteral("基準値　解析レポート　　");
    const QString date = QStringLiteral("　　2026/12/10 08:00");
    const QString name = "A" + QString(198, QChar(0x30AB)) + "Z";  // カ
    const QString approval = QStringLiteral("　　承認：承認 太郎（2026/12/10 09:00）");
    const QString longApproval = "　　承認：" + QString(100, QChar(0x30AB)) + "Z";
    EXPECT_EQ(fittedHead(title + "カルシウム" + date + approval, width, metrics),
              title + "カルシウム" + date + approval);
    struct Case {
        QString head, start, end;
    } cases[] = {
        {title + name + date, title + "Aカ", "カZ" + date},
        {title + name + date + approval, title + "Aカ", "カZ" + date + approval},
        {title + name + date + longApproval, title + "Aカ", "カZ"},
    };
    for (const Case& c : cases) {
        const QString head = fittedHead(c.head, width, metrics);
        SCOPED_TRACE(head.toStdString());
        EXPECT_LE(metrics.horizontalAdvance(head), width);
        EXPECT_TRUE(head.startsWith(c.start) && head.endsWith(c.end));
        EXPECT_TRUE(head.contains(QChar(0x2026)));
        EXPECT_TRUE(head.contains(date));
    }
}

// The PDF of a 200-character 項目名 and of report lines with TABs wider than the page (one
// with a piece wider than the page by itself) draws no word past the right margin (A4 210 mm
// less 20 mm: 538.6 pt), and every character of those lines is on the page.
TEST(ReportDocument, NothingIsDrawnPastTheRightMargin) {
    struct TextPart : DocumentPart {
        QString text;
        QString partTitle() const override { return QStringLiteral("統計量"); }
        QString partText() const override { return text; }
    } part;
    const QString lines[] = {
        QStringLiteral("Anderson-Darling検定\tA² =\t0.3282\tp =\t0.5141\tP≧0.05で正規性を棄却"
                       "することができない。\t（補正A² = 0.3301）"),
        "位置\t" + QString(150, QChar(0x5024)) + "\t終わり",  // 値
    };
    part.text = lines[0] + "\r\n" + lines[1] + "\r\n";
    const QString name = "A" + QString(198, QChar(0x30AB)) + "Z";
    TempFolder folder;
    const QString pdf = QString::fromStdString(folder.file("margin.pdf"));
    ASSERT_EQ(writeReportPdf(pdf, {QStringLiteral("解析レポート"), "項目名：" + name}, {&part},
                             QStringLiteral("基準値　解析レポート　　") + name +
                                 QStringLiteral("　　2026/12/10 08:00　　未承認")),
              QString());
    const auto boxes = poppler(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, "-"});
    if (!boxes) GTEST_SKIP() << "poppler-utils is not installed";
    const QRegularExpression word(QStringLiteral("xMax=\"([0-9.]+)\""));
    int words = 0;
    for (auto m = word.globalMatch(QString::fromUtf8(*boxes)); m.hasNext(); ++words)
        EXPECT_LE(m.next().captured(1).toDouble(), 538.6);
    EXPECT_GT(words, 10);
    const QRegularExpression blank(QStringLiteral("\\s"));
    const QString text =
        QString::fromUtf8(*poppler(QStringLiteral("pdftotext"), {pdf, "-"})).remove(blank);
    for (QString line : lines) EXPECT_TRUE(text.contains(line.remove(blank))) << line.toStdString();
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

TEST_F(AnalysisTest, ACalculationErrorShowsOneMessageAndEmptiesTheStatisticsText) {
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
    // No report of the earlier data set stands beside the error.
    EXPECT_FALSE(previousReport.isEmpty());
    EXPECT_EQ(statV().text(), QString());
    EXPECT_EQ(statV().Text2->toPlainText(), QString());
}

TEST_F(AnalysisTest, AClassCountThatIsNoWholeNumberFromFourToOneThousandIsRefused) {
    const char* refused[] = {"3", "2000", "abc", "4.5", "", "12x"};
    for (const char* classes : refused) {
        SCOPED_TRACE(classes);
        prompt.shown.clear();
        analyse(kGlucose, QString::fromUtf8(classes));
        ASSERT_EQ(prompt.shown.size(), 1u);
        EXPECT_EQ(prompt.shown[0].text,
                  QStringLiteral("ﾋｽﾄｸﾞﾗﾑの階級数は4以上1000以下の整数を入力して下さい。"));
        EXPECT_EQ(prompt.shown[0].title, QStringLiteral("入力エラー"));
        EXPECT_EQ(frame->statisticsWindow(), nullptr);
        EXPECT_EQ(store->ClassCount, 5);
    }
}

// Transforms the pasted data with λ through the transformation window, then analyses.
class TransformedAnalysisTest : public AnalysisTest {
protected:
    void analyseTransformed(const std::string& data, const char* lambda) {
        input().Command1->click();  // 新規作成
        paste(QString::fromStdString(data));
        input().Command3->click();  // 修正ベキ変換
        box* window = frame->transformWindow();
        ASSERT_NE(window, nullptr);
        window->Text1->setText(QString::fromUtf8(lambda));
        window->Command2->click();  // 変換する
        ASSERT_EQ(store->Lambda, Value(lambda));
        input().Command5->click();
    }
};

TEST_F(TransformedAnalysisTest, LeftSkewedDataWithLambdaTwoPrintTheirLimits) {
    // 60 values 2 − 0.8·(i/60)³ to two decimals; limits from python (see the core test).
    std::string data;
    for (int i = 1; i <= 60; ++i)
        data += numberText(std::round((2.0 - 0.8 * std::pow(i / 60.0, 3)) * 100) / 100) + "\r\n";
    analyseTransformed(data, "2");
    EXPECT_TRUE(prompt.shown.empty()) << prompt.shown[0].text.toStdString();
    EXPECT_TRUE(statV().text().contains(QStringLiteral("95%下限 =  \t1.315\r\n95%上限 =  \t2.193")))
        << statV().text().toStdString();
    EXPECT_TRUE(statV().text().contains(QStringLiteral("ベキ指数λ =\t2\r\n")));
}

TEST_F(TransformedAnalysisTest, AnUpperLimitBelowTheLowerIsNeverPrinted) {
    analyse(kGlucose);  // an earlier report
    analyseTransformed("1\r\n2\r\n3\r\n4\r\n", "-1");
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, QString::fromUtf8(kCalcErrorMessage));
    EXPECT_EQ(statV().text(), QString());
}

TEST_F(AnalysisTest, TheReportUnderACommaLocaleIsTheCommandLinesReport) {
    const QString expected = commandLineReport("5");  // the process is in the C locale here
    const std::string before = std::setlocale(LC_ALL, nullptr);
    // What creating the application does on a desktop whose locale writes 12,5.
    if (std::setlocale(LC_ALL, "de_DE.UTF-8") == nullptr)
        GTEST_SKIP() << "the locale de_DE.UTF-8 is not generated (see scripts/install-packages.sh)";
    paste(QStringLiteral("12.5\r\n0.25\r\n"));
    const QString cells = input().TextMatrix(1, 1) + QLatin1Char(' ') + input().TextMatrix(2, 1);
    input().Command1->click();
    analyse(kGlucose);
    const QString report = statV().text();
    std::setlocale(LC_ALL, before.c_str());
    EXPECT_EQ(cells, QStringLiteral("12.5 0.25"));
    EXPECT_EQ(report, expected);
}

}  // namespace
}  // namespace kijunchi::testing
