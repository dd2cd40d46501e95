#pragma once
// Long work on a worker thread while the windows stay responsive: a progress dialog appears
// when it takes longer than half a second, shows what the work reports, and its キャンセル
// stops the waiting at once.
#include <QString>
#include <atomic>
#include <functional>
#include <memory>

#include "files/table_reader.h"

class QWidget;

namespace kijunchi {

// What the work and the dialog share: how far the work has come (done of total, in any unit;
// the work may start again from 0 with a new total at a new stage) and the request to stop,
// set by キャンセル. The work may outlive a cancelled wait, so it is held by a shared_ptr.
struct WorkerState {
    ReadProgress progress;
    std::atomic<int> stage{0};  // which of the labels applies
    std::atomic<bool> finished{false};
};

// Runs work(state) on a worker thread and waits with the event loop running; the dialog's text
// is labelOf(stage) (taken again when the stage changes). True when the work finished, false
// when cancelled (the worker is then left to stop by itself, its results unread).
bool runWithProgress(QWidget* parent, const QString& title,
                     const std::function<QString(int)>& labelOf,
                     std::function<void(WorkerState&)> work);

}  // namespace kijunchi
