#pragma once
// The window "分割の検討": whether the groups of the current data set (pasted with
// "グループ列あり") need reference intervals of their own.
#include <QString>
#include <functional>

#include "analysis/store.h"
#include "gui/study/study_text_window.h"

namespace kijunchi {

class PartitionWindow : public StudyTextWindow {
    Q_OBJECT
public:
    explicit PartitionWindow(AnalysisStore& store, QWidget* parent = nullptr);

    void study();  // 検討

    QPushButton* StudyButton = nullptr;
    // The analyte's name (a data file's column heading) that heads the text as on the command
    // line; empty: none.
    std::function<QString()> analyte;

private:
    AnalysisStore& store_;
};

}  // namespace kijunchi
