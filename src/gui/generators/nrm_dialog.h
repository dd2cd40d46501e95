#pragma once
// The normal generator "正規乱数の発生".
#include "gui/generators/generator_dialog.h"

namespace kijunchi {

class NRM : public GeneratorDialog {
    Q_OBJECT
public:
    NRM(AnalysisStore& store, RandomSource& random, GridSink& inputGrid, Prompt& prompt,
        QWidget* parent = nullptr);

    QLineEdit* Text1 = nullptr;  // データ数: the count
    QLineEdit* Text2 = nullptr;  // 平均値: the mean
    QLineEdit* Text3 = nullptr;  // 標準偏差: the standard deviation

protected:
    void generate() override;
};

}  // namespace kijunchi
