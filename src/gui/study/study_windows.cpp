#include "gui/study/study_windows.h"

#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <algorithm>

#include "gui/study/batch_window.h"
#include "gui/study/indirect_window.h"
#include "gui/study/partition_window.h"
#include "gui/study/verification_window.h"
#include "gui/widgets/mdi_arrange.h"

namespace kijunchi {

StudyWindows::StudyWindows(QMdiArea& area, AnalysisStore& store, Prompt& prompt, FilePrompt& files,
                           QObject* parent)
    : QObject(parent), area_(area), store_(store), prompt_(prompt), files_(&files) {}

void StudyWindows::setFilePrompt(FilePrompt& files) {
    files_ = &files;
    if (batch_) batch_->setFilePrompt(files);
    if (indirect_) indirect_->setFilePrompt(files);
}

QMenu* StudyWindows::buildMenu(QWidget* parent) {
    auto* menu = new QMenu(QStringLiteral("検討(&K)"), parent);
    connect(menu->addAction(QStringLiteral("分割の検討")), &QAction::triggered, this,
            &StudyWindows::showPartition);
    connect(menu->addAction(QStringLiteral("基準範囲の検証")), &QAction::triggered, this,
            &StudyWindows::showVerification);
    connect(menu->addAction(QStringLiteral("一括評価")), &QAction::triggered, this,
            &StudyWindows::showBatch);
    connect(menu->addAction(QStringLiteral("間接法による基準範囲")), &QAction::triggered, this,
            &StudyWindows::showIndirect);
    return menu;
}

PartitionWindow* StudyWindows::partitionWindow() const {
    return partition_;
}
VerificationWindow* StudyWindows::verificationWindow() const {
    return verification_;
}
BatchWindow* StudyWindows::batchWindow() const {
    return batch_;
}
IndirectWindow* StudyWindows::indirectWindow() const {
    return indirect_;
}

void StudyWindows::show(QWidget* window) {
    if (!subWindowOf(area_, window)) {
        QMdiSubWindow* sub = area_.addSubWindow(window);
        sub->setAttribute(Qt::WA_DeleteOnClose);
        sub->resize(window->size());
        sub->show();
        // The work area places a new window where there is room for its corner; the whole
        // window is brought inside, and made smaller where the area is, as far as its
        // controls let it.
        const QRect room = area_.viewport()->rect();
        const QSize size = sub->size().boundedTo(room.size()).expandedTo(sub->minimumSizeHint());
        sub->setGeometry(std::clamp(sub->x(), 0, std::max(0, room.width() - size.width())),
                         std::clamp(sub->y(), 0, std::max(0, room.height() - size.height())),
                         size.width(), size.height());
    }
    showAndActivate(area_, window);
}

PartitionWindow* StudyWindows::showPartition() {
    if (!partition_) {
        partition_ = new PartitionWindow(store_);
        partition_->analyte = [this] { return analyte ? analyte() : QString(); };
    }
    show(partition_);
    partition_->study();
    return partition_;
}

VerificationWindow* StudyWindows::showVerification() {
    if (!verification_) verification_ = new VerificationWindow(store_);
    show(verification_);
    return verification_;
}

void StudyWindows::dataSetChanged() {
    if (partition_) partition_->study();
    if (verification_ && !verification_->text().isEmpty()) verification_->verify();
}

BatchWindow* StudyWindows::showBatch() {
    if (!batch_) {
        batch_ = new BatchWindow(prompt_, *files_);
        emit partCreated(batch_, batch_);
    }
    show(batch_);
    return batch_;
}

IndirectWindow* StudyWindows::showIndirect() {
    if (!indirect_) {
        indirect_ = new IndirectWindow(prompt_, *files_);
        emit partCreated(indirect_, indirect_);
    }
    show(indirect_);
    return indirect_;
}

}  // namespace kijunchi
