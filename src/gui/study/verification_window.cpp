#include "gui/study/verification_window.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "study/grouped_data.h"
#include "study/study_text.h"
#include "study/verification.h"

namespace kijunchi {

VerificationWindow::VerificationWindow(AnalysisStore& store, QWidget* parent)
    : StudyTextWindow(parent), store_(store) {
    setWindowTitle(QStringLiteral("基準範囲の検証"));
    LowerBox = new QLineEdit(this);
    UpperBox = new QLineEdit(this);
    VerifyButton = new QPushButton(QStringLiteral("検証"), this);
    for (QLineEdit* box : {LowerBox, UpperBox}) box->setFixedWidth(90);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("採用する基準範囲　下限"), this));
    row->addWidget(LowerBox);
    row->addWidget(new QLabel(QStringLiteral("上限"), this));
    row->addWidget(UpperBox);
    row->addWidget(VerifyButton);
    row->addStretch();
    row->addWidget(CopyButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(new QLabel(
        QStringLiteral(
            "入力画面のデータ（自施設の健常者20人以上）が範囲外にいくつあるかを数えます。"),
        this));
    layout->addWidget(Text);
    connect(VerifyButton, &QPushButton::clicked, this, &VerificationWindow::verify);
    connect(LowerBox, &QLineEdit::returnPressed, this, &VerificationWindow::verify);
    connect(UpperBox, &QLineEdit::returnPressed, this, &VerificationWindow::verify);
    resize(560, 380);
}

void VerificationWindow::verify() {
    const Verification v = verifyTypedInterval(
        LowerBox->text().toStdString(), UpperBox->text().toStdString(), measuredValues(store_));
    setResultText(verificationText(v));
}

}  // namespace kijunchi
