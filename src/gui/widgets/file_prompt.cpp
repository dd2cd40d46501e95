#include "gui/widgets/file_prompt.h"

#include <QFile>
#include <QFileInfo>

#include "files/table_file.h"
#include "files/workbook.h"
#include "gui/widgets/prompt.h"

namespace kijunchi {

std::optional<int> FilePrompt::chooseSheet(QWidget* parent, const QString& fileName,
                                           const QStringList& sheets) {
    const std::optional<int> chosen =
        chooseItem(parent, QString::fromUtf8(kSheetQuestionTitle), sheetQuestion(fileName), sheets,
                   QList<bool>(sheets.size(), true), 0);
    if (!chosen || *chosen < 0 || *chosen >= sheets.size()) return std::nullopt;
    return chosen;
}

std::optional<SheetChoice> askWorkbookSheet(FilePrompt& prompt, QWidget* parent,
                                            const QString& path, std::string& refusal) {
    const std::string local = QFile::encodeName(path).toStdString();
    if (workbookFileKind(local) == WorkbookKind::None) return SheetChoice{};
    const QString name = QFileInfo(path).fileName();
    TableFileRead listed;
    listed.sheets = workbookSheets(local, listed.refusal);
    if (!listed.refusal.empty()) {
        refusal = tableFileMessage(listed, name.toStdString());
        return std::nullopt;
    }
    if (listed.sheets.size() < 2) return SheetChoice{};
    QStringList sheets;
    for (const auto& s : listed.sheets) sheets << QString::fromStdString(s);
    const std::optional<int> chosen = prompt.chooseSheet(parent, name, sheets);
    if (!chosen) return std::nullopt;
    return SheetChoice{std::to_string(*chosen + 1), sheets[*chosen]};
}

}  // namespace kijunchi
