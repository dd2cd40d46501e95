#include "gui/files/file_prompt_dialog.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QRegularExpression>

#include "gui/files/choice_dialog.h"
#include "gui/widgets/prompt.h"

namespace kijunchi {

QString filterExtension(const QString& filter) {
    static const QRegularExpression pattern(QStringLiteral("\\*\\.(\\w+)"));
    QRegularExpressionMatch match = pattern.match(filter);
    return match.hasMatch() ? match.captured(1) : QString();
}

QString DialogFilePrompt::openFileName(QWidget* parent, const QString& folder) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("データファイルを開く"), folder,
                                        dataFileFilter());
}

QString DialogFilePrompt::openStudyName(QWidget* parent, const QString& folder) {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("検討を開く"), folder,
                                        QStringLiteral("検討 (*.kijunchi);;すべてのファイル (*)"));
}

QString DialogFilePrompt::saveFileName(QWidget* parent, const QString& title,
                                       const QString& suggested, const QStringList& filters) {
    QString selected;
    QString name = QFileDialog::getSaveFileName(parent, title, suggested,
                                                filters.join(QStringLiteral(";;")), &selected);
    if (!name.isEmpty() && QFileInfo(name).suffix().isEmpty()) {
        QString extension = filterExtension(selected);
        if (!extension.isEmpty()) name += QLatin1Char('.') + extension;
    }
    return name;
}

std::optional<int> DialogFilePrompt::chooseItem(QWidget* parent, const QString& title,
                                                const QString& label, const QStringList& items,
                                                const QList<bool>& enabled, int current) {
    ChoiceDialog dialog(title, label, items, enabled, current, parent);
    if (dialog.exec() != QDialog::Accepted || dialog.chosen() < 0) return std::nullopt;
    return dialog.chosen();
}

std::optional<ColumnChoice> DialogFilePrompt::chooseColumns(
    QWidget* parent, const QString& title, const QString& label, const QStringList& items,
    const QList<bool>& enabled, int current, const QStringList& groups, bool headings) {
    ChoiceDialog dialog(title, label, items, enabled, current, parent, groups, headings);
    if (dialog.exec() != QDialog::Accepted || dialog.chosen() < 0) return std::nullopt;
    ColumnChoice choice;
    choice.values = dialog.chosen();
    if (dialog.chosenGroup() >= 0) choice.groups = dialog.chosenGroup();
    choice.headings = dialog.HeadingBox->isChecked();
    return choice;
}

std::optional<QSize> DialogFilePrompt::pictureSize(QWidget* parent, const QSize& suggested) {
    PictureSizeDialog dialog(suggested, parent);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.chosenSize();
}

std::optional<int> DialogFilePrompt::askNumber(QWidget* parent, const QString& title,
                                               const QString& label, int minimum, int maximum,
                                               int suggested) {
    QInputDialog dialog(parent);
    dialog.setWindowTitle(title);
    dialog.setLabelText(label);
    dialog.setInputMode(QInputDialog::IntInput);
    dialog.setIntRange(minimum, maximum);
    dialog.setIntValue(suggested);
    dialog.setOkButtonText(QStringLiteral("OK"));
    dialog.setCancelButtonText(QStringLiteral("キャンセル"));
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.intValue();
}

}  // namespace kijunchi
