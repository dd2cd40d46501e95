#pragma once
// The study windows of the frame ("分割の検討", "基準範囲の検証", "一括評価" and
// "間接法による基準範囲"), each a single instance created on first use, and the menu "検討(&K)"
// that opens them.
#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

#include "analysis/store.h"
#include "gui/results/document_part.h"

class QMdiArea;
class QMenu;
class QWidget;

namespace kijunchi {

class BatchWindow;
class FilePrompt;
class IndirectWindow;
class PartitionWindow;
class Prompt;
class VerificationWindow;

class StudyWindows : public QObject {
    Q_OBJECT
public:
    StudyWindows(QMdiArea& area, AnalysisStore& store, Prompt& prompt, FilePrompt& files,
                 QObject* parent);
    // The file questions of the windows (a workbook's sheet): those shown and those to come.
    void setFilePrompt(FilePrompt& files);

    // A new menu with the four commands, owned by parent (the frame's and the input
    // window's menu bars each have their own).
    QMenu* buildMenu(QWidget* parent);

    PartitionWindow* showPartition();  // the study runs at once on the current data set
    // The analyte of the data set (a data file's column heading), given to 分割の検討.
    std::function<QString()> analyte;
    VerificationWindow* showVerification();
    BatchWindow* showBatch();
    IndirectWindow* showIndirect();

    // The data set was written anew: the partition is studied again, and a verification
    // shown is taken again on the new values. (The batch reads its own file.)
    void dataSetChanged();

    // The windows, null while they do not exist.
    PartitionWindow* partitionWindow() const;
    VerificationWindow* verificationWindow() const;
    BatchWindow* batchWindow() const;
    IndirectWindow* indirectWindow() const;

signals:
    // A new window that gives its text to the saved and printed report while it exists.
    void partCreated(QWidget* window, const DocumentPart* part);

private:
    void show(QWidget* window);

    QMdiArea& area_;
    AnalysisStore& store_;
    Prompt& prompt_;
    FilePrompt* files_;
    QPointer<PartitionWindow> partition_;
    QPointer<VerificationWindow> verification_;
    QPointer<BatchWindow> batch_;
    QPointer<IndirectWindow> indirect_;
};

}  // namespace kijunchi
