#include "generators/itiyou_dialog.h"

#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>

#include "analysis/number_text.h"
#include "generators/generators.h"
#include "shell/prompt.h"
#include "shell/window_layout.h"

namespace kijunchi {

ITIYOU::ITIYOU(AnalysisStore& store, RandomSource& random, GridSink& inputGrid, Prompt& prompt,
               std::function<void(const std::string&)> showListing, QWidget* parent)
    : QDialog(parent),
      store_(store),
      random_(random),
      grid_(inputGrid),
      prompt_(prompt),
      showListing_(std::move(showListing)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QStringLiteral("一様乱数の発生"));
    QFont dialogFont = font();
    dialogFont.setPointSize(9);
    setFont(dialogFont);

    auto* heading = new QLabel(QStringLiteral("一様乱数"), this);
    QFont headingFont = dialogFont;
    headingFont.setPointSize(12);
    headingFont.setBold(true);
    heading->setFont(headingFont);
    heading->setGeometry(twipsRect(240, 120, 2400, 405));

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
        (*boxes[i])->setGeometry(box);
        auto* example = new QLabel(QStringLiteral("例　100"), this);
        example->setGeometry(place(3735, boxTops[i], 840, 270));
    }

    Command2 = new QPushButton(QStringLiteral("OK"), this);
    Command2->setGeometry(place(4680, 600, 1215, 375));
    Command1 = new QPushButton(QStringLiteral("キャンセル"), this);
    Command1->setGeometry(place(4680, 1080, 1215, 375));
    for (QPushButton* button : {Command2, Command1}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    const int left = twips(240);
    const int gap = twips(60);
    const int width = twips(4680 + 1215 + 240);
    const int textWidth = width - 2 * left;
    QLabel* countNote =
        makeNote(this, "データ数は1000以下を設定して下さい。", left, twips(1320), textWidth);
    int y = countNote->geometry().bottom() + 1 + 3 * gap;
    int right = width;
    QLabel* errorNote = makeNote(
        this,
        "エラーになる場合があります。数値を変えて度数が適当な数になるようにして再解析して下さい。",
        left, y, textWidth);
    y = errorNote->geometry().bottom() + 1 + 3 * gap;
    for (const char* text :
         {"（１）　OKで値を変更するときは、全てのテキストボックス       にデータを入れて下い。",
          "（２） 存在しない極端な値は計算エラーとなる可能性があ        ります。"}) {
        QLabel* note = makeNote(this, text, left, y);
        y = note->geometry().bottom() + 1 + gap;
        right = qMax(right, note->geometry().right() + 1 + left);
    }
    setFixedSize(right, y + twips(180));

    setTabOrder(Text1, Text2);
    setTabOrder(Text2, Command2);
    setTabOrder(Command2, Command1);
    Text1->setFocus();

    connect(Command2, &QPushButton::clicked, this, &ITIYOU::generate);
    connect(Command1, &QPushButton::clicked, this, &QWidget::close);

    centreOnScreen(*this);
}

void ITIYOU::generate() {
    const std::optional<int> count = readGeneratorCount(Text1->text().toStdString());
    if (!count) {
        prompt_.message(this, QString::fromUtf8(kGeneratorCountMessage),
                        QStringLiteral("入力エラー"), Prompt::Icon::Exclamation);
        Text1->setFocus();
        Text1->selectAll();
        return;
    }
    const double max = lenientNumber(Text2->text().toStdString());
    const std::string listing = generateUniform(store_, random_, *count, max, grid_);
    if (showListing_) showListing_(listing);
    close();
}

}  // namespace kijunchi
