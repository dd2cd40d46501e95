#pragma once
// The window "基準範囲の検証": the adopted lower and upper limit typed in, or taken from a table
// of adopted intervals (the built-in JCCLS table or a table file) by analyte, sex and age band,
// checked against the current data set as measured.
#include <QString>
#include <functional>
#include <optional>

#include "adopted/adopted_table.h"
#include "analysis/store.h"
#include "gui/study/study_text_window.h"

class QComboBox;
class QLabel;
class QLineEdit;

namespace kijunchi {

class VerificationWindow : public StudyTextWindow {
    Q_OBJECT
public:
    explicit VerificationWindow(AnalysisStore& store, QWidget* parent = nullptr);

    void verify();  // 検証

    // Asks for a table file (a file dialog); tests answer it. Empty: cancelled.
    std::function<QString()> chooseAdoptedTable;

    QLineEdit* LowerBox = nullptr;
    QLineEdit* UpperBox = nullptr;
    QPushButton* VerifyButton = nullptr;
    QComboBox* TableBox = nullptr;  // 入力した範囲, JCCLS共用基準範囲, 表のファイル
    QComboBox* AnalyteBox = nullptr;         // the table's analytes; another name may be typed
    QComboBox* SexBox = nullptr;             // （共通）, 男, 女
    QComboBox* AgeBox = nullptr;             // （なし） or an age band of the analyte's rows
    QPushButton* TableFileButton = nullptr;  // 表を選ぶ…
    QLabel* TableFileLabel = nullptr;

private:
    const AdoptedTable* table() const;  // the chosen table; nullptr for typed limits
    void tableChosen();                 // fills the analytes of the chosen table
    void analyteChosen();               // fills the age bands of the analyte's rows
    void showChosenLimits();            // the chosen row's limits in the two boxes
    std::optional<AdoptedSex> chosenSex() const;
    std::optional<std::pair<double, double>> chosenBand() const;

    AnalysisStore& store_;
    AdoptedTable file_;  // the table file chosen last
};

}  // namespace kijunchi
