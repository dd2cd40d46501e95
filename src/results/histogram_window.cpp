#include "results/histogram_window.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QPushButton>

#include "shell/window_layout.h"

namespace kijunchi {

REG::REG(Prompt& prompt, std::function<void()> redisplay, QWidget* parent)
    : ResultWindow(prompt, parent),
      picture_(this),
      canvas_(picture_),
      redisplay_(std::move(redisplay)) {
    setWindowTitle(QStringLiteral("ヒストグラム"));
    resize(sizeHint());

    Picture1 = &picture_;
    Picture1->setFocusPolicy(Qt::StrongFocus);

    Command1 = new QPushButton(QStringLiteral("ｺﾋﾟｰ"), this);
    Command1->setGeometry(twipsRect(0, 0, 615, 255));
    connect(Command1, &QPushButton::clicked, this, &REG::copyPicture);

    Command3 = new QPushButton(QStringLiteral("再表示"), this);
    Command3->setGeometry(twipsRect(600, 0, 735, 255));
    connect(Command3, &QPushButton::clicked, this, [this] {
        if (redisplay_) redisplay_();
    });

    setTabOrder(Picture1, Command1);
    setTabOrder(Command1, Command3);
    layoutContent();
}

QSize REG::sizeHint() const {
    return twipsSize(5610, 2850);
}

void REG::layoutContent() {
    // The picture keeps its drawing; a larger area shows white beyond it until "再表示".
    Picture1->setGeometry(rect());
    Command1->raise();
    Command3->raise();
}

void REG::copyPicture() {
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setImage(Picture1->image());
}

}  // namespace kijunchi
