#pragma once
// The window "基準範囲の検証": the adopted lower and upper limit typed in, checked against the
// current data set as measured.
#include "analysis/store.h"
#include "gui/study/study_text_window.h"

class QLineEdit;

namespace kijunchi {

class VerificationWindow : public StudyTextWindow {
    Q_OBJECT
public:
    explicit VerificationWindow(AnalysisStore& store, QWidget* parent = nullptr);

    void verify();  // 検証

    QLineEdit* LowerBox = nullptr;
    QLineEdit* UpperBox = nullptr;
    QPushButton* VerifyButton = nullptr;

private:
    AnalysisStore& store_;
};

}  // namespace kijunchi
