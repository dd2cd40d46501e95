#pragma once
// The transformation window "修正ベキ変換": the likelihood table, λ and "変換する".
#include <QString>
#include <QWidget>

#include "analysis/store.h"
#include "input/grid_sink.h"

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace kijunchi {

class Prompt;

class box : public QWidget {
    Q_OBJECT
public:
    // Computes the likelihood table from the data set as it stands. inputGrid is the input
    // window's grid (through the frame, so it survives the input window being reopened). With a
    // parent the window stays above it, as a dialog does.
    box(AnalysisStore& store, GridSink& inputGrid, Prompt& prompt, QWidget* parent = nullptr);

    QPlainTextEdit* Text2 = nullptr;  // the likelihood table
    QPushButton* Command1 = nullptr;  // ｺﾋﾟｰ: copy the table
    QPushButton* Command3 = nullptr;  // 閉じる: refresh the grid and close
    QPushButton* Command2 = nullptr;  // 変換する: transform the data set
    QPushButton* Command4 = nullptr;  // OK: close
    QLineEdit* Text1 = nullptr;       // λ
    QLabel* Label3 = nullptr;         // the instruction, then what was transformed
    QLabel* LambdaLabel = nullptr;    // the λ of largest likelihood
    int MarkedRow = -1;               // the table row marked as nearest to it (0 = λ −1)

    // Recomputes the table from the data set as it stands and resets the instruction label
    // (the input window's "修正ベキ変換" while the window is open).
    void reload();

private:
    void markEstimate();
    void copyTable();
    void transform();
    void refreshAndClose();

    AnalysisStore& store_;
    GridSink& grid_;
    Prompt& prompt_;
    QString table_;  // the likelihood table with its CR LF, as it goes to the clipboard
};

}  // namespace kijunchi
