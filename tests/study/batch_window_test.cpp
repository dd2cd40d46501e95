// The window "一括評価" in the frame: its rows against single-analyte evaluations, the PDF
// report it writes and the frame's report it joins, a message in the row of every analyte or
// group that has no figures, and its layout at small and large sizes.
#include "study/batch_window.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QLabel>
#include <QMdiSubWindow>
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
#include "report/sig_round.h"
#include "shell/frame_fixture.h"
#include "study/study_menu_window.h"
#include "support/temp_files.h"

namespace kijunchi::testing {
namespace {

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

    TempFolder folder;
};

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
    // The same messages reach the report.
    EXPECT_EQ(window.partText().count(QStringLiteral("数値がありません。")), 3);
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
