// The two generator dialogs: focus handling, OK, キャンセル and the refusals.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <algorithm>
#include <string>
#include <vector>

#include "analysis/store.h"
#include "generators/itiyou_dialog.h"
#include "generators/nrm_dialog.h"
#include "generators/random_source.h"
#include "support/data_set.h"
#include "support/recording_grid.h"
#include "support/recording_prompt.h"

namespace kijunchi {
namespace {

// A data set that a generator run would visibly replace, and what the dialogs write to.
class GeneratorDialogTest : public ::testing::Test {
protected:
    void SetUp() override {
        testing::load(store, {10, 20, 30});
        store.Lambda = store.LambdaShown = Value("0.5");
    }
    NRM* normal(const char* count, const char* mean, const char* sd) {
        auto* dialog = new NRM(store, random, grid, prompt);
        dialog->show();
        dialog->Text1->setText(count);
        dialog->Text2->setText(mean);
        dialog->Text3->setText(sd);
        return dialog;
    }
    ITIYOU* uniform(const char* count, const char* max) {
        auto* dialog = new ITIYOU(store, random, grid, prompt,
                                  [this](const std::string& text) { listings.push_back(text); });
        dialog->show();
        dialog->Text1->setText(count);
        dialog->Text2->setText(max);
        return dialog;
    }
    static void press(QPushButton* button) {
        QTest::mouseClick(button, Qt::LeftButton);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
    void expectOldDataKept() {
        EXPECT_EQ(testing::dataValues(store), std::vector<double>({10, 20, 30}));
        EXPECT_EQ(store.AnalysisValues[3].toNumber(), 30);
        EXPECT_EQ(store.Lambda, Value("0.5"));
        EXPECT_TRUE(grid.untouched());
    }

    AnalysisStore store;
    RandomSource random;
    testing::RecordingGrid grid;
    testing::RecordingPrompt prompt;
    std::vector<std::string> listings;
};

TEST_F(GeneratorDialogTest, EnterMovesTheFocusRoundTheBoxesAndCancelClosesWithoutChange) {
    QPointer<NRM> dialog = normal("20", "50", "10");
    EXPECT_EQ(dialog->focusWidget(), dialog->Text1);
    QTest::keyClick(dialog->Text1, Qt::Key_Return);
    EXPECT_EQ(dialog->focusWidget(), dialog->Text2);
    QTest::keyClick(dialog->Text2, Qt::Key_Enter);
    EXPECT_EQ(dialog->focusWidget(), dialog->Text3);
    QTest::keyClick(dialog->Text3, Qt::Key_Return);
    EXPECT_EQ(dialog->focusWidget(), dialog->Text1);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    expectOldDataKept();

    press(dialog->Command1);  // キャンセル
    EXPECT_TRUE(dialog.isNull());
    expectOldDataKept();
    EXPECT_TRUE(prompt.shown.empty());
}

TEST_F(GeneratorDialogTest, NormalOkGeneratesIntoTheStoreAndGridThenCloses) {
    QPointer<NRM> dialog = normal("7", "1234.5678", "0");  // SD 0: seven copies of the mean
    press(dialog->Command2);
    EXPECT_TRUE(dialog.isNull());
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_EQ(testing::dataValues(store), std::vector<double>(7, 1235.0));  // four digits
    EXPECT_EQ(store.AnalysisValues[7].toNumber(), 1234.5678);
    EXPECT_EQ(grid.cell(6), "1235");
    EXPECT_EQ(grid.countLabels.back(), "7");
    EXPECT_TRUE(store.Lambda.isBlank());
}

TEST_F(GeneratorDialogTest, UniformOkListsTheFirstTenValuesRefreshesTheGridAndCloses) {
    QPointer<ITIYOU> dialog = uniform("12", "100");
    press(dialog->Command2);
    EXPECT_TRUE(dialog.isNull());
    EXPECT_TRUE(prompt.shown.empty());
    // Ten values of 1..100, each on its line, then an empty line.
    ASSERT_EQ(listings.size(), 1u);
    EXPECT_TRUE(listings[0].ends_with("\r\n\r\n"));
    EXPECT_EQ(std::count(listings[0].begin(), listings[0].end(), '\n'), 11);
    EXPECT_EQ(store.WorkCount, 12);
    EXPECT_EQ(grid.countLabels.back(), "12");
    EXPECT_EQ(grid.cells.size(), 12u);
}

TEST_F(GeneratorDialogTest, RefusedCountsChangeNothingAndKeepTheDialogsOpen) {
    QPointer<NRM> normalDialog = normal("5001", "50", "10");
    QPointer<ITIYOU> uniformDialog = uniform("2.5", "100");
    press(normalDialog->Command2);
    press(uniformDialog->Command2);
    ASSERT_EQ(prompt.shown.size(), 2u);
    for (const auto& shown : prompt.shown) {
        EXPECT_EQ(shown.text, "データ数は0以上5000以下の整数を入力して下さい。");
        EXPECT_EQ(shown.title, "入力エラー");
    }
    ASSERT_TRUE(normalDialog && uniformDialog);
    EXPECT_TRUE(normalDialog->isVisible() && uniformDialog->isVisible());
    EXPECT_TRUE(listings.empty());
    expectOldDataKept();
    EXPECT_EQ(random.uniform(), RandomSource().uniform());  // nothing was drawn
    delete normalDialog;
    delete uniformDialog;
}
TEST_F(GeneratorDialogTest, NormalValuesThatOverflowShowTheCalculationErrorMessage) {
    // Every positive deviate (about half of 100) pushes 1.7E308 past the largest double.
    QPointer<NRM> dialog = normal("100", "1.7E308", "1E308");
    press(dialog->Command2);
    ASSERT_EQ(prompt.shown.size(), 1u);
    EXPECT_EQ(prompt.shown[0].text, "計算エラーがあります。データに問題が無いか確認して下さい。");
    EXPECT_EQ(prompt.shown[0].title, "エラー");
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(dialog->isVisible());
    expectOldDataKept();
    delete dialog;
}

}  // namespace
}  // namespace kijunchi
