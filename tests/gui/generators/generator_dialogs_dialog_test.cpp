// The two generator dialogs: Enter moving the focus, OK, キャンセル and the refusals.
#include <QLineEdit>
#include <QPointer>
#include <algorithm>
#include <string>
#include <vector>

#include "gui/generators/itiyou_dialog.h"
#include "gui/generators/nrm_dialog.h"
#include "support/dialog_fixture.h"

namespace kijunchi::testing {
namespace {

// Old data that a generator run would visibly replace.
class GeneratorDialogTest : public DialogTest {
protected:
    void SetUp() override {
        load(store, {10, 20, 30});
        store.Lambda = store.LambdaShown = Value("0.5");
    }
    void TearDown() override {
        delete normal;
        delete uniform;
    }
    void openNormal(const char* count, const char* mean, const char* sd) {
        normal = new NRM(store, random, grid, prompt);
        normal->show();
        normal->Text1->setText(count);
        normal->Text2->setText(mean);
        normal->Text3->setText(sd);
    }
    void openUniform(const char* count, const char* max) {
        uniform = new ITIYOU(store, random, grid, prompt,
                             [this](const std::string& text) { listings.push_back(text); });
        uniform->show();
        uniform->Text1->setText(count);
        uniform->Text2->setText(max);
    }
    void expectOldDataKept() {
        EXPECT_EQ(dataValues(store), std::vector<double>({10, 20, 30}));
        EXPECT_EQ(store.AnalysisValues[3].toNumber(), 30);
        EXPECT_EQ(store.Lambda, Value("0.5"));
        EXPECT_TRUE(grid.untouched());
    }
    QPointer<NRM> normal;
    QPointer<ITIYOU> uniform;
    std::vector<std::string> listings;
};

TEST_F(GeneratorDialogTest, EnterMovesTheFocusRoundTheBoxesAndCancelClosesWithoutChange) {
    openNormal("20", "50", "10");
    EXPECT_EQ(normal->focusWidget(), normal->Text1);
    QTest::keyClick(normal->Text1, Qt::Key_Return);
    EXPECT_EQ(normal->focusWidget(), normal->Text2);
    QTest::keyClick(normal->Text2, Qt::Key_Enter);
    EXPECT_EQ(normal->focusWidget(), normal->Text3);
    QTest::keyClick(normal->Text3, Qt::Key_Return);
    EXPECT_EQ(normal->focusWidget(), normal->Text1);
    ASSERT_TRUE(normal);
    EXPECT_TRUE(normal->isVisible());
    press(normal->Command1);  // キャンセル
    EXPECT_TRUE(normal.isNull());
    expectOldDataKept();
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(GeneratorDialogTest, NormalOkGeneratesIntoTheStoreAndGridThenCloses) {
    openNormal("7", "1234.5678", "0");  // SD 0: seven copies of the mean
    press(normal->Command2);
    EXPECT_TRUE(normal.isNull());
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(dataValues(store), std::vector<double>(7, 1235.0));  // four digits
    EXPECT_EQ(store.AnalysisValues[7].toNumber(), 1234.5678);
    EXPECT_EQ(grid.cell(6), "1235");
    EXPECT_EQ(grid.countLabels.back(), "7");
    EXPECT_TRUE(store.Lambda.isBlank());
}

TEST_F(GeneratorDialogTest, UniformOkListsTheFirstTenValuesRefreshesTheGridAndCloses) {
    openUniform("12", "100");
    press(uniform->Command2);
    EXPECT_TRUE(uniform.isNull());
    EXPECT_TRUE(prompt.shown.empty());
    // Ten values of 1..100, each on its line, then an empty line.
    ASSERT_EQ(listings.size(), 1u);
    EXPECT_TRUE(listings[0].ends_with("\r\n\r\n"));
    EXPECT_EQ(std::count(listings[0].begin(), listings[0].end(), '\n'), 11);
    EXPECT_EQ(store.WorkCount, 12);
    EXPECT_NE(grid.cell(11), "");
    EXPECT_EQ(grid.cell(12), "");  // nothing of an older data set stays above the count
}

TEST_F(GeneratorDialogTest, RefusedCountsChangeNothingAndKeepTheDialogsOpen) {
    // A count that is no whole number from 0 to 5000, also a text that is no number at all.
    for (const char* count : {"5001", "2.5", "abc", "", "12x"}) {
        SCOPED_TRACE(count);
        openNormal(count, "50", "10");
        openUniform(count, "100");
        press(normal->Command2);
        press(uniform->Command2);
        ASSERT_TRUE(normal && uniform);
        EXPECT_TRUE(normal->isVisible() && uniform->isVisible());
        delete normal;
        delete uniform;
    }
    openNormal("5001", "50", "10");
    openUniform("2.5", "100");
    press(normal->Command2);
    press(uniform->Command2);
    ASSERT_EQ(prompt.shown.size(), 12u);
    for (const auto& shown : prompt.shown) {
        EXPECT_EQ(shown.text, "データ数は0以上5000以下の整数を入力して下さい。");
        EXPECT_EQ(shown.title, "入力エラー");
    }
    ASSERT_TRUE(normal && uniform);
    EXPECT_TRUE(normal->isVisible() && uniform->isVisible());
    EXPECT_TRUE(listings.empty());
    expectOldDataKept();
    EXPECT_EQ(random.uniform(), RandomSource().uniform());  // nothing was drawn
}

TEST_F(GeneratorDialogTest, NormalValuesThatOverflowShowTheCalculationErrorMessage) {
    // Every positive deviate (about half of 100) pushes 1.7E308 past the largest double.
    openNormal("100", "1.7E308", "1E308");
    press(normal->Command2);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "計算エラーがあります。データに問題が無いか確認して下さい。");
    EXPECT_EQ(prompt.shown[0].title, "エラー");
    ASSERT_TRUE(normal);
    EXPECT_TRUE(normal->isVisible());
    expectOldDataKept();
}

}  // namespace
}  // namespace kijunchi::testing
