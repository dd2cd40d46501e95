// Files and documents in the real windows: opening and dropping data files, the column
// question, saving the statistics, writing pictures, the PDF report and the remembered place.
#include <sys/stat.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDropEvent>
#include <QFileInfo>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPdfWriter>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTimer>
#include <QUrl>
#include <filesystem>
#include <functional>

#include "cli/report_command.h"
#include "files/data_file.h"
#include "files/report_export.h"
#include "gui/evaluation/evaluation_window.h"
#include "gui/generators/nrm_dialog.h"
#include "gui/results/histogram_window.h"
#include "gui/results/statistics_window.h"
#include "gui/shell/frame_fixture.h"
#include "gui/study/batch_window.h"
#include "gui/study/partition_window.h"
#include "gui/study/study_header_dialog.h"
#include "gui/study/study_windows.h"
#include "gui/transform/box_window.h"
#include "input/paste_reader.h"
#include "record/study_file.h"
#include "study/grouped_data.h"
#include "support/data_set.h"
#include "support/lab_files.h"
#include "support/poppler.h"
#include "support/recording_file_prompt.h"
#include "support/temp_files.h"
#include "transform/power_transform.h"

namespace kijunchi::testing {
namespace {

class FilesTest : public FileFrameTest {
protected:
    void SetUp() override {
        FileFrameTest::SetUp();
        frame->printPreview = [this](QWidget*) { ++previews; };
    }

    StatV& statV() { return *frame->statisticsWindow(); }

    int previews = 0;
};

// The published calcium values of women and men (tests/data/calcium_by_sex.tsv) as a laboratory
// exports them: a Shift_JIS CSV with the sex first and a sample number between, and the value
// of the given rows (from 1) without a sex.
std::string calciumExport(const std::vector<std::size_t>& withoutSex = {}) {
    std::string csv = "\x90\xAB\x95\xCA,No,Ca\r\n";  // 性別 in Shift_JIS
    std::size_t row = 0;
    for (const auto& [value, sex] : calciumBySexRows()) {
        ++row;
        const bool none = std::find(withoutSex.begin(), withoutSex.end(), row) != withoutSex.end();
        const char* code = sex == "女" ? "\x8F\x97" : "\x92\x6A";
        csv += std::string(none ? "" : code) + "," + std::to_string(row) + "," + value + "\r\n";
    }
    return csv;
}

TEST_F(FilesTest, AGroupColumnChosenWithTheValuesGivesThePartitionItsGroups) {
    const std::string file = folder.write("calcium.csv", calciumExport());
    files.groupChoices = {0};
    open(file, 2);
    // Every column is offered as the group column, numbers or text.
    EXPECT_EQ(files.groups,
              (QStringList{QStringLiteral("性別"), QStringLiteral("No"), QStringLiteral("Ca")}));
    EXPECT_EQ(input().Label4->text(), QStringLiteral("240"));
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_TRUE(frame->PasteText.startsWith(QStringLiteral("8.8\r\n8.9\r\n")));

    PartitionWindow* window = frame->studies->showPartition();
    window->StudyButton->click();
    const QString text = window->text();
    // Headed by the analyte, as the command line heads it.
    EXPECT_TRUE(text.startsWith(QStringLiteral("項目 =\tCa\r\n"))) << text.toStdString();
    EXPECT_NE(text.indexOf(QStringLiteral("女\t120\t9.571\t0.2914")), -1) << text.toStdString();
    EXPECT_NE(text.indexOf(QStringLiteral("女 : 男\t5.796\t3\t1.077\t平均値に差あり")), -1);
    EXPECT_NE(text.indexOf(QStringLiteral("SDR =\t0.5212")), -1);

    // Without a group column the same file gives the values alone, and no groups.
    files.groupChoices.clear();
    open(file, 2);
    EXPECT_EQ(input().Label4->text(), QStringLiteral("240"));
    window->StudyButton->click();
    EXPECT_NE(window->text().indexOf(QString::fromUtf8(kNoGroupsMessage)), -1);
}

TEST_F(FilesTest, AValueWithoutItsGroupIsLeftOutAndTold) {
    const std::string file = folder.write("calcium.csv", calciumExport({3, 200}));
    files.groupChoices = {0};
    open(file, 2);
    EXPECT_EQ(input().Label4->text(), QStringLiteral("238"));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, QStringLiteral("グループが空欄の値2個は読み込んでいません。"));
    PartitionWindow* window = frame->studies->showPartition();
    window->StudyButton->click();
    EXPECT_NE(window->text().indexOf(QStringLiteral("女\t119\t")), -1)
        << window->text().toStdString();
    EXPECT_NE(window->text().indexOf(QStringLiteral("男\t119\t")), -1);
}

TEST_F(FilesTest, OpeningAShiftJisExportAsksForTheColumnAndLoadsItAsAPasteWould) {
    const std::string file = folder.write("検査.csv", lab::csvShiftJis());
    store->Lambda = store->LambdaShown = Value("0.5");
    open(file, 2);

    EXPECT_EQ(files.items,
              (QStringList{QStringLiteral("検体番号（0個）"), QStringLiteral("カルシウム（3個）"),
                           QStringLiteral("無機リン（4個）")}));
    EXPECT_EQ(files.enabled, (QList<bool>{false, true, true}));
    EXPECT_EQ(files.current, 1);

    // The data set, the grid, the paste buffer, the transformation state.
    EXPECT_EQ(dataValues(*store), (std::vector<double>{3.4, 3.1, 2.9, 3.6}));
    EXPECT_EQ(input().TextMatrix(4, 1), QStringLiteral("3.6"));
    EXPECT_EQ(input().Label4->text(), QStringLiteral("4"));
    EXPECT_EQ(input().Text1.text(), QStringLiteral("3.4\r\n3.1\r\n2.9\r\n3.6\r\n"));
    EXPECT_EQ(frame->PasteText, input().Text1.text());
    EXPECT_TRUE(store->Lambda.isBlank());
    EXPECT_EQ(frame->dataSource(), QStringLiteral("検査.csv"));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, QStringLiteral("数値でない欄1個を読み飛ばしました。"));
    EXPECT_EQ(prompt.shown[0].title, QStringLiteral("データファイルを開く"));

    // The command line reads the same file to the same values.
    CommandOutput cli =
        runReportCommand({"--show", "data", "--column", "3", file}, textReader(std::string()));
    EXPECT_EQ(cli.out, "3.4\n3.1\n2.9\n3.6\n");

    // "修正ベキ変換" re-reads the buffer: the same values.
    input().Command3->click();
    EXPECT_EQ(dataValues(*store), (std::vector<double>{3.4, 3.1, 2.9, 3.6}));
    // The analysis runs on them and reports their count.
    analyse();
    EXPECT_NE(statV().text().indexOf(QStringLiteral("データ数=\t4")), -1);
}

TEST_F(FilesTest, AWorkbookOfTwoSheetsAsksForTheSheetThenTheColumn) {
    // tests/data/workbook_calcium.xls: "カルシウム" and "日付" (採取日, 値).
    const std::string book = std::string(KIJUNCHI_TEST_DATA) + "/workbook_calcium.xls";
    files.choices = {1, 1};  // the second sheet, its second column
    open(book);
    EXPECT_EQ(files.items,
              (QStringList{QStringLiteral("採取日（2個）"), QStringLiteral("値（2個）")}));
    EXPECT_EQ(dataValues(*store), (std::vector<double>{3.25, -0.5}));
    EXPECT_EQ(frame->dataSource(), QStringLiteral("workbook_calcium.xls"));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_TRUE(prompt.shown[0].text.contains(QStringLiteral("日付・時刻のセル2個")));

    // A cancelled sheet question reads nothing; a damaged workbook is refused in one message.
    prompt.shown.clear();
    files.choices = {std::nullopt};
    open(book);
    EXPECT_EQ(files.items, (QStringList{QStringLiteral("カルシウム"), QStringLiteral("日付")}));
    open(folder.write("cut.xlsx", std::string("PK\x03\x04\x14\0\0\0", 8)));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(
        prompt.shown[0].text,
        QStringLiteral(
            "ファイル「cut.xlsx」はブックとして読めません（壊れているか、途中で切れています）。"));
    EXPECT_EQ(dataValues(*store), (std::vector<double>{3.25, -0.5}));
}

TEST_F(FilesTest, MessagesOfAFileComeTogetherWithTheOver5000LineFirst) {
    std::string text = "Ca;P\r\n";
    for (int i = 0; i < 5002; ++i) text += std::to_string(8 + i % 3) + ",5;1\r\n";
    text += "x;1\r\n";
    open(folder.write("many.csv", text), 0);
    EXPECT_EQ(store->DataCount, 5000);
    EXPECT_EQ(store->AnalysisValues[1].toNumber(), 8.5);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(
        prompt.shown[0].text,
        QString::fromStdString(tooManyValuesMessage(5002)) +
            QStringLiteral("\n数値でない欄1個を読み飛ばしました。\n"
                           "小数点に「,」、区切りに「;」を使ったファイルとして読み込みました。"));
}

TEST_F(FilesTest, TheHeadingTickShowsTheReadingOfTheFirstRowAndOverrulesIt) {
    const std::string years = folder.write("years.csv", "2024,2025\r\n9.1,3.2\r\n9.5,3.4\r\n");
    struct Case {
        std::optional<bool> tick;  // the user's answer; nullopt leaves the tick as offered
        std::vector<double> values;
        const char* message;
    };
    const Case cases[] = {
        {std::nullopt, {9.1, 9.5}, "1行目（2024、2025）を見出しとして読みました。"},
        {false, {2024, 9.1, 9.5}, nullptr},
    };
    for (const Case& c : cases) {
        prompt.shown.clear();
        if (c.tick) files.headingChoices.push_back(*c.tick);
        open(years, 0);
        EXPECT_EQ(files.headingsOffered, true);
        EXPECT_EQ(dataValues(*store), c.values);
        ASSERT_EQ(prompt.shown.size(), c.message ? 1u : 0u);
        if (c.message) {
            EXPECT_EQ(prompt.shown[0].text, QString::fromUtf8(c.message));
        }
    }
}

TEST_F(FilesTest, AFileWithoutDataOrACancelLeavesTheDataSetAsItWas) {
    paste(QStringLiteral("12\r\n15\r\n"));
    const std::string fifo = folder.file("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    struct Bad {
        std::string file;
        const char* message;
    };
    const Bad bad[] = {
        {folder.file("none.csv"), "が見つかりません。"},
        {folder.write("empty.csv", ""), "は空です。"},
        {folder.write("photo.png", std::string("\x89PNG\r\n\x1A\n\0\0", 10)),
         "はテキストのファイルではありません。"},
        {folder.path().string(), "はフォルダです。"},
        // A pipe without a writer and a device would hold the reading for ever.
        {fifo, "はファイルではありません（パイプや装置は開けません）。"},
        {"/dev/zero", "はファイルではありません（パイプや装置は開けません）。"},
    };
    for (const Bad& b : bad) {
        prompt.shown.clear();
        open(b.file);
        ASSERT_EQ(prompt.shown.size(), 1u) << b.file;
        EXPECT_TRUE(prompt.shown[0].text.endsWith(QString::fromUtf8(b.message)) ||
                    prompt.shown[0].text.contains(QString::fromUtf8(b.message)))
            << prompt.shown[0].text.toStdString();
        EXPECT_EQ(prompt.shown[0].icon, Prompt::Icon::Exclamation);
    }
    // The column question cancelled, and no file chosen at all.
    prompt.shown.clear();
    open(folder.write("lab.csv", lab::csvUtf8()), std::nullopt);
    frame->OpenFile->trigger();
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(dataValues(*store), (std::vector<double>{12, 15}));
    EXPECT_EQ(input().Text1.text(), QStringLiteral("12\r\n15\r\n"));
    EXPECT_EQ(frame->dataSource(), QStringLiteral("クリップボード"));
}

TEST_F(FilesTest, AFileDroppedOnTheInputWindowIsOpenedAndTheButtonAsksForOne) {
    const std::string file = folder.write("ca.txt", "9.2\r\n9.6\r\n10.0\r\n");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(file))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&input(), &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(&input(), &drop);
    QCoreApplication::processEvents();
    EXPECT_EQ(dataValues(*store), (std::vector<double>{9.2, 9.6, 10.0}));
    EXPECT_TRUE(files.items.isEmpty());  // one column: no question
    EXPECT_TRUE(prompt.shown.empty());

    // Text dragged in is no file.
    QMimeData text;
    text.setText(QStringLiteral("1"));
    QDragEnterEvent other(QPoint(10, 10), Qt::CopyAction, &text, Qt::LeftButton, Qt::NoModifier);
    other.setAccepted(false);
    QCoreApplication::sendEvent(&input(), &other);
    EXPECT_FALSE(other.isAccepted());

    // The button asks for a file name, starting in the folder of the last file.
    input().Command11->click();
    ASSERT_EQ(files.folders.size(), 1);
    EXPECT_EQ(files.folders[0], QString::fromStdString(folder.path().string()));
    EXPECT_EQ(frame->lastFolder(), QString::fromStdString(folder.path().string()));
}

TEST_F(FilesTest, TheFileMenuHoldsTheNewItemsInOrderWithTheirShortcuts) {
    QStringList texts;
    for (QAction* action : input().M1->actions())
        texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
    EXPECT_EQ(texts,
              (QStringList{"新規作成", "データファイルを開く…", "-", "検討を開く…", "検討を保存",
                           "名前を付けて保存…", "最近の検討", "-", "統計量の保存…", "図の書き出し…",
                           "-", "プリンターの設定", "レポートを印刷…", "PDFに出力…", "-",
                           "検討の情報…", "承認…", "-", "終了"}));
    EXPECT_EQ(frame->SaveStudy->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    EXPECT_EQ(frame->OpenFile->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(frame->PrintReport->shortcut(), QKeySequence(QStringLiteral("Ctrl+P")));
}

TEST_F(FilesTest, TheStatisticsAreSavedAsTextWithCrLfOrAsCsv) {
    frame->SaveStatistics->trigger();  // nothing to save yet
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].title, QStringLiteral("統計量の保存"));
    EXPECT_TRUE(files.folders.isEmpty());

    paste(QStringLiteral("1\r\n2\r\n3\r\n4\r\n"));
    analyse();
    const std::string text = folder.file("report.txt");
    files.fileNames = {QString::fromStdString(text)};
    frame->SaveStatistics->trigger();
    EXPECT_EQ(files.filters, (QStringList{"テキスト (*.txt)", "CSV (*.csv)"}));
    EXPECT_EQ(TempFolder::read(text), testData("report_one_to_four.txt"));

    const std::string csv = folder.file("report.csv");
    files.fileNames = {QString::fromStdString(csv)};
    frame->SaveStatistics->trigger();
    const std::string bytes = TempFolder::read(csv);
    EXPECT_EQ(bytes.rfind("\xEF\xBB\xBF", 0), 0u);
    // The class table's first row "1 TAB 1 TAB TAB - TAB 1.6 TAB ｜ TAB 1 TAB 1" in columns.
    EXPECT_NE(bytes.find("\r\n1,1,,-,1.6,｜,1,1\r\n"), std::string::npos);
    EXPECT_NE(bytes.find("\r\nデータ数=,4\r\n"), std::string::npos);
    EXPECT_EQ(bytes.find('\t'), std::string::npos);

    // A folder that does not exist: one message, nothing written.
    const std::string nowhere = folder.file("missing/report.txt");
    files.fileNames = {QString::fromStdString(nowhere)};
    prompt.shown.clear();
    frame->SaveStatistics->trigger();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_TRUE(prompt.shown[0].text.contains(QStringLiteral("書き込めませんでした")));
    EXPECT_FALSE(std::filesystem::exists(nowhere));
}

TEST_F(FilesTest, TheChartIsWrittenAsPngAndSvgAtTheChosenSize) {
    paste(QString::fromUtf8(testData("skewed_25.txt")));
    analyse();
    REG& reg = *frame->histogramWindow();

    // Drawn again at the window's own size, the chart is the picture on screen.
    const QImage& shown = reg.Picture1->image();
    QImage again(shown.size(), QImage::Format_RGB32);
    {
        QPainter painter(&again);
        reg.paintPicture(0, painter, shown.size());
    }
    EXPECT_EQ(again, shown.convertToFormat(QImage::Format_RGB32));

    const std::string png = folder.file("chart.png");
    const QSize larger(shown.width() + 300, 500);
    files.sizes = {larger};
    files.fileNames = {QString::fromStdString(png)};
    frame->ExportPicture->trigger();
    // A size of its own, not that of the window on the screen.
    EXPECT_EQ(files.suggestedSize, QSize(1000, 700));
    EXPECT_EQ(files.filters, (QStringList{"PNG 画像 (*.png)", "SVG 画像 (*.svg)"}));
    QImage written(QString::fromStdString(png));
    ASSERT_EQ(written.size(), larger);
    // Drawn anew at that size, not stretched: the normal curve in light blue, and the axis
    // runs on beyond the width of the picture on screen.
    int blue = 0, beyond = 0;
    for (int y = 0; y < 500; ++y) {
        for (int x = 0; x < larger.width(); ++x) {
            blue += (written.pixel(x, y) & 0xffffff) == 0x0000ffu;
            beyond += x > shown.width() + 20 && (written.pixel(x, y) & 0xffffff) == 0;
        }
    }
    EXPECT_GT(blue, 50);
    EXPECT_GT(beyond, 20);

    const std::string svg = folder.file("chart.svg");
    files.sizes = {QSize(640, 360)};
    files.fileNames = {QString::fromStdString(svg)};
    frame->ExportPicture->trigger();
    const std::string svgText = TempFolder::read(svg);
    EXPECT_NE(svgText.find("<svg"), std::string::npos);
    EXPECT_NE(svgText.find("width=\"225.778mm\""), std::string::npos) << svgText.substr(0, 400);
    EXPECT_NE(svgText.find("viewBox=\"0 0 640 360\""), std::string::npos);
    EXPECT_NE(svgText.find("#0000ff"), std::string::npos);
}

TEST_F(FilesTest, TheEvaluationWindowJoinsTheSavedReportAndThePictures) {
    paste(QString::fromUtf8(testData("skewed_25.txt")));
    frame->WW3->trigger();  // opens "基準範囲の評価" and runs the analysis
    EvaluationWindow& evaluation = *frame->evaluationWindow();
    ASSERT_FALSE(evaluation.text().isEmpty());

    const std::string text = folder.file("report.txt");
    files.fileNames = {QString::fromStdString(text)};
    frame->SaveStatistics->trigger();
    const std::string saved = TempFolder::read(text);
    QString statistics = statV().partText();
    statistics.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    statistics.replace(QStringLiteral("\n"), QStringLiteral("\r\n"));
    // The statistics as they stand, then the evaluation under its title, all in CR LF.
    EXPECT_EQ(saved.rfind(statistics.toStdString(), 0), 0u);
    const std::string expectedTail = evaluation.text().toStdString();
    EXPECT_NE(saved.find("\r\n基準範囲の評価\r\n"), std::string::npos);
    EXPECT_NE(saved.find(expectedTail.substr(0, expectedTail.find('\r'))), std::string::npos);
    EXPECT_EQ(saved.find("\n\n"), std::string::npos);

    // Three pictures to choose from: the histogram window's and the evaluation's two charts.
    const std::string png = folder.file("qq.png");
    files.choices = {2};
    files.sizes = {QSize(500, 400)};
    files.fileNames = {QString::fromStdString(png)};
    frame->ExportPicture->trigger();
    EXPECT_EQ(files.items,
              (QStringList{"ヒストグラム", "ヒストグラムと基準範囲", "正規Q-Qプロット"}));
    QImage written(QString::fromStdString(png));
    ASSERT_EQ(written.size(), QSize(500, 400));
    int dark = 0;
    for (int y = 0; y < written.height(); ++y)
        for (int x = 0; x < written.width(); ++x) dark += qGray(written.pixel(x, y)) < 128;
    EXPECT_GT(dark, 200);  // axes, labels and points, not an empty page
}

TEST_F(FilesTest, ThePdfReportHoldsTheDescriptionTheReportAndTheChartOnNumberedA4Pages) {
    frame->ExportPdf->trigger();
    ASSERT_EQ(prompt.shown.size(), 1u);  // nothing to print yet
    frame->PrintReport->trigger();
    EXPECT_EQ(previews, 0);

    const std::string data = folder.write(
        "glucose.csv", "No,Glu\r\n" + [] {
            std::string rows;
            for (int i = 0; i < 60; ++i)
                rows += std::to_string(i + 1) + "," + std::to_string(80 + (i * 37) % 41) + "\r\n";
            return rows;
        }());
    open(data, 1);
    analyse();
    frame->PrintReport->trigger();
    EXPECT_EQ(previews, 1);

    const std::string pdf = folder.file("report.pdf");
    files.fileNames = {QString::fromStdString(pdf)};
    frame->ExportPdf->trigger();
    ASSERT_TRUE(std::filesystem::exists(pdf));

    auto text =
        poppler(QStringLiteral("pdftotext"),
                {QStringLiteral("-layout"), QString::fromStdString(pdf), QStringLiteral("-")});
    if (!text) GTEST_SKIP() << "poppler-utils is not installed";
    // The fonts' one glyph for "～" and "〜" comes back from the PDF as "〜".
    const QString pages = QString::fromUtf8(*text).replace(QChar(0x301C), QChar(0xFF5E));
    EXPECT_TRUE(pages.contains(QStringLiteral("解析レポート")));
    EXPECT_TRUE(pages.contains(QStringLiteral("データ数：60")));
    EXPECT_TRUE(pages.contains(QStringLiteral("データ：glucose.csv")));
    EXPECT_TRUE(pages.contains(QStringLiteral("λ：1（変換なし）")));
    EXPECT_TRUE(pages.contains(QStringLiteral("作成日時：")));
    EXPECT_TRUE(pages.contains(QStringLiteral("統計量")));
    // Every line of the report is in the document.
    for (QString line : statV().text().split(QStringLiteral("\r\n"))) {
        line = line.simplified().remove(QLatin1Char(' '));
        if (line.isEmpty()) continue;
        EXPECT_TRUE(QString(pages).remove(QRegularExpression(QStringLiteral("\\s"))).contains(line))
            << line.toStdString();
    }

    // The page images: as many as the footers count, all A4 (210 × 297 mm at 20 dpi, rounded
    // up: 166 × 234).
    QDir out(QString::fromStdString(folder.path().string()));
    poppler(QStringLiteral("pdftoppm"),
            {QStringLiteral("-r"), QStringLiteral("20"), QStringLiteral("-png"),
             QString::fromStdString(pdf), out.filePath(QStringLiteral("page"))});
    const QStringList images =
        out.entryList({QStringLiteral("page*.png")}, QDir::Files, QDir::Name);
    ASSERT_GE(images.size(), 2);  // the report text and the chart do not fit on one page
    for (int i = 0; i < images.size(); ++i) {
        EXPECT_TRUE(pages.contains(QStringLiteral("%1 / %2").arg(i + 1).arg(images.size())));
        EXPECT_EQ(QImage(out.filePath(images[i])).size(), QSize(166, 234));
    }

    // The printer setup's print button prints the same document.
    const std::string printed = folder.file("printed.pdf");
    {
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(printed));
        EXPECT_EQ(frame->printReport(printer), images.size());
    }
    auto printedText = poppler(QStringLiteral("pdftotext"),
                               {QString::fromStdString(printed), QStringLiteral("-")});
    EXPECT_TRUE(QString::fromUtf8(*printedText).contains(QStringLiteral("データ：glucose.csv")));

    // A PDF that cannot be written says why, and the earlier file stays whole.
    const std::string before = TempFolder::read(pdf);
    files.fileNames = {QString::fromStdString(folder.file("missing/report.pdf"))};
    prompt.shown.clear();
    frame->ExportPdf->trigger();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_TRUE(prompt.shown[0].text.contains(QStringLiteral("書き込めませんでした")));
    EXPECT_EQ(TempFolder::read(pdf), before);
}

// A device or a pipe chosen as the file to write is refused with a message and stays what it
// was: a pipe without a reader would hold the program for ever, a device be replaced by a file.
TEST_F(FilesTest, APipeOrDeviceChosenForAnOutputIsRefusedAndLeftAlone) {
    paste(QStringLiteral("1\r\n2\r\n3\r\n4\r\n"));
    analyse();
    const std::string pipe = folder.file("pipe");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    const auto stays = [](const std::string& path, mode_t kind) {
        struct stat st {};
        return ::stat(path.c_str(), &st) == 0 && (st.st_mode & S_IFMT) == kind;
    };
    for (const auto& [path, kind] : {std::pair{pipe, S_IFIFO}, {"/dev/full", S_IFCHR}}) {
        for (QAction* output : {frame->ExportPdf, frame->SaveStatistics, frame->SaveStudyAs}) {
            SCOPED_TRACE(path + " " + output->text().toStdString());
            prompt.shown.clear();
            files.fileNames = {QString::fromStdString(path)};
            output->trigger();
            ASSERT_EQ(prompt.shown.size(), 1u);
            EXPECT_TRUE(
                prompt.shown[0].text.contains(QStringLiteral("通常のファイルではない")) ||
                prompt.shown[0].text.contains(QStringLiteral("通常のファイルではありません")))
                << prompt.shown[0].text.toStdString();
            EXPECT_TRUE(stays(path, kind));
        }
        // The printer's "print to file".
        prompt.shown.clear();
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(QString::fromStdString(path));
        EXPECT_EQ(frame->printReport(printer), 0);
        EXPECT_EQ(prompt.shown.size(), 1u);
        EXPECT_TRUE(stays(path, kind));
    }
}

// 検討の情報: its 項目名 starts as the column's heading; what is given heads every page of the
// PDF and its description.
TEST_F(FilesTest, TheStudyHeaderGivenInItsDialogHeadsEveryPage) {
    std::string rows = "No,Ca\r\n";
    for (std::size_t i = 0; i < calcium240().size(); ++i)
        rows +=
            std::to_string(i + 1) + "," + QString::number(calcium240()[i]).toStdString() + "\r\n";
    open(folder.write("lab.csv", rows), 1);
    analyse();
    input().Command6->click();  // the evaluation too, so that the document has several pages

    QString suggested;
    QTimer::singleShot(0, [&] {
        auto* dialog = qobject_cast<StudyHeaderDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        suggested = dialog->AnalyteEdit->text();
        dialog->AnalyteEdit->setText(QStringLiteral("カルシウム"));
        dialog->UnitEdit->setText(QStringLiteral(" mg/dL "));
        dialog->AuthorEdit->setText(QStringLiteral("検査 花子"));
        dialog->NoteEdit->setPlainText(QStringLiteral("健常成人\n2026年12月"));
        dialog->Buttons->button(QDialogButtonBox::Ok)->click();
    });
    frame->StudyInfo->trigger();
    EXPECT_EQ(suggested, QStringLiteral("Ca"));
    EXPECT_EQ(store->Header.analyte, "カルシウム");
    EXPECT_EQ(store->Header.unit, "mg/dL");
    EXPECT_EQ(store->Header.note, "健常成人\n2026年12月");
    EXPECT_TRUE(
        frame->runningHead().startsWith(QStringLiteral("基準値　解析レポート　　カルシウム　　")));

    const auto text = exportedPdf("header.pdf");
    if (!text) GTEST_SKIP() << "poppler-utils is not installed";
    const QStringList pages = text->split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    ASSERT_GE(pages.size(), 2);
    for (const QString& page : pages)
        EXPECT_TRUE(page.contains(QStringLiteral("カルシウム"))) << page.left(200).toStdString();
    EXPECT_TRUE(pages[0].contains(QStringLiteral("mg/dL")));
    EXPECT_TRUE(pages[0].contains(QStringLiteral("検査 花子")));
}

// The two files that once took the program down: refused in one message each, the data set kept.
TEST_F(FilesTest, AHostileWorkbookOrStudyIsRefusedAndTheDataSetKept) {
    paste(QStringLiteral("12\r\n15\r\n"));
    open(std::string(KIJUNCHI_TEST_DATA) + "/shared_index_nan.xlsx");
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(
        prompt.shown[0].text,
        QStringLiteral("ファイル「shared_index_nan.xlsx」はブックとして読めません（壊れているか、"
                       "途中で切れています）。"));
    files.fileNames.push_back(QString::fromStdString(
        folder.write("range.kijunchi", "{\"format\": \"kijunchi-study\", \"classes\": 1e400}")));
    frame->OpenStudy->trigger();
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[1].text.toStdString(),
              studyRefusalMessage(StudyRefusal::Damaged, "range.kijunchi"));
    EXPECT_EQ(dataValues(*store), (std::vector<double>{12, 15}));
    EXPECT_EQ(input().Text1.text(), QStringLiteral("12\r\n15\r\n"));
}

// A study saved and opened again shows the same texts; a refused file changes nothing; a
// change not saved is asked about before 新規作成.
TEST_F(FilesTest, AStudySavedAndOpenedAgainShowsTheSameTextsAndARefusedOneChangesNothing) {
    QSettings().remove(QStringLiteral("recentStudies"));
    paste(QString::fromStdString(testData("calcium_240.txt")));
    input().Command6->click();
    store->Header.analyte = "カルシウム";
    store->Header.author = "検査 花子";
    frame->evaluationWindow()->ExcludeTukey->trigger();
    const QString evaluation = frame->evaluationWindow()->text();
    const QString statistics = statV().text();
    const auto undated = [this] {
        // Without the times, and without the record, which grows by each save and opening.
        QStringList lines = frame->reportDescription();
        lines = lines.mid(0, lines.indexOf(QStringLiteral("記録：")));
        return lines.filter(QRegularExpression(QStringLiteral("^(?!.*日時)")));
    };
    const QStringList description = undated();
    EXPECT_TRUE(frame->unsavedChanges());

    const std::string path = folder.file("calcium.kijunchi");
    files.fileNames.push_back(QString::fromStdString(path));
    frame->SaveStudy->trigger();  // no name yet: asked for one
    EXPECT_FALSE(frame->unsavedChanges());
    EXPECT_EQ(frame->recentStudies().value(0),
              QFileInfo(QString::fromStdString(path)).absoluteFilePath());

    input().Command1->click();  // nothing to save: nothing asked
    EXPECT_EQ(store->WorkCount, 0);
    EXPECT_TRUE(store->Header.empty());
    paste(QStringLiteral("1\r\n2\r\n3\r\n"));
    const std::string saved = TempFolder::read(path);
    const std::string cut = folder.write("cut.kijunchi", saved.substr(0, saved.size() / 2));
    files.fileNames.push_back(QString::fromStdString(cut));
    frame->OpenStudy->trigger();
    ASSERT_FALSE(prompt.shown.empty());
    EXPECT_EQ(prompt.shown.back().text.toStdString(),
              studyRefusalMessage(StudyRefusal::Truncated, "cut.kijunchi"));
    EXPECT_EQ(store->WorkCount, 3);

    files.fileNames.push_back(QString::fromStdString(path));
    frame->OpenStudy->trigger();
    EXPECT_EQ(frame->evaluationWindow()->text(), evaluation);
    EXPECT_EQ(statV().text().toStdString(), statistics.toStdString());
    EXPECT_EQ(undated(), description);
    EXPECT_FALSE(frame->unsavedChanges());

    store->Header.unit = "mg/dL";
    prompt.threeWayAnswers = {Prompt::Answer::Cancel};
    input().Command1->click();
    EXPECT_EQ(store->WorkCount, 238);
    // Leaving the program: はい saves under the study's name, then the program ends.
    prompt.threeWayAnswers = {Prompt::Answer::Yes};
    frame->exitConfirmation();
    EXPECT_EQ(programEnds, 1);
    EXPECT_NE(TempFolder::read(path).find("\"unit\": \"mg/dL\""), std::string::npos);
    store->Header.unit.clear();
    prompt.threeWayAnswers = {Prompt::Answer::No};
    input().Command1->click();
    EXPECT_EQ(store->WorkCount, 0);
    EXPECT_TRUE(prompt.threeWayAnswers.empty());
}

// A transformed data set (λ = 0) and one with groups come back as they were saved.
TEST_F(FilesTest, ATransformedOrGroupedStudyComesBackAsSaved) {
    for (const bool grouped : {false, true}) {
        SCOPED_TRACE(grouped ? "grouped" : "λ = 0");
        if (grouped) {
            input().GroupTick->setChecked(true);
            paste(QString::fromStdString(testData("calcium_by_sex.tsv")));
        } else {
            paste(QString::fromStdString(testData("skewed_25.txt")));
            ASSERT_TRUE(applyLambda(*store, "0", frame->inputGrid()));
        }
        analyse();
        store->Header.analyte = "IgM";
        const QString statistics = statV().text();
        const std::vector<std::string> groups = store->GroupLabels;
        const std::string path = folder.file(grouped ? "grouped.kijunchi" : "log.kijunchi");
        files.fileNames.push_back(QString::fromStdString(path));
        frame->SaveStudyAs->trigger();
        input().Command1->click();
        ASSERT_EQ(store->WorkCount, 0);
        files.fileNames.push_back(QString::fromStdString(path));
        frame->OpenStudy->trigger();
        EXPECT_EQ(statV().text().toStdString(), statistics.toStdString());
        EXPECT_EQ(store->GroupLabels, groups);
        EXPECT_EQ(store->Header.analyte, "IgM");
        input().GroupTick->setChecked(false);
        input().Command1->click();
    }
}

// Every way of writing another data set after an analysis: the result windows say that they
// hold the earlier data's results, the evaluation is cleared, and the documents (PDF and the
// saved report) describe the analysis shown, not the data set that came after it. The next
// analysis describes its own data set.
TEST_F(FilesTest, ADocumentDescribesTheAnalysisItShowsWhateverReplacedTheDataSet) {
    // Twelve values in column A, eight in column B.
    const std::string first = folder.write("first.csv", [] {
        std::string rows = "A,B\r\n";
        for (int i = 0; i < 12; ++i)
            rows += std::to_string(11 + (i * 7) % 12) + "," +
                    (i < 8 ? std::to_string(3 + (i * 5) % 8) : std::string()) + "\r\n";
        return rows;
    }());
    const QString ten = QStringLiteral("7\n8\n9\n11\n8\n10\n9\n12\n7\n10\n");
    const std::string other = folder.write("other.txt", ten.toStdString());
    if (QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        GTEST_SKIP() << "poppler-utils is not installed";

    struct Case {
        const char* way;
        std::function<void()> change;
        QString source;  // of the next analysis; empty: no data to analyse
        QString count;
    };
    const std::vector<Case> cases = {
        {"paste", [&] { paste(ten); }, "クリップボード", "22"},  // a paste adds to the values
        {"grouped paste",
         [&] {
             input().GroupTick->setChecked(true);
             paste(QString(ten).replace(QStringLiteral("\n"), QStringLiteral("\tA\n")));
             input().GroupTick->setChecked(false);
         },
         "クリップボード", "10"},
        {"file", [&] { open(other); }, "other.txt", "10"},
        {"column", [&] { open(first, 1); }, "first.csv", "8"},
        {"generator",
         [&] {
             frame->openNormalGenerator();
             NRM& nrm = *frame->normalGenerator();
             nrm.Text1->setText(QStringLiteral("30"));
             nrm.Text2->setText(QStringLiteral("50"));
             nrm.Text3->setText(QStringLiteral("5"));
             nrm.Command2->click();
         },
         "正規乱数の発生", "30"},
        {"new", [&] { input().Command1->click(); }, "", ""},
        {"transformation",
         [&] {
             input().Command3->click();
             box& transform = *frame->transformWindow();
             transform.Text1->setText(QStringLiteral("0"));
             transform.Command2->click();
         },
         "first.csv", "12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.way);
        open(first, 0);
        frame->WW3->trigger();  // the evaluation, after an analysis of the twelve values
        ASSERT_EQ(statV().windowTitle(), QStringLiteral("統計量"));
        ASSERT_EQ(store->DataCount, 12);
        const QString evaluated = frame->evaluationWindow()->text();

        c.change();
        EXPECT_EQ(statV().windowTitle(), QStringLiteral("統計量（前のデータ）"));
        EXPECT_EQ(frame->histogramWindow()->windowTitle(),
                  QStringLiteral("ヒストグラム（前のデータ）"));
        EXPECT_FALSE(statV().EarlierLabel->isHidden());
        EXPECT_EQ(frame->evaluationWindow()->text(), QString::fromUtf8(kEvaluationDataChanged));
        EXPECT_NE(frame->evaluationWindow()->text(), evaluated);

        QString pages = pdfText();
        EXPECT_TRUE(pages.contains(QStringLiteral("データ数：12")))
            << pages.left(200).toStdString();
        EXPECT_TRUE(pages.contains(QStringLiteral("データ：first.csv")));
        EXPECT_TRUE(pages.contains(QStringLiteral("λ：1（変換なし）")));
        EXPECT_TRUE(pages.contains(QStringLiteral("統計量（前のデータ）")));
        EXPECT_TRUE(pages.contains(
            QString::fromUtf8(kEarlierDataLine).remove(QRegularExpression(QStringLiteral("\\s")))));

        const std::string saved = folder.file("saved.txt");
        files.fileNames = {QString::fromStdString(saved)};
        frame->SaveStatistics->trigger();
        EXPECT_EQ(TempFolder::read(saved).rfind(std::string(kEarlierDataLine) + "\r\n", 0), 0u);

        if (c.source.isEmpty()) continue;
        analyse();
        EXPECT_EQ(statV().windowTitle(), QStringLiteral("統計量"));
        EXPECT_TRUE(statV().EarlierLabel->isHidden());
        pages = pdfText();
        EXPECT_TRUE(pages.contains(QStringLiteral("データ数：") + c.count));
        EXPECT_TRUE(pages.contains(QStringLiteral("データ：") + c.source));
        EXPECT_FALSE(pages.contains(QStringLiteral("（前のデータ）")));
    }

    // Every page is headed by the title, the analyte (here the column's heading) and the date.
    const auto text = exportedPdf("headed.pdf");
    ASSERT_TRUE(text);
    QStringList pages = text->split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    while (!pages.isEmpty() && pages.back().trimmed().isEmpty()) pages.removeLast();
    ASSERT_GE(pages.size(), 2);
    const QRegularExpression head(
        QStringLiteral("基準値\\s*解析レポート\\s+A\\s+\\d{4}/\\d{2}/\\d{2} \\d{2}:\\d{2}"));
    for (const QString& page : pages)
        EXPECT_TRUE(head.match(page).hasMatch()) << page.left(120).toStdString();
}

// 一括評価 names its files through the frame's prompt, from the last folder, and a file opened
// after a run clears the table of the file before.
TEST_F(FilesTest, TheBatchAsksForItsFilesLikeTheFrameAndForgetsTheTableOfAnotherFile) {
    BatchWindow& batch = *frame->studies->showBatch();
    const std::string one = folder.write("one.csv", [] {
        std::string rows = "Na,K\r\n";
        for (int i = 0; i < 30; ++i)
            rows +=
                std::to_string(135 + i % 9) + "," + std::to_string(3.5 + (i % 7) * 0.2) + "\r\n";
        return rows;
    }());
    files.fileNames = {QString::fromStdString(one)};
    batch.OpenButton->click();
    batch.RunButton->click();
    ASSERT_EQ(batch.Table->rowCount(), 2);

    const std::string csv = folder.file("batch.csv");
    files.fileNames = {QString::fromStdString(csv)};
    batch.SaveButton->click();
    EXPECT_EQ(files.filters, QStringList{QStringLiteral("CSV (*.csv)")});
    EXPECT_EQ(files.folders.back(), QDir(QString::fromStdString(folder.path().string()))
                                        .filePath(QStringLiteral("一括評価.csv")));
    EXPECT_EQ(TempFolder::read(csv).rfind("\xEF\xBB\xBF", 0), 0u);

    const std::string two = folder.write("two.csv", "Ca\r\n9.1\r\n9.3\r\n");
    files.fileNames = {QString::fromStdString(two)};
    batch.OpenButton->click();
    EXPECT_EQ(batch.Table->rowCount(), 0);
    EXPECT_TRUE(batch.StatusLabel->text().isEmpty());
    EXPECT_TRUE(batch.partText().isEmpty());
    EXPECT_FALSE(batch.SaveButton->isEnabled());

    // A workbook of two sheets asks for the sheet with the file menu's question; a cancel
    // keeps the file before.
    const QString book = QStringLiteral(KIJUNCHI_TEST_DATA "/workbook_calcium.xls");
    files.fileNames = {book};
    files.choices = {std::nullopt};
    batch.OpenButton->click();
    EXPECT_EQ(files.items, (QStringList{QStringLiteral("カルシウム"), QStringLiteral("日付")}));
    EXPECT_EQ(batch.FileLabel->text(), QStringLiteral("データファイル: two.csv（1列）"));
    files.fileNames = {book};
    files.choices = {1};
    batch.OpenButton->click();
    EXPECT_EQ(batch.FileLabel->text(),
              QStringLiteral("データファイル: workbook_calcium.xls シート「日付」（2列）"));
    ASSERT_EQ(batch.GroupBox->count(), 3);
    EXPECT_EQ(batch.GroupBox->itemText(1), QStringLiteral("採取日"));
}

TEST_F(FilesTest, TheFramesPlaceAndTheLastFolderAreRememberedForTheNextStart) {
    frame->showNormal();
    frame->setGeometry(40, 50, 700, 500);
    const QRect placed = frame->geometry();
    frame->rememberPlace();
    open(folder.write("a.txt", "1\r\n"));

    AnalysisStore otherStore;
    MDIForm1 next(otherStore, random, prompt);
    next.endProgram = [] {};
    next.startUp(1);
    EXPECT_EQ(next.geometry(), placed);
    EXPECT_EQ(next.lastFolder(), QString::fromStdString(folder.path().string()));
    EXPECT_EQ(otherStore.DataCount, 0);  // the data are not remembered
    EXPECT_EQ(otherStore.ClassCount, 5);
}

}  // namespace
}  // namespace kijunchi::testing
