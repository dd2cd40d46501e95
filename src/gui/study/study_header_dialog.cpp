#include "gui/study/study_header_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kijunchi {

namespace {

std::string trimmed(const QString& text) {
    return text.trimmed().toStdString();
}

}  // namespace

StudyHeaderDialog::StudyHeaderDialog(const StudyHeader& header, const QString& suggestedAnalyte,
                                     QWidget* parent)
    : QDialog(parent) {
    setWindowTitle(QStringLiteral("検討の情報"));
    auto* form = new QFormLayout;
    const auto line = [&](QLineEdit*& edit, const char* name, const std::string& text,
                          const char* label) {
        edit = new QLineEdit(QString::fromStdString(text), this);
        edit->setObjectName(QString::fromLatin1(name));
        edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QLatin1Char('0')) * 40);
        form->addRow(QString::fromUtf8(label), edit);
    };
    line(AnalyteEdit, "AnalyteEdit", header.analyte, "項目名(&A):");
    if (header.analyte.empty()) AnalyteEdit->setText(suggestedAnalyte);
    line(UnitEdit, "UnitEdit", header.unit, "単位(&U):");
    line(MethodEdit, "MethodEdit", header.method, "測定法・機器(&M):");
    line(FacilityEdit, "FacilityEdit", header.facility, "施設(&F):");
    line(AuthorEdit, "AuthorEdit", header.author, "作成者(&W):");
    line(ApproverEdit, "ApproverEdit", header.approver, "承認者(&P):");
    NoteEdit = new QPlainTextEdit(QString::fromStdString(header.note), this);
    NoteEdit->setObjectName(QStringLiteral("NoteEdit"));
    NoteEdit->setTabChangesFocus(true);
    NoteEdit->setMinimumHeight(NoteEdit->fontMetrics().lineSpacing() * 5 +
                               2 * NoteEdit->frameWidth() + 8);
    form->addRow(QStringLiteral("メモ(&N):"), NoteEdit);

    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    Buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    Buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("キャンセル"));
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(Buttons);
    AnalyteEdit->setFocus();
}

StudyHeader StudyHeaderDialog::header() const {
    StudyHeader header;
    header.analyte = trimmed(AnalyteEdit->text());
    header.unit = trimmed(UnitEdit->text());
    header.method = trimmed(MethodEdit->text());
    header.facility = trimmed(FacilityEdit->text());
    header.author = trimmed(AuthorEdit->text());
    header.approver = trimmed(ApproverEdit->text());
    // The note keeps its inner lines; blank lines at its ends are dropped.
    header.note = trimmed(NoteEdit->toPlainText());
    return header;
}

}  // namespace kijunchi
