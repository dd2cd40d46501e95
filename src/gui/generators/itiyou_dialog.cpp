#include "gui/generators/itiyou_dialog.h"

#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "analysis/number_text.h"
#include "generators/generators.h"
#include "gui/widgets/prompt.h"
#include "gui/widgets/window_layout.h"

namespace kijunchi {

ITIYOU::ITIYOU(AnalysisStore& store, RandomSource& random, GridSink& inputGrid, Prompt& prompt,
               std::function<void(const std::string&)> showListing, QWidget* parent)
    : GeneratorDialog("一様乱数の発生", "一様乱数", store, random, inputGrid, prompt, parent),
      showListing_(std::move(showListing)) {
    const QFont dialogFont = font();

    // The captions left of the boxes are long: should the font make them wider than the room
    // before the boxes, the boxes and everything right of them move right.
    const char* captions[2] = {"データ数（50以上を設定）", "最大値(20以上を設定）"};
    const int margin = twips(120);
    const int captionGap = twips(90);
    int widestCaption = 0;
    for (const char* caption : captions) {
        widestCaption = qMax(
            widestCaption, QFontMetrics(dialogFont).horizontalAdvance(QString::fromUtf8(caption)));
    }
    const int boxLeft = qMax(twips(2280), margin + widestCaption + captionGap);
    const int shift = boxLeft - twips(2280);
    auto place = [this, shift](int left, int top, int width, int height) {
        return twipsRect(left, top, width, height).translated(shift, 0);
    };

    const int boxTops[2] = {600, 960};
    QLineEdit** boxes[2] = {&Text1, &Text2};
    for (int i = 0; i < 2; ++i) {
        auto* caption = new QLabel(QString::fromUtf8(captions[i]), this);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        const QRect box = place(2280, boxTops[i], 1335, 270);
        caption->setGeometry(margin, box.top(), box.left() - captionGap - margin, box.height());
        *boxes[i] = new QLineEdit(this);
        (*boxes[i])->setObjectName(QStringLiteral("Text%1").arg(i + 1));
        (*boxes[i])->setGeometry(box);
        auto* example = new QLabel(QStringLiteral("例　100"), this);
        example->setGeometry(place(3735, boxTops[i], 840, 270));
    }

    addButtons(place(4680, 600, 1215, 375), place(4680, 1080, 1215, 375));

    const int left = twips(240);
    const int gap = twips(60);
    const int width = twips(4680 + 1215 + 240);
    const int textWidth = width - 2 * left;
    QLabel* countNote =
        makeNote(this, "データ数は1000以下を設定して下さい。", left, twips(1320), textWidth);
    QLabel* errorNote = makeNote(
        this,
        "エラーになる場合があります。数値を変えて度数が適当な数になるようにして再解析して下さい。",
        left, countNote->geometry().bottom() + 1 + 3 * gap, textWidth);
    addNotes({"（１）　OKで値を変更するときは、全てのテキストボックス       にデータを入れて下い。",
              "（２） 存在しない極端な値は計算エラーとなる可能性があ        ります。"},
             left, errorNote->geometry().bottom() + 1 + 3 * gap, width);

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Command2);
    setTabOrder(Command2, Command1);
    Text1->setFocus();

    centreOnScreen(*this);
}

void ITIYOU::generate() {
    const std::optional<int> count = countOrRefuse(*Text1);
    if (!count) return;
    const double max = lenientNumber(Text2->text().toStdString());
    const std::string listing = generateUniform(store_, random_, *count, max, grid_);
    if (showListing_) showListing_(listing);
    close();
}

}  // namespace kijunchi
