#include "gui/widgets/prompt.h"

#include <QMessageBox>

namespace kijunchi {

QString dataFileFilter() {
    return QStringLiteral(
        "データファイル (*.csv *.tsv *.txt *.xlsx *.xlsm *.xls *.CSV *.TSV *.TXT *.XLSX *.XLSM "
        "*.XLS);;すべてのファイル (*)");
}

QString sheetQuestion(const QString& fileName) {
    return QStringLiteral("「%1」のどのシートを読み込みますか。").arg(fileName);
}

namespace {

QMessageBox::Icon boxIcon(Prompt::Icon icon) {
    switch (icon) {
        case Prompt::Icon::Information:
            return QMessageBox::Information;
        case Prompt::Icon::Exclamation:
            return QMessageBox::Warning;
        case Prompt::Icon::Question:
            return QMessageBox::Question;
    }
    return QMessageBox::NoIcon;
}

}  // namespace

void MessageBoxPrompt::message(QWidget* parent, const QString& text, const QString& title,
                               Icon icon) {
    QMessageBox box(boxIcon(icon), title, text, QMessageBox::Ok, parent);
    box.exec();
}

bool MessageBoxPrompt::askYesNo(QWidget* parent, const QString& text, const QString& title) {
    QMessageBox box(QMessageBox::Question, title, text, QMessageBox::Yes | QMessageBox::No, parent);
    box.setDefaultButton(QMessageBox::Yes);
    return box.exec() == QMessageBox::Yes;
}

Prompt::Answer MessageBoxPrompt::askYesNoCancel(QWidget* parent, const QString& text,
                                                const QString& title) {
    QMessageBox box(QMessageBox::Question, title, text,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Yes);
    box.setEscapeButton(QMessageBox::Cancel);
    switch (box.exec()) {
        case QMessageBox::Yes:
            return Answer::Yes;
        case QMessageBox::No:
            return Answer::No;
        default:
            return Answer::Cancel;
    }
}

}  // namespace kijunchi
