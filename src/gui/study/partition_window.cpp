#include "gui/study/partition_window.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "study/batch_evaluation.h"
#include "study/grouped_data.h"
#include "study/study_text.h"

namespace kijunchi {

PartitionWindow::PartitionWindow(AnalysisStore& store, QWidget* parent)
    : StudyTextWindow(parent), store_(store) {
    setWindowTitle(QStringLiteral("分割の検討"));
    StudyButton = new QPushButton(QStringLiteral("検討"), this);
    auto* row = new QHBoxLayout;
    row->addWidget(StudyButton);
    row->addStretch();
    row->addWidget(CopyButton);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addWidget(Text);
    connect(StudyButton, &QPushButton::clicked, this, &PartitionWindow::study);
    resize(620, 460);
}

void PartitionWindow::study() {
    const auto groups = currentGroups(store_);
    if (!groups) {
        setResultText(std::string("分割の検討\r\n\r\n") + kNoGroupsMessage + "\r\n");
        return;
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const PartitionStudy result = studyPartition(*groups);
    std::string text;
    if (const QString name = analyte ? analyte() : QString(); !name.isEmpty())
        text = "項目 =\t" + name.toStdString() + "\r\n";
    text += partitionText(result);
    if (result.refusal.empty()) text += groupLimitsText(*groups);
    QApplication::restoreOverrideCursor();
    setResultText(text);
}

}  // namespace kijunchi
