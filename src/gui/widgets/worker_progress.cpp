#include "gui/widgets/worker_progress.h"

#include <QEventLoop>
#include <QProgressDialog>
#include <QTimer>
#include <algorithm>
#include <thread>

namespace kijunchi {

bool runWithProgress(QWidget* parent, const QString& title,
                     const std::function<QString(int)>& labelOf,
                     std::function<void(WorkerState&)> work) {
    const auto state = std::make_shared<WorkerState>();
    std::thread([state, work = std::move(work)] {
        work(*state);
        state->finished = true;
    }).detach();

    QEventLoop loop;
    int stage = 0;
    QProgressDialog dialog(labelOf(stage), QStringLiteral("キャンセル"), 0, 1000, parent);
    dialog.setWindowTitle(title);
    dialog.setWindowModality(Qt::WindowModal);
    dialog.setMinimumDuration(500);
    dialog.setAutoClose(false);
    dialog.setAutoReset(false);
    dialog.setValue(0);
    QObject::connect(&dialog, &QProgressDialog::canceled, [&] {
        state->progress.cancel = true;
        loop.quit();
    });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (state->finished) loop.quit();
        if (state->stage != stage) {
            stage = state->stage;
            dialog.setLabelText(labelOf(stage));
        }
        const auto total = state->progress.total.load();
        if (total > 0)
            dialog.setValue(static_cast<int>(
                std::min<std::uint64_t>(state->progress.done.load() * 1000 / total, 1000)));
    });
    tick.start(10);
    if (!state->finished) loop.exec();
    return state->finished && !state->progress.cancel;
}

}  // namespace kijunchi
