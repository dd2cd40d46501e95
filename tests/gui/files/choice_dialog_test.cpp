// The column dialog and the picture size dialog, driven offscreen.
#include "gui/files/choice_dialog.h"

#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QTimer>

namespace kijunchi {
namespace {

TEST(ChoiceDialog, ListsTheColumnsAndReturnsTheOneChosenButNeverAnEmptyOne) {
    ChoiceDialog dialog(QStringLiteral("列の選択"), QStringLiteral("どの列を読み込みますか。"),
                        {QStringLiteral("検体番号（0個）"), QStringLiteral("カルシウム（3個）"),
                         QStringLiteral("無機リン（4個）")},
                        {false, true, true}, 1);
    ASSERT_EQ(dialog.List1->count(), 3);
    EXPECT_EQ(dialog.List1->item(2)->text(), QStringLiteral("無機リン（4個）"));
    EXPECT_EQ(dialog.chosen(), 1);
    QPushButton* ok = dialog.Buttons->button(QDialogButtonBox::Ok);

    dialog.List1->setCurrentRow(0);  // the column without values
    EXPECT_EQ(dialog.chosen(), -1);
    EXPECT_FALSE(ok->isEnabled());

    dialog.List1->setCurrentRow(2);
    EXPECT_TRUE(ok->isEnabled());
    QTimer::singleShot(0, ok, &QPushButton::click);
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.chosen(), 2);

    QTimer::singleShot(0, dialog.Buttons->button(QDialogButtonBox::Cancel), &QPushButton::click);
    EXPECT_EQ(dialog.exec(), QDialog::Rejected);
}

TEST(ChoiceDialog, OffersAGroupColumnThatIsNotTheValueColumn) {
    // Without groups offered there is no group box.
    ChoiceDialog plain(QStringLiteral("列の選択"), QString(), {QStringLiteral("a（1個）")}, {true},
                       0);
    EXPECT_EQ(plain.GroupBox, nullptr);
    EXPECT_EQ(plain.chosenGroup(), -1);

    ChoiceDialog dialog(QStringLiteral("列の選択"), QString(),
                        {QStringLiteral("性別（0個）"), QStringLiteral("Ca（240個）")},
                        {false, true}, 1, nullptr, {QStringLiteral("性別"), QStringLiteral("Ca")});
    ASSERT_NE(dialog.GroupBox, nullptr);
    ASSERT_EQ(dialog.GroupBox->count(), 3);
    EXPECT_EQ(dialog.GroupBox->itemText(0), QStringLiteral("（グループなし）"));
    EXPECT_EQ(dialog.chosenGroup(), -1);
    QPushButton* ok = dialog.Buttons->button(QDialogButtonBox::Ok);
    EXPECT_TRUE(ok->isEnabled());
    dialog.GroupBox->setCurrentIndex(2);  // the value column itself
    EXPECT_EQ(dialog.chosenGroup(), 1);
    EXPECT_FALSE(ok->isEnabled());
    dialog.GroupBox->setCurrentIndex(1);
    EXPECT_TRUE(ok->isEnabled());
    QTimer::singleShot(0, ok, &QPushButton::click);
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_EQ(dialog.chosen(), 1);
    EXPECT_EQ(dialog.chosenGroup(), 0);
}

TEST(ChoiceDialog, TheListOfGroupColumnsDoesNotOfferTheValueColumn) {
    ChoiceDialog dialog(QStringLiteral("列の選択"), QString(),
                        {QStringLiteral("性別（240個）"), QStringLiteral("Ca（240個）")},
                        {true, true}, 1, nullptr, {QStringLiteral("性別"), QStringLiteral("Ca")});
    auto* model = qobject_cast<QStandardItemModel*>(dialog.GroupBox->model());
    ASSERT_NE(model, nullptr);
    EXPECT_TRUE(model->item(1)->isEnabled());
    EXPECT_FALSE(model->item(2)->isEnabled());
    dialog.List1->setCurrentRow(0);
    EXPECT_FALSE(model->item(1)->isEnabled());
    EXPECT_TRUE(model->item(2)->isEnabled());
}

TEST(PictureSizeDialog, StartsAtTheSuggestedSizeAndReturnsTheTypedOne) {
    PictureSizeDialog dialog(QSize(374, 190));
    EXPECT_EQ(dialog.chosenSize(), QSize(374, 190));
    dialog.Width->setValue(1200);
    dialog.Height->setValue(5);  // below the smallest picture
    EXPECT_EQ(dialog.chosenSize(), QSize(1200, 16));
}

}  // namespace
}  // namespace kijunchi
