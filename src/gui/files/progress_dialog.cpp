#include "gui/files/progress_dialog.h"

#include <QEventLoop>
#include <QFile>
#include <QProgressDialog>
#include <QTimer>
#include <memory>
#include <thread>

namespace kijunchi {

TableFileRead readDataFileWithProgress(QWidget* parent, const QString& path,
                                       std::optional<GroupedColumn> grouped,
                                       std::optional<bool> headings, const std::string& sheet) {
    // Shared with the worker, which may outlive a cancelled dialog: closing never waits for it.
    struct Reading {
        ReadProgress progress;
        TableFileRead result;
        std::atomic<bool> done{false};
    };
    const auto reading = std::make_shared<Reading>();
    DataReadOptions options;
    options.grouped = grouped;
    options.headings = headings;
    options.regularOnly = true;  // a pipe or a device could hold the reading for ever
    options.progress = &reading->progress;
    const std::string file = QFile::encodeName(path).toStdString();
    std::thread([reading, file, options, sheet] {
        reading->result = readTableFile(file, sheet, options);  // or a workbook's sheet
        reading->done = true;
    }).detach();

    QEventLoop loop;
    QProgressDialog dialog(QStringLiteral("ファイルを読み込んでいます…"),
                           QStringLiteral("キャンセル"), 0, 1000, parent);
    dialog.setWindowTitle(QStringLiteral("データファイルを開く"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(500);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setValue(0);
    QObject::connect(&dialog, &QProgressDialog::canceled, [&] {
        reading->progress.cancel = true;
        loop.quit();
    });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (reading->done) loop.quit();
        const auto total = reading->progress.total.load();
        if (total > 0)
            dialog.setValue(static_cast<int>(reading->progress.done.load() * 1000 / total));
    });
    tick.start(10);
    loop.exec();
    if (!reading->done) {
        TableFileRead cancelled;
        cancelled.read.problem = FileProblem::Cancelled;
        return cancelled;
    }
    return std::move(reading->result);
}

}  // namespace kijunchi
