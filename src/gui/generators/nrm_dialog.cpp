#include "gui/generators/nrm_dialog.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "analysis/number_text.h"
#include "generators/generators.h"
#include "gui/widgets/prompt.h"
#include "gui/widgets/window_layout.h"
#include "report/analysis_run.h"

namespace kijunchi {

NRM::NRM(AnalysisStore& store, RandomSource& random, GridSink& inputGrid, Prompt& prompt,
         QWidget* parent)
    : GeneratorDialog("正規乱数の発生", "正規乱数", store, random, inputGrid, prompt, parent) {
    const int boxTops[3] = {600, 960, 1320};
    const char* captions[3] = {"データ数", "平均値", "標準偏差"};
    QLineEdit** boxes[3] = {&Text1, &Text2, &Text3};
    for (int i = 0; i < 3; ++i) {
        auto* caption = new QLabel(QString::fromUtf8(captions[i]), this);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        caption->setGeometry(twipsRect(240, boxTops[i], 2040, 270));
        *boxes[i] = new QLineEdit(this);
        (*boxes[i])->setObjectName(QStringLiteral("Text%1").arg(i + 1));
        (*boxes[i])->setGeometry(twipsRect(2400, boxTops[i], 1335, 270));
    }

    addButtons(twipsRect(4080, 600, 1215, 375), twipsRect(4080, 1080, 1215, 375));

    addNotes({"（１）　OKで値を変更するときは、全てのテキストボックス       にデータを入れて下い。",
              "（２） 存在しない極端な値は計算エラーとなる可能性があ        ります。",
              "（３）　正規乱数はベキ変換に対応していません。"},
             twips(240), twips(1800), twips(4080 + 1215 + 240));

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Text3);
    setTabOrder(Text3, Command2);
    setTabOrder(Command2, Command1);
    Text1->setFocus();

    connect(Text1, &QLineEdit::returnPressed, this, [this] { Text2->setFocus(); });
    connect(Text2, &QLineEdit::returnPressed, this, [this] { Text3->setFocus(); });
    connect(Text3, &QLineEdit::returnPressed, this, [this] { Text1->setFocus(); });

    centreOnScreen(*this);
}

void NRM::generate() {
    const std::optional<int> count = countOrRefuse(*Text1);
    if (!count) return;
    const double mean = lenientNumber(Text2->text().toStdString());
    const double sd = lenientNumber(Text3->text().toStdString());
    if (!generateNormal(store_, random_, *count, mean, sd, grid_)) {
        // Values too large for the arithmetic: nothing was changed; the user may correct them.
        prompt_.message(this, QString::fromUtf8(kCalcErrorMessage),
                        QString::fromUtf8(kCalcErrorTitle), Prompt::Icon::Exclamation);
        return;
    }
    close();
}

}  // namespace kijunchi
