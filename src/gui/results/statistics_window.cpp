#include "gui/results/statistics_window.h"

#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QPushButton>

#include "gui/widgets/window_key.h"
#include "gui/widgets/window_layout.h"

namespace kijunchi {

StatV::StatV(Prompt& prompt, QWidget* parent) : ResultWindow(prompt, parent) {
    setWindowTitle(QStringLiteral("統計量"));
    resize(sizeHint());

    Text2 = new QPlainTextEdit(this);
    Text2->setObjectName(QStringLiteral("Text2"));
    Text2->setReadOnly(true);
    Text2->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text2->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    QFont font(QStringLiteral("IPAGothic"), 10);
    font.setStyleHint(QFont::TypeWriter);
    Text2->setFont(font);
    // Tab stops every eight half-width characters.
    Text2->setTabStopDistance(QFontMetricsF(font).horizontalAdvance(QLatin1Char('0')) * 8);
    Text2->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);

    Command1 = new QPushButton(QStringLiteral("ｺﾋﾟｰ"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twipsRect(0, 0, 495, 255));
    Command1->setFocusPolicy(Qt::StrongFocus);
    connect(Command1, &QPushButton::clicked, this,
            [this] { copyTextToClipboard(copyHead() + text_); });

    setTabOrder(Text2, Command1);
    layoutContent();
    bindWindowKey(*this, QKeySequence(Qt::CTRL | Qt::Key_C),
                  [this] { copyTextToClipboard(copyHead() + text_); });
}

void StatV::setStatisticsText(const std::string& text) {
    text_ = QString::fromStdString(text);
    Text2->setPlainText(text_);
}

QString StatV::partText() const {
    if (!earlierData() || text_.isEmpty()) return text_;
    return QString::fromUtf8(kEarlierDataLine) + QStringLiteral("\r\n") + text_;
}

QSize StatV::sizeHint() const {
    return twipsSize(8295, 7215);
}

void StatV::layoutContent() {
    fillBelow(*Text2, *Command1);
}

}  // namespace kijunchi
