// The input window: its load, the grid, paste through the clipboard, New, reopening, and the
// re-read before the transformation.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "input/paste_reader.h"
#include "shell/frame_fixture.h"
#include "transform/box_window.h"

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

TEST_F(FrameTest, GridPositionsFollowColumnsOf200AndStopAt1000AndStayUntilOverwritten) {
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
    EXPECT_EQ(input().TextMatrix(4, 1), QStringLiteral("4"));  // the old cell above
}

TEST_F(FrameTest, PastingMoreThan5000ValuesTellsTheUser) {
    paste(numberLines(5003));
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, QString::fromStdString(tooManyValuesMessage(5003)));
    EXPECT_EQ(prompt.shown[0].title, QStringLiteral("張り付け"));
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
    EXPECT_EQ(input().TextMatrix(1, 1), QString());
    EXPECT_EQ(input().Text1.text(), QStringLiteral("12\r\n15\r\n"));
    EXPECT_EQ(input().Text1.caret(), 0);

    // The next paste goes in before the old text.
    paste(QStringLiteral("7\r\n"));
    EXPECT_EQ(input().Text1.text(), QStringLiteral("7\r\n12\r\n15\r\n"));
    EXPECT_EQ(store->DataCount, 3);
}

TEST_F(FrameTest, TransformButtonRereadsTheBufferAndOpensOneTransformationWindow) {
    paste(QStringLiteral("2\r\n4\r\n6\r\n8\r\n10\r\n"));
    input().Command1->click();  // something else replaced the data set meanwhile
    input().Text1.setText(QStringLiteral("3\r\n5\r\n7\r\n9\r\n"));

    input().Command3->click();
    EXPECT_EQ(store->DataCount, 4);
    EXPECT_EQ(input().TextMatrix(4, 1), QStringLiteral("9"));
    box* first = frame->transformWindow();
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->isVisible());
    input().Command3->click();
    EXPECT_EQ(frame->transformWindow(), first);
}

}  // namespace
}  // namespace kijunchi::testing
