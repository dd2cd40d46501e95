#include "gui/results/histogram_window.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>

#include "gui/widgets/window_key.h"
#include "gui/widgets/window_layout.h"

namespace kijunchi {

REG::REG(Prompt& prompt, std::function<void()> redisplay, QWidget* parent)
    : ResultWindow(prompt, parent),
      picture_(this),
      canvas_(picture_),
      redisplay_(std::move(redisplay)) {
    setWindowTitle(QStringLiteral("ヒストグラム"));
    resize(sizeHint());

    Picture1 = &picture_;
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setFocusPolicy(Qt::StrongFocus);

    Command1 = new QPushButton(QStringLiteral("ｺﾋﾟｰ"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(twipsRect(0, 0, 615, 255));
    connect(Command1, &QPushButton::clicked, this, &REG::copyPicture);

    Command3 = new QPushButton(QStringLiteral("再表示"), this);
    Command3->setObjectName(QStringLiteral("Command3"));
    Command3->setGeometry(twipsRect(600, 0, 735, 255));
    connect(Command3, &QPushButton::clicked, this, [this] {
        if (redisplay_) redisplay_();
    });

    setTabOrder(Picture1, Command1);
    setTabOrder(Command1, Command3);
    layoutContent();
    bindWindowKey(*this, QKeySequence(Qt::CTRL | Qt::Key_C), [this] { copyPicture(); });
}

QSize REG::minimumSizeHint() const {
    // A picture tall enough for the printed lines above the chart's axis at the size they are
    // drawn (a smaller picture draws them smaller): a tiling gives it no less.
    // Eleven lines take at most the top 60% of 180 pixels (drawn at three quarters of their
    // size).
    return QSize(Command3->geometry().right() + 1, Command1->height() + 180);
}

QSize REG::sizeHint() const {
    return twipsSize(5610, 2850);
}

void REG::layoutContent() {
    // The picture paints the last run's drawing at its new size.
    fillBelow(*Picture1, *Command1);
}

void REG::copyPicture() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setImage(Picture1->image());
}

}  // namespace kijunchi
