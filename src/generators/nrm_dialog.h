#pragma once
// The normal generator "正規乱数の発生".
#include <QDialog>

#include "analysis/store.h"
#include "generators/random_source.h"
#include "input/grid_sink.h"

class QLineEdit;
class QPushButton;

namespace kijunchi {

class Prompt;

class NRM : public QDialog {
    Q_OBJECT
public:
    NRM(AnalysisStore& store, RandomSource& random, GridSink& inputGrid, Prompt& prompt,
        QWidget* parent = nullptr);

    QLineEdit* Text1 = nullptr;  // count
    QLineEdit* Text2 = nullptr;  // mean
    QLineEdit* Text3 = nullptr;  // standard deviation
    QPushButton* Command2 = nullptr;  // OK
    QPushButton* Command1 = nullptr;  // キャンセル

private:
    void generate();

    AnalysisStore& store_;
    RandomSource& random_;
    GridSink& grid_;
    Prompt& prompt_;
};

}  // namespace kijunchi
