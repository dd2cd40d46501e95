// The study windows in the frame: the paste with groups, "分割の検討", "基準範囲の検証" and
// "一括評価".
#include <unistd.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>
#include <fstream>

#include "gui/shell/frame_fixture.h"
#include "gui/study/batch_window.h"
#include "gui/study/partition_window.h"
#include "gui/study/study_windows.h"
#include "gui/study/verification_window.h"
#include "study/grouped_data.h"
#include "support/data_set.h"

namespace kijunchi::testing {
namespace {

using StudyWindowsTest = FrameTest;

QStringList menuTexts(const QMenu* menu) {
    QStringList texts;
    for (const QAction* a : menu->actions()) texts << a->text();
    return texts;
}

TEST_F(StudyWindowsTest, BothMenuBarsOfferTheStudies) {
    const QStringList expected{QStringLiteral("分割の検討"), QStringLiteral("基準範囲の検証"),
                               QStringLiteral("一括評価"), QStringLiteral("間接法による基準範囲")};
    EXPECT_EQ(menuTexts(input().StudyMenu), expected);
    const QAction* frameEntry = frame->frameMenuActions()[4];
    EXPECT_EQ(frameEntry->text(), QStringLiteral("検討(&K)"));
    EXPECT_EQ(menuTexts(frameEntry->menu()), expected);
    // The menu opens the window in the frame, once.
    frameEntry->menu()->actions()[1]->trigger();
    VerificationWindow* first = frame->studies->verificationWindow();
    ASSERT_NE(first, nullptr);
    input().StudyMenu->actions()[1]->trigger();
    EXPECT_EQ(frame->studies->verificationWindow(), first);
    EXPECT_EQ(frame->mdiArea->activeSubWindow()->widget(), first);
}

TEST_F(StudyWindowsTest, CalciumPastedWithGroupsIsStudiedByGroup) {
    // Without the tick the two columns are values, and there are no groups to study.
    paste(QString::fromStdString(testData("calcium_by_sex.tsv")));
    PartitionWindow* window = frame->studies->showPartition();
    EXPECT_NE(window->text().indexOf(QString::fromUtf8(kNoGroupsMessage)), -1);

    input().Command1->click();  // 新規作成
    prompt.shown.clear();       // the plain paste told of its heading, a field without a number
    input().GroupTick->setChecked(true);
    paste(QString::fromStdString(testData("calcium_by_sex.tsv")));
    EXPECT_EQ(input().Label4->text(), QStringLiteral("240"));
    EXPECT_TRUE(prompt.shown.empty());
    window->StudyButton->click();
    const QString text = window->text();
    EXPECT_NE(text.indexOf(QStringLiteral("女 : 男\t5.796\t3\t1.077\t平均値に差あり")), -1)
        << text.toStdString();
    EXPECT_NE(text.indexOf(QStringLiteral("SDR =\t0.5212")), -1);
    // Each group of 120 gets the nonparametric limits, as the evaluation recommends for 120.
    EXPECT_NE(text.indexOf(QStringLiteral("女\t120\tノンパラメトリック法\t")), -1)
        << text.toStdString();
    // On screen the limits stand under their headings, past the long method name: the x of
    // the field-th word of the table's line that holds the words.
    const QStringList shown = window->Text->toPlainText().split(QLatin1Char('\n'));
    const QFontMetricsF metrics(window->Text->font());
    auto startOf = [&](const QString& first, const QString& third, int field) {
        for (const QString& line : shown) {
            const QStringList words = line.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            if (words.size() <= field || words[0] != first || words[2] != third) continue;
            return metrics.horizontalAdvance(line.left(line.indexOf(words[field])));
        }
        return -1.0;
    };
    const QString heading = QStringLiteral("グループ"), method = QStringLiteral("方法");
    const QString nonparametric = QStringLiteral("ノンパラメトリック法");
    for (const int field : {3, 4}) {
        EXPECT_GT(startOf(heading, method, field), 0.0);
        EXPECT_NEAR(startOf(heading, method, field),
                    startOf(QStringLiteral("女"), nonparametric, field), 1.0);
        EXPECT_NEAR(startOf(heading, method, field),
                    startOf(QStringLiteral("男"), nonparametric, field), 1.0);
    }
    // The re-read before the transformation finds the values alone.
    EXPECT_TRUE(frame->PasteText.startsWith(QStringLiteral("8.8\r\n8.9\r\n")));

    window->CopyButton->click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), text);
}

TEST_F(StudyWindowsTest, AMistypedValueInAGroupLeavesEveryGroupItsLimits) {
    // Group A holds one 1234.4 among values near 1: its report's χo² is 2.2E9 with ν = 3,
    // whose tail once overflowed and ended the program.
    std::string text = "value\tgroup\r\n";
    for (int i = 0; i < 120; ++i)
        text += (i == 59 ? std::string("1234.4") : std::to_string(0.5 + 0.01 * (i % 60))) +
                (i < 60 ? "\tA\r\n" : "\tB\r\n");
    input().GroupTick->setChecked(true);
    paste(QString::fromStdString(text));
    PartitionWindow* window = frame->studies->showPartition();
    window->StudyButton->click();
    // Skewed groups of 60 are recommended the robust limits after the transformation.
    EXPECT_NE(window->text().indexOf(QStringLiteral("A\t60\tロバスト法（変換後）\t")), -1)
        << window->text().toStdString();
    EXPECT_NE(window->text().indexOf(QStringLiteral("B\t60\t")), -1);
}

TEST_F(StudyWindowsTest, VerificationCountsTheDataSetAgainstTypedLimits) {
    QString values;
    for (int i = 0; i < 20; ++i) values += QString::number(i < 2 ? 5 : 10 + i % 5) + "\r\n";
    paste(values);
    VerificationWindow* window = frame->studies->showVerification();
    window->LowerBox->setText(QStringLiteral("8"));
    window->UpperBox->setText(QStringLiteral("20"));
    window->VerifyButton->click();
    EXPECT_NE(window->text().indexOf(QStringLiteral("範囲外 =\t2\t（10%）")), -1)
        << window->text().toStdString();
    EXPECT_NE(
        window->text().indexOf(QStringLiteral("判定: 採用できます（20個中、範囲外は2個以下）。")),
        -1);
    window->LowerBox->setText(QStringLiteral("20"));
    window->UpperBox->setText(QStringLiteral("8"));
    window->VerifyButton->click();
    EXPECT_NE(window->text().indexOf(QStringLiteral("より小さくありません")), -1);
}

TEST_F(StudyWindowsTest, VerificationTakesTheLimitsOfAnAnalyteFromATable) {
    // The values 5 5 12 13 14 10 11 12 13 14 10 11 12 13 14 10 11 12 13 14.
    QString values;
    for (int i = 0; i < 20; ++i) values += QString::number(i < 2 ? 5 : 10 + i % 5) + "\r\n";
    paste(values);
    VerificationWindow* window = frame->studies->showVerification();
    const auto has = [&](const std::string& text) {
        EXPECT_NE(window->text().indexOf(QString::fromStdString(text)), -1)
            << text << "\n"
            << window->text().toStdString();
    };
    // The committee's AST row (13-30 U/L), chosen by its other name; the limits fill the boxes.
    window->TableBox->setCurrentIndex(1);
    window->AnalyteBox->setCurrentText(QStringLiteral("GOT"));
    EXPECT_EQ(window->LowerBox->text(), QStringLiteral("13"));
    EXPECT_EQ(window->UpperBox->text(), QStringLiteral("30"));
    EXPECT_FALSE(window->LowerBox->isEnabled());
    window->VerifyButton->click();
    has("基準範囲 =\t13\t <---> \t30");
    has("出典 =\tJCCLS共用基準範囲 AST 共通 (U/L)：JCCLS");
    has("範囲外 =\t12\t（60%）");  // 5 5 12 10 11 12 10 11 12 10 11 12
    // A row by sex needs the sex.
    window->AnalyteBox->setCurrentText(QStringLiteral("ALT"));
    window->VerifyButton->click();
    has("性別ごとの基準範囲です。性別を選んで下さい");

    // A table file with age bands, chosen through the injected dialog.
    const auto path = std::filesystem::temp_directory_path() /
                      ("kijunchi-verify-table-" + std::to_string(getpid()) + ".csv");
    std::ofstream(path, std::ios::binary) << "項目,単位,性別,年齢下限,年齢上限,下限,上限,出典\r\n"
                                             "Hb,g/dL,男,18,65,13.5,17.0,自施設 2024年度\r\n"
                                             "Hb,g/dL,共通,65,,11.0,16.0,自施設 2024年度\r\n";
    window->chooseAdoptedTable = [&] { return QString::fromStdString(path.string()); };
    window->TableBox->setCurrentIndex(2);
    window->TableFileButton->click();
    window->AnalyteBox->setCurrentText(QStringLiteral("Hb"));
    window->SexBox->setCurrentIndex(1);  // 男
    ASSERT_EQ(window->AgeBox->count(), 3);
    EXPECT_EQ(window->AgeBox->itemText(1), QStringLiteral("18〜65歳"));
    EXPECT_EQ(window->AgeBox->itemText(2), QStringLiteral("65歳〜"));
    window->AgeBox->setCurrentIndex(1);
    window->VerifyButton->click();
    has("基準範囲 =\t13.5\t <---> \t17");
    has("範囲外 =\t16\t（80%）");  // all but the four 14s
    window->AgeBox->setCurrentIndex(2);
    window->VerifyButton->click();
    has("出典 =\t" + path.filename().string() + " Hb 共通 65歳〜 (g/dL)：自施設 2024年度");
    has("範囲外 =\t5\t（25%）");  // 5 5 10 10 10
    std::filesystem::remove(path);
}

TEST_F(StudyWindowsTest, BatchWindowCancelKeepsTheAnalytesDoneAndSavesThem) {
    const auto dir = std::filesystem::temp_directory_path();
    const std::string data =
        (dir / ("kijunchi-batch-" + std::to_string(getpid()) + ".csv")).string();
    const std::string csv = data + ".out.csv";
    {
        std::ofstream out(data, std::ios::binary);
        out << "sex,Na,K,Cl\r\n";
        for (int i = 0; i < 60; ++i)
            out << (i % 2 ? "M" : "F") << "," << 135 + i % 9 << "," << 3.5 + (i % 7) * 0.2 << ","
                << 98 + i % 8 << "\r\n";
    }
    BatchWindow* window = frame->studies->showBatch();
    window->chooseDataFile = [&] { return QString::fromStdString(data); };
    window->OpenButton->click();
    ASSERT_EQ(window->GroupBox->count(), 5);  // （グループなし） and the four columns
    window->GroupBox->setCurrentIndex(1);     // sex
    window->progress = [window](int done, int) {
        // No second start while one runs.
        EXPECT_FALSE(window->RunButton->isEnabled());
        EXPECT_FALSE(window->OpenButton->isEnabled());
        return done < 2;
    };
    window->RunButton->click();
    // Na and K, each for F and M; Cl, left out by the cancel, says so in its row.
    ASSERT_EQ(window->rows().size(), 5u);
    EXPECT_EQ(window->StatusLabel->text(),
              QStringLiteral("中止しました。3項目中2項目を評価しました。"));
    EXPECT_EQ(window->Table->rowCount(), 5);
    EXPECT_EQ(window->Table->item(2, 0)->text(), QStringLiteral("K"));
    EXPECT_EQ(window->Table->item(2, 1)->text(), QStringLiteral("F"));
    EXPECT_EQ(window->Table->item(4, 0)->text(), QStringLiteral("Cl"));
    EXPECT_EQ(window->rows()[4].message, "中止したため評価していません。");
    EXPECT_FALSE(window->rows()[3].message.find("中止") != std::string::npos);

    window->chooseCsvFile = [&] { return QString::fromStdString(csv); };
    window->SaveButton->click();
    std::ifstream in(csv, std::ios::binary);
    std::string saved((std::istreambuf_iterator<char>(in)), {});
    EXPECT_EQ(saved.rfind("\xEF\xBB\xBF項目,グループ,データ数,", 0), 0u);
    EXPECT_EQ(std::count(saved.begin(), saved.end(), '\n'), 6);

    // A file that cannot be read says so and keeps the table.
    window->chooseDataFile = [] { return QStringLiteral("/nonexistent/data.csv"); };
    window->OpenButton->click();
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text,
              QStringLiteral("ファイル「/nonexistent/data.csv」が見つかりません。"));
    EXPECT_EQ(window->Table->rowCount(), 5);
    std::filesystem::remove(data);
    std::filesystem::remove(csv);
}

}  // namespace
}  // namespace kijunchi::testing
