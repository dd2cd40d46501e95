#pragma once
// The uniform generator "一様乱数の発生".
#include <QDialog>
#include <functional>
#include <string>

#include "analysis/store.h"
#include "generators/random_source.h"
#include "input/grid_sink.h"

class QLineEdit;
class QPushButton;

namespace kijunchi {

class Prompt;

class ITIYOU : public QDialog {
    Q_OBJECT
public:
    // showListing puts the listing into the statistics window (creating and showing it).
    ITIYOU(AnalysisStore& store, RandomSource& random, GridSink& inputGrid, Prompt& prompt,
           std::function<void(const std::string&)> showListing, QWidget* parent = nullptr);

    QLineEdit* Text1 = nullptr;  // count
    QLineEdit* Text2 = nullptr;  // maximum
    QPushButton* Command2 = nullptr;  // OK
    QPushButton* Command1 = nullptr;  // キャンセル

private:
    void generate();

    AnalysisStore& store_;
    RandomSource& random_;
    GridSink& grid_;
    Prompt& prompt_;
    std::function<void(const std::string&)> showListing_;
};

}  // namespace kijunchi
