#pragma once
// The uniform generator "一様乱数の発生".
#include <functional>
#include <string>

#include "gui/generators/generator_dialog.h"

namespace kijunchi {

class ITIYOU : public GeneratorDialog {
    Q_OBJECT
public:
    // showListing puts the listing into the statistics window (creating and showing it).
    ITIYOU(AnalysisStore& store, RandomSource& random, GridSink& inputGrid, Prompt& prompt,
           std::function<void(const std::string&)> showListing, QWidget* parent = nullptr);

    QLineEdit* Text1 = nullptr;  // データ数: the count
    QLineEdit* Text2 = nullptr;  // 最大値: the maximum

protected:
    void generate() override;

private:
    std::function<void(const std::string&)> showListing_;
};

}  // namespace kijunchi
