#include "gui/study/verification_window.h"

#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cmath>
#include <vector>

#include "analysis/number_text.h"
#include "study/grouped_data.h"
#include "study/study_text.h"
#include "study/verification.h"

namespace kijunchi {

namespace {

enum TableChoice { kTyped = 0, kJccls = 1, kFile = 2 };

}  // namespace

VerificationWindow::VerificationWindow(AnalysisStore& store, QWidget* parent)
    : StudyTextWindow(parent), store_(store) {
    setWindowTitle(QStringLiteral("基準範囲の検証"));
    LowerBox = new QLineEdit(this);
    UpperBox = new QLineEdit(this);
    VerifyButton = new QPushButton(QStringLiteral("検証"), this);
    for (QLineEdit* box : {LowerBox, UpperBox}) box->setFixedWidth(90);
    TableBox = new QComboBox(this);
    TableBox->addItems({QStringLiteral("入力した範囲"), QStringLiteral("JCCLS共用基準範囲"),
                        QStringLiteral("表のファイル")});
    AnalyteBox = new QComboBox(this);
    AnalyteBox->setEditable(true);
    AnalyteBox->setInsertPolicy(QComboBox::NoInsert);
    AnalyteBox->setMinimumContentsLength(6);
    SexBox = new QComboBox(this);
    SexBox->addItems({QStringLiteral("（共通）"), QStringLiteral("男"), QStringLiteral("女")});
    AgeBox = new QComboBox(this);
    AgeBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    AgeBox->setMinimumContentsLength(8);  // （なし） in full-width letters
    TableFileButton = new QPushButton(QStringLiteral("表を選ぶ…"), this);
    TableFileLabel = new QLabel(this);

    auto* row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("採用する基準範囲　下限"), this));
    row->addWidget(LowerBox);
    row->addWidget(new QLabel(QStringLiteral("上限"), this));
    row->addWidget(UpperBox);
    row->addWidget(VerifyButton);
    row->addStretch();
    row->addWidget(CopyButton);
    // The limits from a table: its analyte, sex and age band, under the typed limits.
    auto* tableRow = new QHBoxLayout;
    tableRow->addWidget(TableBox);
    tableRow->addWidget(new QLabel(QStringLiteral("項目"), this));
    tableRow->addWidget(AnalyteBox);
    tableRow->addWidget(new QLabel(QStringLiteral("性別"), this));
    tableRow->addWidget(SexBox);
    tableRow->addWidget(new QLabel(QStringLiteral("年齢"), this));
    tableRow->addWidget(AgeBox);
    tableRow->addWidget(TableFileButton);
    tableRow->addWidget(TableFileLabel, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(tableRow);
    layout->addWidget(new QLabel(
        QStringLiteral(
            "入力画面のデータ（自施設の健常者20人以上）が範囲外にいくつあるかを数えます。"),
        this));
    layout->addWidget(Text);
    connect(VerifyButton, &QPushButton::clicked, this, &VerificationWindow::verify);
    connect(LowerBox, &QLineEdit::returnPressed, this, &VerificationWindow::verify);
    connect(UpperBox, &QLineEdit::returnPressed, this, &VerificationWindow::verify);

    chooseAdoptedTable = [this] {
        return QFileDialog::getOpenFileName(
            this, QStringLiteral("採用中の基準範囲の表を選ぶ"), QString(),
            QStringLiteral("表 (*.csv *.tsv *.txt);;すべてのファイル (*)"));
    };
    connect(TableBox, &QComboBox::currentIndexChanged, this, &VerificationWindow::tableChosen);
    connect(AnalyteBox, &QComboBox::currentTextChanged, this, &VerificationWindow::analyteChosen);
    connect(SexBox, &QComboBox::currentIndexChanged, this, &VerificationWindow::showChosenLimits);
    connect(AgeBox, &QComboBox::currentIndexChanged, this, &VerificationWindow::showChosenLimits);
    connect(TableFileButton, &QPushButton::clicked, this, [this] {
        const QString path = chooseAdoptedTable();
        if (path.isEmpty()) return;
        file_ = loadAdoptedTable(path.toStdString());
        file_.name = QFileInfo(path).fileName().toStdString();
        TableFileLabel->setText(QFileInfo(path).fileName());
        if (!file_.problem.empty()) setResultText(file_.problem);
        tableChosen();
    });
    tableChosen();
    resize(560, 380);
}

const AdoptedTable* VerificationWindow::table() const {
    switch (TableBox->currentIndex()) {
        case kJccls:
            return &jcclsTable();
        case kFile:
            return file_.problem.empty() && !file_.rows.empty() ? &file_ : nullptr;
        default:
            return nullptr;
    }
}

void VerificationWindow::tableChosen() {
    const int kind = TableBox->currentIndex();
    LowerBox->setEnabled(kind == kTyped);
    UpperBox->setEnabled(kind == kTyped);
    TableFileButton->setEnabled(kind == kFile);
    TableFileLabel->setEnabled(kind == kFile);
    AnalyteBox->setEnabled(kind != kTyped);
    SexBox->setEnabled(kind != kTyped);
    const QString before = AnalyteBox->currentText();
    {
        const QSignalBlocker block(AnalyteBox);
        AnalyteBox->clear();
        if (const AdoptedTable* t = table()) {
            QStringList names;
            for (const AdoptedRow& r : t->rows)
                if (!names.contains(QString::fromStdString(r.analyte)))
                    names << QString::fromStdString(r.analyte);
            AnalyteBox->addItems(names);
        }
        AnalyteBox->setCurrentText(before);
    }
    analyteChosen();
}

void VerificationWindow::analyteChosen() {
    const QString before = AgeBox->currentText();
    const QSignalBlocker block(AgeBox);
    AgeBox->clear();
    AgeBox->addItem(QStringLiteral("（なし）"));
    if (const AdoptedTable* t = table()) {
        for (const AdoptedRow* r : findAnalyte(*t, AnalyteBox->currentText().toStdString())) {
            if (!r->ageLow && !r->ageHigh) continue;
            const QString band = QString::fromStdString(ageBandText(*r));
            if (AgeBox->findText(band) < 0)
                AgeBox->addItem(band, QVariantList{r->ageLow ? *r->ageLow : -INFINITY,
                                                   r->ageHigh ? *r->ageHigh : INFINITY});
        }
    }
    AgeBox->setCurrentIndex(std::max(0, AgeBox->findText(before)));
    AgeBox->setEnabled(table() && AgeBox->count() > 1);
    showChosenLimits();
}

std::optional<AdoptedSex> VerificationWindow::chosenSex() const {
    switch (SexBox->currentIndex()) {
        case 1:
            return AdoptedSex::Male;
        case 2:
            return AdoptedSex::Female;
        default:
            return std::nullopt;
    }
}

std::optional<std::pair<double, double>> VerificationWindow::chosenBand() const {
    const QVariantList band = AgeBox->currentData().toList();
    if (band.size() != 2) return std::nullopt;
    return std::pair{band[0].toDouble(), band[1].toDouble()};
}

void VerificationWindow::showChosenLimits() {
    const AdoptedTable* t = table();
    if (!t) {
        if (TableBox->currentIndex() != kTyped) LowerBox->clear(), UpperBox->clear();
        return;
    }
    std::string reason;
    const auto band = chosenBand();
    const AdoptedRow* row =
        verificationRow(*t, AnalyteBox->currentText().toStdString(), chosenSex(),
                        band ? std::optional(band->first) : std::nullopt,
                        band ? std::optional(band->second) : std::nullopt, reason);
    LowerBox->setText(row ? QString::fromStdString(numberText(row->lower)) : QString());
    UpperBox->setText(row ? QString::fromStdString(numberText(row->upper)) : QString());
}

void VerificationWindow::verify() {
    const std::vector<double> values = measuredValues(store_);
    if (TableBox->currentIndex() == kTyped) {
        setResultText(verificationText(verifyTypedInterval(
            LowerBox->text().toStdString(), UpperBox->text().toStdString(), values)));
        return;
    }
    const AdoptedTable* t = table();
    if (!t) {
        setResultText(file_.problem.empty() ? "採用中の基準範囲の表を選んで下さい。"
                                            : file_.problem);
        return;
    }
    const auto band = chosenBand();
    setResultText(verificationText(
        verifyTableInterval(*t, AnalyteBox->currentText().toStdString(), chosenSex(), values,
                            band ? std::optional(band->first) : std::nullopt,
                            band ? std::optional(band->second) : std::nullopt)));
}

}  // namespace kijunchi
