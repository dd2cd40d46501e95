// The input window: its load, the grid, paste through the clipboard, New, reopening, and the
// re-read before the transformation.
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <vector>

#include "gui/generators/nrm_dialog.h"
#include "gui/shell/frame_fixture.h"
#include "gui/transform/box_window.h"
#include "input/paste_reader.h"
#include "support/data_set.h"

namespace kijunchi::testing {
namespace {

// Lines "1" .. "n", each ended by CR LF.
QString numberLines(int n) {
    QString text;
    for (int i = 1; i <= n; ++i) text += QString::number(i) + QStringLiteral("\r\n");
    return text;
}

TEST_F(FrameTest, PasteFillsTheStoreGridAndCountAndConsecutivePastesAppend) {
    paste(QStringLiteral("12\r\n15.5\r\n"));
    EXPECT_EQ(store->DataCount, 2);
    EXPECT_EQ(store->AnalysisValues[2].toNumber(), 15.5);
    EXPECT_EQ(input().TextMatrix(2, 1), QStringLiteral("15.5"));
    EXPECT_EQ(input().Label4->text(), QStringLiteral("2"));
    EXPECT_EQ(frame->PasteText, QStringLiteral("12\r\n15.5\r\n"));

    // The example of the paste rules: 1 CR LF 2, then 3 CR LF gives 1 and 23.
    input().Command1->click();
    paste(QStringLiteral("1\r\n2"));
    paste(QStringLiteral("3\r\n"));
    EXPECT_EQ(input().Text1.text(), QStringLiteral("1\r\n23\r\n"));
    EXPECT_EQ(store->DataCount, 2);
    EXPECT_EQ(input().TextMatrix(2, 1), QStringLiteral("23"));
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(FrameTest, GridPositionsFollowColumnsOf200AndStopAt1000AndShowOnlyTheDataSet) {
    paste(numberLines(1001));
    EXPECT_EQ(input().TextMatrix(0, 5), QStringLiteral("801-1000"));  // the heading row
    // Position i (from 0) holds the number i + 1.
    EXPECT_EQ(input().TextMatrix(200, 1), QStringLiteral("200"));   // position 199
    EXPECT_EQ(input().TextMatrix(1, 2), QStringLiteral("201"));     // position 200
    EXPECT_EQ(input().TextMatrix(200, 5), QStringLiteral("1000"));  // position 999
    EXPECT_EQ(input().TextMatrix(201, 1), QString());
    EXPECT_EQ(input().Label4->text(), QStringLiteral("1001"));

    input().Text1.setText(QString());  // as after a reopen with an empty PasteText
    paste(QStringLiteral("7\r\n8\r\n9\r\n"));
    EXPECT_EQ(input().TextMatrix(1, 1), QStringLiteral("7"));
    // Nothing of the 1001 values stays above the three: the grid looks like three values.
    for (int position = 3; position < 1000; ++position)
        ASSERT_EQ(input().TextMatrix(position % 200 + 1, position / 200 + 1), QString())
            << position;
}

TEST_F(FrameTest, FieldsWithoutANumberAreSkippedAndTheUserIsTold) {
    paste(QStringLiteral("カルシウム\r\n９．１\r\n \r\n9.5\r\nn.d.\r\n"));
    EXPECT_EQ(store->DataCount, 2);
    EXPECT_EQ(input().TextMatrix(1, 1), QStringLiteral("9.1"));
    EXPECT_EQ(input().TextMatrix(2, 1), QStringLiteral("9.5"));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, QStringLiteral("数値でない欄3個を読み飛ばしました。"));
    EXPECT_EQ(prompt.shown[0].title, QStringLiteral("張り付け"));
}

TEST_F(FrameTest, PastingMoreThan5000ValuesTellsTheUser) {
    paste(numberLines(5003));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, QString::fromStdString(tooManyValuesMessage(5003)));
    EXPECT_EQ(prompt.shown[0].title, QStringLiteral("張り付け"));

    // With a heading as well: one box, the over-5000 line first.
    input().Command1->click();
    paste(QStringLiteral("Ca\r\n") + numberLines(5003));
    ASSERT_EQ(prompt.shown.size(), 2u);
    EXPECT_EQ(prompt.shown[1].text, QString::fromStdString(tooManyValuesMessage(5003)) +
                                        QStringLiteral("\n数値でない欄1個を読み飛ばしました。"));
}

TEST_F(FrameTest, NewEmptiesBufferGridAndLabelsButKeepsPasteTextAndClassCount) {
    paste(QStringLiteral("12\r\n15\r\n18\r\n"));
    input().Label3->setText(QStringLiteral("ﾃﾞｰﾀはλ=0で変換しました。"));
    input().Text3->setText(QStringLiteral("7"));
    input().M2->trigger();  // the menu item; the button does the same

    EXPECT_EQ(input().Text1.text(), QString());
    EXPECT_EQ(frame->PasteText, QStringLiteral("12\r\n15\r\n18\r\n"));
    EXPECT_EQ(input().TextMatrix(1, 1), QString());
    EXPECT_EQ(input().TextMatrix(3, 0), QStringLiteral("3"));
    EXPECT_EQ(input().Label4->text(), QString());
    EXPECT_EQ(input().Label3->text(), QString());
    EXPECT_EQ(input().Text3->text(), QStringLiteral("7"));
    EXPECT_EQ(store->WorkCount, 0);
}

TEST_F(FrameTest, ReopeningTheInputWindowReloadsItWithPasteTextAndTheCaretAtTheStart) {
    paste(QStringLiteral("12\r\n15\r\n"));
    input().Text3->setText(QStringLiteral("8"));
    store->ClassCount = 8;
    closeInputWindow();
    EXPECT_EQ(frame->inputWindow(), nullptr);
    frame->inputGrid().putGridValue(0, "99");  // no input window: goes nowhere

    frame->M1->trigger();
    ASSERT_NE(frame->inputWindow(), nullptr);
    EXPECT_EQ(input().Text3->text(), QStringLiteral("5"));
    EXPECT_EQ(store->ClassCount, 5);
    // The grid shows the data set the store still holds, not an empty grid over it.
    EXPECT_EQ(input().TextMatrix(2, 1), QStringLiteral("15"));
    EXPECT_EQ(input().Label4->text(), QStringLiteral("2"));
    EXPECT_EQ(input().Text1.text(), QStringLiteral("12\r\n15\r\n"));
    EXPECT_EQ(input().Text1.caret(), 0);

    // The next paste goes in before the old text.
    paste(QStringLiteral("7\r\n"));
    EXPECT_EQ(input().Text1.text(), QStringLiteral("7\r\n12\r\n15\r\n"));
    EXPECT_EQ(store->DataCount, 3);
}

TEST_F(FrameTest, TransformButtonRestoresTheMeasuredDataAndOpensOneTransformationWindow) {
    paste(QStringLiteral("2\r\n4\r\n6\r\n8\r\n10\r\n"));
    input().Command3->click();
    box* first = frame->transformWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    const QString measuredTable = first->Text2->toPlainText();

    first->Text1->setText(QStringLiteral("0.5"));
    first->Command2->click();  // 変換する
    ASSERT_EQ(store->Lambda, Value("0.5"));
    ASSERT_NE(input().TextMatrix(1, 1), QStringLiteral("2"));

    // Again while the window is open: the measured values come back and the window's table
    // and instruction describe them, not a table of other data under "MLは元データでの値です。".
    input().Command3->click();
    EXPECT_EQ(frame->transformWindow(), first);
    EXPECT_EQ(dataValues(*store), (std::vector<double>{2, 4, 6, 8, 10}));
    EXPECT_EQ(input().TextMatrix(1, 1), QStringLiteral("2"));
    EXPECT_TRUE(store->Lambda.isBlank());
    EXPECT_TRUE(store->LambdaShown.isBlank());
    EXPECT_EQ(input().Label3->text(), QString());
    EXPECT_EQ(first->Text2->toPlainText(), measuredTable);
    EXPECT_EQ(first->Label3->text(),
              QStringLiteral("「変換する」のボタンで元データは変換されます。"));

    // A new paste meanwhile: the reopened table is that of the new data.
    paste(QStringLiteral("3\r\n"));
    input().Command3->click();
    EXPECT_NE(first->Text2->toPlainText(), measuredTable);
}

TEST_F(FrameTest, TransformButtonKeepsGeneratedDataInsteadOfRereadingThePasteBuffer) {
    paste(QStringLiteral("7\r\n"));  // an old paste in the buffer
    input().Command9->click();
    NRM* normal = frame->normalGenerator();
    ASSERT_NE(normal, nullptr);
    normal->Text1->setText(QStringLiteral("200"));
    normal->Text2->setText(QStringLiteral("50"));
    normal->Text3->setText(QStringLiteral("10"));
    normal->Command2->click();
    flushDeletes();
    ASSERT_EQ(store->DataCount, 200);
    const auto shown = store->DataValues;
    const auto measured = store->AnalysisValues;

    input().Command3->click();
    EXPECT_EQ(store->DataCount, 200);
    EXPECT_EQ(store->WorkCount, 200);
    EXPECT_TRUE(store->DataValues == shown && store->AnalysisValues == measured);
    EXPECT_EQ(input().Label4->text(), QStringLiteral("200"));
    ASSERT_NE(frame->transformWindow(), nullptr);
    EXPECT_EQ(frame->transformWindow()->Text2->toPlainText().count(QLatin1Char('\n')), 45);
}

}  // namespace
}  // namespace kijunchi::testing
