// The window "間接法による基準範囲": on a small extract of two files it gives the table the
// command line gives for the same choices, cell for cell, and saves it as CSV.
#include "gui/study/indirect_window.h"

#include <QChartView>
#include <QCheckBox>
#include <QComboBox>
#include <QGraphicsTextItem>
#include <QLabel>
#include <QLegend>
#include <QLineEdit>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableWidget>
#include <algorithm>
#include <cmath>
#include <optional>

#include "analysis/distributions.h"
#include "gui/results/report_document.h"
#include "gui/shell/frame_fixture.h"
#include "gui/study/study_windows.h"
#include "support/indirect_runs.h"
#include "support/poppler.h"
#include "support/recording_file_prompt.h"
#include "support/temp_files.h"

namespace kijunchi::testing {
namespace {

// One decimal, as a laboratory reports.
std::string tenths(double v) {
    const long t = std::lround(v * 10);
    return std::to_string(t / 10) + "." + std::to_string(t % 10);
}

// Women: 1300 non-pathological results on normal quantiles about 100 (σ 10) and 200 high ones
// about 140, outpatients in 2024, one per patient; men: 10 results, too few to estimate. Rows
// the filters leave out: inpatients, a date outside the range, an age outside the bands, a
// patient's later result, and results below a limit ("<60") that count as censored.
std::pair<std::string, std::string> extractFiles() {
    std::string a = "患者ID,性別,年齢,検査日,区分,値\r\n", b = a;
    int id = 0;
    const auto row = [&](std::string& to, const std::string& sex, int age, const std::string& date,
                         const std::string& setting, const std::string& value) {
        to += "P" + std::to_string(++id) + "," + sex + "," + std::to_string(age) + "," + date +
              "," + setting + "," + value + "\r\n";
    };
    for (int i = 0; i < 1300; ++i)
        row(i % 2 ? a : b, "F", 20 + i % 60, "2024-03-01", "外来",
            tenths(100 + 10 * normalQuantile((i + 0.5) / 1300)));
    for (int i = 0; i < 200; ++i)
        row(a, "F", 30, "2024-05-01", "外来", tenths(140 + 15 * normalQuantile((i + 0.5) / 200)));
    for (int i = 0; i < 5; ++i) row(b, "F", 40, "2024-06-01", "外来", "<60");
    for (int i = 0; i < 10; ++i) row(b, "M", 50, "2024-07-01", "外来", tenths(110 + i));
    row(a, "F", 40, "2024-08-01", "入院", "500.0");
    row(a, "F", 40, "2023-12-31", "外来", "500.0");
    row(a, "F", 10, "2024-08-01", "外来", "500.0");
    a += "P1,F,20,2024-09-01,外来,500.0\r\n";  // P1's second result
    return {a, b};
}

std::vector<QStringList> linesOf(const std::string& text) {
    std::vector<QStringList> lines;
    for (const QString& line :
         QString::fromStdString(text).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        lines.push_back(line.split(QLatin1Char('\t')));
    return lines;
}

class IndirectWindowTest : public FrameTest {
protected:
    // The window of the frame with the files opened, their value column 値 chosen.
    IndirectWindow* openExtract(const std::vector<std::string>& paths) {
        IndirectWindow* window = frame->studies->showIndirect();
        window->chooseDataFiles = [paths] {
            QStringList files;
            for (const auto& p : paths) files << QString::fromStdString(p);
            return files;
        };
        window->OpenButton->click();
        window->ValueBox->setCurrentText(QStringLiteral("値"));
        return window;
    }
    TempFolder folder;
};

TEST_F(IndirectWindowTest, TheTableAndTheCsvAreTheCommandLines) {
    const auto [a, b] = extractFiles();
    const std::string fileA = folder.write("a.csv", a), fileB = folder.write("b.csv", b);
    const std::vector<std::string> args{
        "--indirect", "--column",    "値",     "--group",    "性別",   "--age",
        "年齢",       "--age-bands", "18,120", "--patient",  "患者ID", "--first-per-patient",
        "--date",     "検査日",      "--from", "2024-01-01", "--to",   "2024-12-31",
        "--where",    "区分=外来",   "--seed", "7",          fileA,    fileB};
    const auto command = runIndirect(args);
    ASSERT_EQ(command.status, 0) << command.err;

    IndirectWindow* window = openExtract({fileA, fileB});
    window->GroupBox->setCurrentText(QStringLiteral("性別"));
    window->AgeBox->setCurrentText(QStringLiteral("年齢"));
    window->BandsEdit->setText(QStringLiteral("18,120"));
    window->PatientBox->setCurrentText(QStringLiteral("患者ID"));
    window->FirstCheck->setChecked(true);
    window->DateBox->setCurrentText(QStringLiteral("検査日"));
    window->FromEdit->setText(QStringLiteral("2024-01-01"));
    window->ToEdit->setText(QStringLiteral("2024/12/31"));
    window->WhereBox->setCurrentText(QStringLiteral("区分"));
    window->WhereEdit->setText(QStringLiteral("外来"));
    window->SeedEdit->setText(QStringLiteral("7"));
    window->RunButton->click();
    EXPECT_TRUE(prompt.shown.empty());

    const auto expected = linesOf(command.out);
    ASSERT_EQ(expected.size(), 3u);  // the headings, women, men
    ASSERT_EQ(window->Table->rowCount(), 2);
    ASSERT_EQ(window->Table->columnCount(), expected[0].size());
    for (int c = 0; c < window->Table->columnCount(); ++c)
        EXPECT_EQ(window->Table->horizontalHeaderItem(c)->text(), expected[0][c]);
    for (int r = 0; r < 2; ++r)
        for (int c = 0; c < window->Table->columnCount(); ++c)
            EXPECT_EQ(window->Table->item(r, c)->text(), expected[r + 1][c]) << r << "," << c;
    // The women's limits were estimated, the men's ten results were not.
    const auto& women = window->partitions()[0].result;
    EXPECT_TRUE(women.estimated());
    EXPECT_EQ(women.total, 1505);
    EXPECT_EQ(women.censoredBelow, 5);
    EXPECT_TRUE(window->partitions()[1].result.refusal.starts_with("推定できません"));
    EXPECT_EQ(window->pictureCount(), 2);
    // No word of the command line in the window: the rows left out by the condition are told of
    // in the window's words.
    EXPECT_TRUE(window->StatusLabel->text().contains(QStringLiteral("条件の列の値が違う1行")))
        << window->StatusLabel->text().toStdString();
    EXPECT_FALSE(window->StatusLabel->text().contains(QStringLiteral("--")));

    const std::string saved = folder.file("table.csv");
    window->chooseCsvFile = [&] { return QString::fromStdString(saved); };
    window->SaveButton->click();
    // No cell here holds a comma or a quote, so the CSV is the TSV with commas.
    std::string csv = command.out;
    std::replace(csv.begin(), csv.end(), '\t', ',');
    EXPECT_EQ(TempFolder::read(saved), "\xEF\xBB\xBF" + csv);

    // The frame's report holds the table, and the charts on their pages.
    ASSERT_TRUE(frame->documentParts().contains(window));
    const std::string pdf = folder.file("report.pdf");
    ASSERT_TRUE(writeReportPdf(QString::fromStdString(pdf), {}, frame->documentParts()).isEmpty());
    if (const auto text =
            poppler(QStringLiteral("pdftotext"), {QString::fromStdString(pdf), "-"})) {
        const QString words = QString::fromUtf8(*text);
        EXPECT_GE(words.count(QStringLiteral("F 18歳以上120歳未満")), 2) << words.toStdString();
        EXPECT_TRUE(words.contains(QStringLiteral("すべての結果")));  // a chart's legend
        EXPECT_TRUE(words.contains(QStringLiteral("推定できません")));
    }
}

// Compared with typed limits (the truth of the women's non-pathological results, 100 ± 1.96·10),
// the table is the command line's with --against, verdict columns included, and the report
// names the adopted interval; a table without the analyte is refused before anything is read.
TEST_F(IndirectWindowTest, TheComparisonWithAnAdoptedIntervalIsTheCommandLines) {
    const auto [a, b] = extractFiles();
    const std::string file = folder.write("ab.csv", a + b.substr(b.find('\n') + 1));
    const auto command = runIndirect({"--indirect", "--column", "値", "--group", "性別",
                                      "--against", "80.4,119.6", "--seed", "7", file});
    ASSERT_EQ(command.status, 0) << command.err;
    IndirectWindow* window = openExtract({file});
    window->GroupBox->setCurrentText(QStringLiteral("性別"));
    window->SeedEdit->setText(QStringLiteral("7"));
    window->CompareCheck->setChecked(true);
    window->AdoptedBox->setCurrentIndex(1);  // JCCLS: no analyte 値
    window->RunButton->click();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_TRUE(prompt.shown[0].text.contains(QStringLiteral("項目「値」がありません")));
    window->AdoptedBox->setCurrentIndex(0);
    window->AdoptedLowerEdit->setText(QStringLiteral("80.4"));
    window->AdoptedUpperEdit->setText(QStringLiteral("119.6"));
    window->RunButton->click();
    ASSERT_EQ(prompt.shown.size(), 1u);

    const auto expected = linesOf(command.out);
    ASSERT_EQ(window->Table->rowCount() + 1, static_cast<int>(expected.size()));
    ASSERT_EQ(window->Table->columnCount(), expected[0].size());
    EXPECT_EQ(expected[0].last(), QStringLiteral("採用の出典"));
    for (int r = 0; r < window->Table->rowCount(); ++r)
        for (int c = 0; c < window->Table->columnCount(); ++c)
            EXPECT_EQ(window->Table->item(r, c)->text(), expected[r + 1][c]) << r << "," << c;
    const auto& women = window->partitions()[0];
    ASSERT_TRUE(women.comparison);
    EXPECT_EQ(women.comparison->overallText(), "適合");
    EXPECT_EQ(window->partitions()[1].comparison->overall, Verdict::NotJudged);

    // The chart's legend (eight entries) keeps its labels whole in a narrow window and a wide
    // one: Qt Charts cuts a label short with "..." where it lacks the room.
    for (const int width : {700, 1400}) {
        frame->subWindowOf(window)->showNormal();
        frame->subWindowOf(window)->resize(width, 760);
        QCoreApplication::processEvents();
        int labels = 0;
        for (QGraphicsItem* item : window->ChartView->scene()->items())
            if (auto* text = dynamic_cast<QGraphicsTextItem*>(item);
                text && text->isVisible() &&
                window->ChartView->chart()->legend()->isAncestorOf(text)) {
                ++labels;
                EXPECT_FALSE(text->toPlainText().contains(QStringLiteral("...")))
                    << width << " " << text->toPlainText().toStdString();
            }
        EXPECT_GE(labels, 6) << width;
    }
    // A title wider than the chart (the men's twice over) is cut short: the view's tooltip
    // holds it whole, and holds nothing once the chart is wide enough.
    window->ChartBox->setCurrentIndex(1);
    const QString title = window->ChartView->chart()->title().repeated(2);
    window->ChartView->chart()->setTitle(title);
    for (const int width : {800, 1400}) {
        frame->subWindowOf(window)->resize(width, 760);
        QCoreApplication::processEvents();
        EXPECT_EQ(window->ChartView->toolTip(), width == 800 ? title : QString()) << width;
    }

    const std::string pdf = folder.file("report.pdf");
    ASSERT_TRUE(writeReportPdf(QString::fromStdString(pdf), {}, frame->documentParts()).isEmpty());
    if (const auto text =
            poppler(QStringLiteral("pdftotext"), {QString::fromStdString(pdf), "-"})) {
        const QString words = QString::fromUtf8(*text);
        EXPECT_TRUE(words.contains(QStringLiteral("採用中の基準範囲: 入力した範囲 80.4〜119.6")));
        EXPECT_TRUE(words.contains(QStringLiteral("判定: 適合")));  // a chart's title
    }
}

// The sex as the site column of a pool: the pool's row, then each site's, as the command line's
// --site gives them (the second file alone: too few results to estimate, so quick).
TEST_F(IndirectWindowTest, SitesAreRowsOfTheirOwn) {
    const std::string file = folder.write("b.csv", extractFiles().second);
    const auto command = runIndirect(
        {"--indirect", "--column", "値", "--site", "性別", "--where", "区分=外来", file});
    ASSERT_EQ(command.status, 0) << command.err;
    IndirectWindow* window = openExtract({file});
    window->SiteBox->setCurrentText(QStringLiteral("性別"));
    window->WhereBox->setCurrentText(QStringLiteral("区分"));
    window->WhereEdit->setText(QStringLiteral("外来"));
    window->RunButton->click();
    EXPECT_EQ(window->tableText().toStdString(), command.out);
    ASSERT_EQ(window->Table->rowCount(), 3);
    int site = -1;
    for (int c = 0; c < window->Table->columnCount(); ++c)
        if (window->Table->horizontalHeaderItem(c)->text() == QStringLiteral("施設")) site = c;
    ASSERT_GE(site, 0);
    EXPECT_EQ(window->Table->item(0, site)->text(), QStringLiteral("全施設"));
    EXPECT_EQ(window->Table->item(2, site)->text(), QStringLiteral("M"));
    EXPECT_EQ(window->ChartBox->itemText(1), QStringLiteral("全体 F"));
}

// A workbook of two sheets: the window asks which, reads that one, and says so; cancelled, the
// files stay as they were.
TEST_F(IndirectWindowTest, AWorkbookOfSeveralSheetsIsAskedAbout) {
    const std::string path = folder.file("extract.xlsx");
    lxw_workbook* book = workbook_new(path.c_str());
    lxw_worksheet* sheet = resultsSheet(book, {"性別", "値"});
    for (lxw_row_t r = 1; r <= 12; ++r) {
        worksheet_write_string(sheet, r, 0, r % 3 ? "F" : "M", nullptr);
        worksheet_write_number(sheet, r, 1, 90 + r, nullptr);
    }
    ASSERT_EQ(workbook_close(book), LXW_NO_ERROR);

    RecordingFilePrompt files;  // the frame's file questions, the windows' too
    frame->setFilePrompt(files);
    IndirectWindow* window = openExtract({path});  // cancelled
    EXPECT_EQ(files.items, (QStringList{QStringLiteral("メモ"), QStringLiteral("結果")}));
    EXPECT_EQ(window->ValueBox->count(), 0);
    files.choices.push_back(1);
    openExtract({path});
    EXPECT_TRUE(window->FilesLabel->text().contains(QStringLiteral("シート 2「結果」")));
    // A choice the extract cannot take is refused in the window's words, before any reading.
    window->BandsEdit->setText(QStringLiteral("18,120"));
    window->RunButton->click();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, QStringLiteral("年齢区分を使うには年齢の列を指定して下さい。"));
    prompt.shown.clear();
    window->BandsEdit->clear();
    window->GroupBox->setCurrentText(QStringLiteral("性別"));
    window->RunButton->click();
    EXPECT_TRUE(prompt.shown.empty());
    ASSERT_EQ(window->partitions().size(), 2u);
    EXPECT_EQ(window->partitions()[0].label, "F");
    EXPECT_EQ(window->partitions()[0].result.total, 8);
    EXPECT_EQ(window->partitions()[1].result.total, 4);
}

}  // namespace
}  // namespace kijunchi::testing
