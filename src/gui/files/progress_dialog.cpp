#include "gui/files/progress_dialog.h"

#include <QEventLoop>
#include <QFile>
#include <QProgressDialog>
#include <QTimer>
#include <thread>

namespace kijunchi {

TableFileRead readDataFileWithProgress(QWidget* parent, const QString& path,
                                       std::optional<GroupedColumn> grouped,
                                       const std::string& sheet) {
    ReadProgress progress;
    TableFileRead result;
    QEventLoop loop;
    const std::string file = QFile::encodeName(path).toStdString();
    std::thread worker([&] {
        result = readTableFile(file, sheet, &progress, grouped);
        QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
    });

    QProgressDialog dialog(QStringLiteral("ファイルを読み込んでいます…"),
                           QStringLiteral("キャンセル"), 0, 1000, parent);
    dialog.setWindowTitle(QStringLiteral("データファイルを開く"));
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(500);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setValue(0);
    QObject::connect(&dialog, &QProgressDialog::canceled, [&progress] { progress.cancel = true; });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const auto total = progress.total.load();
        if (total > 0) dialog.setValue(static_cast<int>(progress.done.load() * 1000 / total));
    });
    tick.start(50);
    loop.exec();
    worker.join();
    return result;
}

}  // namespace kijunchi
