#include "gui/files/progress_dialog.h"

#include <QFile>
#include <memory>

#include "gui/widgets/worker_progress.h"

namespace kijunchi {

TableFileRead readDataFileWithProgress(QWidget* parent, const QString& path,
                                       std::optional<GroupedColumn> grouped,
                                       std::optional<bool> headings, const std::string& sheet) {
    // Shared with the worker, which may outlive a cancelled dialog: closing never waits for it.
    const auto result = std::make_shared<TableFileRead>();
    DataReadOptions options;
    options.grouped = grouped;
    options.headings = headings;
    options.regularOnly = true;  // a pipe or a device could hold the reading for ever
    const std::string file = QFile::encodeName(path).toStdString();
    const bool read = runWithProgress(
        parent, QStringLiteral("データファイルを開く"),
        [](int) { return QStringLiteral("ファイルを読み込んでいます…"); },
        [result, file, options, sheet](WorkerState& state) mutable {
            options.progress = &state.progress;
            *result = readTableFile(file, sheet, options);  // or a workbook's sheet
        });
    if (!read) {
        TableFileRead cancelled;
        cancelled.read.problem = FileProblem::Cancelled;
        return cancelled;
    }
    return std::move(*result);
}

}  // namespace kijunchi
