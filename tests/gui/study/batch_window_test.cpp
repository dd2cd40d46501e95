// The window "一括評価" in the frame: its rows against single-analyte evaluations, the PDF
// report it writes and the frame's report it joins, a message in the row of every analyte or
// group that has no figures, and its layout at small and large sizes.
#include "gui/study/batch_window.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMdiSubWindow>
#include <QPdfWriter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTableWidget>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "analysis/number_text.h"
#include "evaluation/evaluation.h"
#include "gui/shell/frame_fixture.h"
#include "gui/study/study_windows.h"
#include "report/sig_round.h"
#include "support/poppler.h"
#include "support/temp_files.h"

namespace kijunchi::testing {
namespace {

QString shown(double value) {
    return QString::fromStdString(numberText(SigRound(value, 4)));
}

// The words of a PDF, each checked to lie within the printable width of A4 (595 points,
// margins of 20 mm); how many there are.
int wordsWithinTheMargins(const std::string& pdf) {
    auto boxes = poppler(QStringLiteral("pdftotext"),
                         {QStringLiteral("-bbox"), QString::fromStdString(pdf), "-"});
    if (!boxes) return 0;
    const QRegularExpression word(
        QStringLiteral("xMin=\"([0-9.]+)\" yMin=\"[0-9.]+\" "
                       "xMax=\"([0-9.]+)\""));
    int words = 0;
    for (auto it = word.globalMatch(QString::fromUtf8(*boxes)); it.hasNext(); ++words) {
        const auto match = it.next();
        EXPECT_GE(match.captured(1).toDouble(), 56.6);
        EXPECT_LE(match.captured(2).toDouble(), 595.3 - 56.6);
    }
    return words;
}

class BatchWindowTest : public FrameTest {
protected:
    BatchWindow& open(const std::string& file, int groupIndex) {
        BatchWindow* window = frame->studies->showBatch();
        window->chooseDataFile = [file] { return QString::fromStdString(file); };
        window->OpenButton->click();
        window->GroupBox->setCurrentIndex(groupIndex);
        return *window;
    }

    // The column of the window's table under a heading.
    static int column(const BatchWindow& window, const QString& heading) {
        for (int c = 0; c < window.Table->columnCount(); ++c)
            if (window.Table->horizontalHeaderItem(c)->text() == heading) return c;
        ADD_FAILURE() << heading.toStdString();
        return 0;
    }

    // Saves the window's PDF through its button as `name` in the folder, with no message;
    // the text of the PDF as laid out on its pages, or nothing without poppler-utils.
    std::optional<QString> savePdf(BatchWindow& window, const std::string& name,
                                   std::string* path = nullptr) {
        const std::string pdf = folder.file(name);
        if (path) *path = pdf;
        window.choosePdfFile = [pdf] { return QString::fromStdString(pdf); };
        window.PdfButton->click();
        EXPECT_TRUE(prompt.shown.empty());
        const auto layout = poppler(QStringLiteral("pdftotext"),
                                    {QStringLiteral("-layout"), QString::fromStdString(pdf), "-"});
        if (!layout) return std::nullopt;
        return QString::fromUtf8(*layout);
    }

    TempFolder folder;
};

// Twelve analytes of a panel, 43 women and 42 men, values spread by a fixed rule; the group
// column comes first.
struct Panel {
    std::vector<std::string> analytes{"Na", "K",  "Cl", "Ca", "IP",  "Mg",
                                      "UN", "CR", "UA", "TP", "ALB", "GLU"};
    std::map<std::pair<std::string, std::string>, std::vector<double>> values;
    std::string csv = "sex";

    Panel() {
        for (const auto& a : analytes) csv += "," + a;
        csv += "\r\n";
        for (int i = 0; i < 85; ++i) {
            const std::string sex = i % 2 == 0 ? "F" : "M";
            csv += sex;
            for (std::size_t a = 0; a < analytes.size(); ++a) {
                // Two decimals, so that the file holds exactly the value the test keeps.
                const int hundredths = 1000 * static_cast<int>(a + 1) +
                                       (i * 37 + static_cast<int>(a) * 11) % 101 * 7 +
                                       (sex == "M" ? 150 : 0);
                const double v = hundredths / 100.0;
                values[{analytes[a], sex}].push_back(v);
                csv += "," + std::to_string(hundredths / 100) + "." +
                       (hundredths % 100 < 10 ? "0" : "") + std::to_string(hundredths % 100);
            }
            csv += "\r\n";
        }
    }
};

TEST_F(BatchWindowTest, ThePdfReportHoldsEveryRowAsSingleEvaluationsGiveItAndStaysOnThePage) {
    const Panel panel;
    ASSERT_EQ(panel.values.at({"Na", "F"}).size() + panel.values.at({"Na", "M"}).size(), 85u);
    BatchWindow& window = open(folder.write("panel.csv", panel.csv), 1);  // sex
    // Nothing to save before a run, and nothing in the frame's report.
    EXPECT_FALSE(window.PdfButton->isEnabled());
    EXPECT_TRUE(window.partText().isEmpty());
    ASSERT_TRUE(frame->documentParts().contains(&window));

    window.RunButton->click();
    ASSERT_TRUE(window.PdfButton->isEnabled());
    const QStringList text = window.partText().split(QStringLiteral("\r\n"));
    EXPECT_EQ(text[0], QStringLiteral("データファイル: panel.csv"));
    EXPECT_EQ(text[1], QStringLiteral("グループ列: sex"));
    EXPECT_EQ(text[2], QStringLiteral("12項目を評価しました。"));
    EXPECT_TRUE(text[4].startsWith(QStringLiteral("項目\tグループ\tデータ数\t")));
    EXPECT_EQ(window.partTable().firstLine, 4);
    EXPECT_EQ(window.partTable().keyColumns, 2);

    std::string pdf;
    const auto layout = savePdf(window, "一括評価.pdf", &pdf);
    if (!layout) GTEST_SKIP() << "poppler-utils is not installed";
    const QStringList lines = layout->split(QLatin1Char('\n'));
    EXPECT_TRUE(layout->contains(QStringLiteral("一括評価")));
    EXPECT_TRUE(layout->contains(QStringLiteral("データファイル: panel.csv")));

    // Each analyte and group: the lines of its row in every band of columns hold its count
    // and the limits the evaluation of its values alone gives.
    for (const auto& [key, values] : panel.values) {
        const auto& [analyte, group] = key;
        QStringList cells;
        const QString start = QString::fromStdString(analyte + " " + group + " ");
        int bands = 0;
        for (const QString& line : lines)
            if (line.simplified().startsWith(start)) {
                cells += line.simplified().split(QLatin1Char(' '));
                ++bands;
            }
        EXPECT_GE(bands, 2) << analyte << " " << group;  // the table is wider than a page
        EvaluationInput input;
        input.measured = values;
        const EvaluationResult single = evaluate(input);
        ASSERT_TRUE(single.nonparametric.available && single.robust.available);
        for (const QString& expected :
             {QString::number(values.size()), shown(*single.nonparametric.lower.value),
              shown(*single.nonparametric.upper.value), shown(*single.robust.lower.value),
              shown(*single.robust.upper.value)})
            EXPECT_TRUE(cells.contains(expected))
                << analyte << " " << group << ": " << expected.toStdString() << " not in "
                << cells.join(QLatin1Char(' ')).toStdString();
    }

    EXPECT_GT(wordsWithinTheMargins(pdf), 24 * 12);

    // The frame's report has the table too, after the windows of the data set.
    const std::string report = folder.file("report.pdf");
    {
        QPdfWriter writer(QString::fromStdString(report));
        EXPECT_GE(frame->printReport(writer), 2);
    }
    const QString whole = QString::fromUtf8(
        *poppler(QStringLiteral("pdftotext"),
                 {QStringLiteral("-layout"), QString::fromStdString(report), "-"}));
    EXPECT_TRUE(whole.contains(QStringLiteral("データファイル: panel.csv")));
    EXPECT_EQ(whole.count(QRegularExpression(QStringLiteral("\\n *GLU +M +42 "))), 1);

    // Closed, the window leaves the frame's report.
    frame->subWindowOf(&window)->close();
    flushDeletes();
    EXPECT_EQ(frame->studies->batchWindow(), nullptr);
    for (const DocumentPart* part : frame->documentParts())
        EXPECT_NE(part->partTitle(), QStringLiteral("一括評価"));
}

TEST_F(BatchWindowTest, AnAnalyteWithoutNumbersAndASmallGroupSayItInTheirRows) {
    // Women 30, men 30, children 5; "メモ" holds no number at all.
    std::string csv = "sex,Na,メモ,K\r\n";
    for (int i = 0; i < 65; ++i)
        csv += std::string(i < 30   ? "F"
                           : i < 60 ? "M"
                                    : "C") +
               "," + std::to_string(135 + i % 9) + ",溶血なし," +
               std::to_string(3.5 + (i % 7) * 0.25) + "\r\n";
    BatchWindow& window = open(folder.write("bad.csv", csv), 1);
    window.RunButton->click();
    EXPECT_TRUE(prompt.shown.empty());
    ASSERT_EQ(window.Table->rowCount(), 9);  // every analyte in every group, none left out
    const int note = column(window, QStringLiteral("注意"));
    const int count = column(window, QStringLiteral("データ数"));
    for (int r = 0; r < 9; ++r) {
        const QString analyte = window.Table->item(r, 0)->text();
        const QString group = window.Table->item(r, 1)->text();
        const QString message = window.Table->item(r, note)->text();
        const QString where = analyte + QLatin1Char(' ') + group + QStringLiteral(": ") + message;
        EXPECT_EQ(window.Table->item(r, count)->text(),
                  analyte == QStringLiteral("メモ") ? QStringLiteral("0")
                  : group == QStringLiteral("C")    ? QStringLiteral("5")
                                                    : QStringLiteral("30"));
        if (analyte == QStringLiteral("メモ"))
            EXPECT_TRUE(message.startsWith(QStringLiteral("数値がありません。")))
                << where.toStdString();
        else if (group == QStringLiteral("C"))
            EXPECT_TRUE(
                message.contains(QStringLiteral("値が20個未満のため、基準範囲は推奨できません。")))
                << where.toStdString();
        else
            EXPECT_FALSE(message.contains(QStringLiteral("20個未満"))) << where.toStdString();
    }
    // The same messages reach the report, the long ones on more lines within the page.
    EXPECT_EQ(window.partText().count(QStringLiteral("数値がありません。")), 3);
    std::string pdf;
    const auto layout = savePdf(window, "bad.pdf", &pdf);
    if (!layout) GTEST_SKIP() << "poppler-utils is not installed";
    EXPECT_EQ(layout->count(QStringLiteral("数値がありません。")), 3);
    EXPECT_EQ(layout->count(QStringLiteral("20個未満")), 2);
    EXPECT_GT(wordsWithinTheMargins(pdf), 9 * 10);

    // A PDF that cannot be written says why.
    window.choosePdfFile = [&] { return QString::fromStdString(folder.file("no/such.pdf")); };
    window.PdfButton->click();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_TRUE(prompt.shown[0].text.startsWith(QStringLiteral("ファイルに書き込めません: ")));
}

TEST_F(BatchWindowTest, AFileWithoutAnalyteColumnsSaysSo) {
    std::string csv = "sex\r\n";
    for (int i = 0; i < 30; ++i) csv += i % 2 ? "F\r\n" : "M\r\n";
    BatchWindow& window = open(folder.write("groups.csv", csv), 1);
    window.RunButton->click();
    EXPECT_EQ(window.Table->rowCount(), 0);
    EXPECT_EQ(window.StatusLabel->text(), QStringLiteral("評価する項目の列がありません。"));
    EXPECT_FALSE(window.PdfButton->isEnabled());
}

TEST_F(BatchWindowTest, OpensWhollyInsideTheWorkAreaBesideTheInputWindow) {
    // The input window stands in the middle of the work area; the batch window comes
    // wherever there is room and is moved back inside, its buttons at the right in sight.
    for (const QSize frameSize : {QSize(1000, 800), QSize(700, 500)}) {
        frame->resize(frameSize);
        QCoreApplication::processEvents();
        BatchWindow* window = frame->studies->showBatch();
        const QRect room = frame->mdiArea->viewport()->rect();
        EXPECT_TRUE(room.contains(frame->subWindowOf(window)->geometry()))
            << frame->subWindowOf(window)->geometry().x() << ","
            << frame->subWindowOf(window)->geometry().y() << " in " << room.width() << "x"
            << room.height();
        frame->subWindowOf(window)->close();
        flushDeletes();
    }
}

TEST_F(BatchWindowTest, SmallAndLargeSizesKeepTheControlsApartAndGiveTheTableTheRoom) {
    BatchWindow& window = open(folder.write("one.csv", "Na\r\n140\r\n"), 0);
    QMdiSubWindow* sub = frame->subWindowOf(&window);
    ASSERT_NE(sub, nullptr);
    const QList<QWidget*> controls{window.OpenButton, window.GroupBox, window.RunButton,
                                   window.SaveButton, window.PdfButton};
    for (const QSize size : {QSize(120, 90), QSize(1800, 1200)}) {
        sub->resize(size);
        QCoreApplication::processEvents();
        // The page of the controls never below what they need (a small window scrolls it),
        // each control whole and apart from the others.
        const QWidget* page = window.OpenButton->parentWidget();
        for (int i = 0; i < controls.size(); ++i) {
            const QRect placed = controls[i]->geometry();
            EXPECT_TRUE(page->rect().contains(placed)) << i;
            EXPECT_GE(placed.width(), controls[i]->minimumSizeHint().width()) << i;
            for (int j = i + 1; j < controls.size(); ++j)
                EXPECT_FALSE(placed.intersects(controls[j]->geometry())) << i << " " << j;
        }
        EXPECT_TRUE(page->rect().contains(window.StatusLabel->geometry()));
        EXPECT_GE(window.Table->height(), window.Table->minimumSizeHint().height());
        if (size.width() < 200) {
            EXPECT_GT(page->width(), window.width());
        }
    }
    EXPECT_GT(window.Table->height(), window.height() * 3 / 4);
}

}  // namespace
}  // namespace kijunchi::testing
