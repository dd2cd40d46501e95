#include "gui/shell/startf.h"

#include <QLabel>
#include <QScreen>
#include <QShowEvent>
#include <QTimer>
#include <QVBoxLayout>

#include "gui/widgets/pictures.h"
#include "gui/widgets/window_layout.h"

namespace kijunchi {

Startf::Startf(QWidget* frame, int intervalMs)
    : QDialog(frame, Qt::Dialog | Qt::FramelessWindowHint), frame_(frame) {
    setModal(true);
    Image1 = new QLabel(this);
    Image1->setPixmap(pictures::startupPicture());
    Image1->setFixedSize(198, 200);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Image1);
    setFixedSize(198, 200);

    // Enabled from the start: it runs from the moment the window is created.
    Timer1 = new QTimer(this);
    Timer1->setSingleShot(true);
    Timer1->setInterval(intervalMs);
    connect(Timer1, &QTimer::timeout, this, [this] {
        Timer1->stop();
        accept();
    });
    Timer1->start();
    centreOnFirstShow(*this);
}

void Startf::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    // The frame becomes visible behind the start-up window.
    if (frame_) frame_->show();
    raise();
    activateWindow();
}

}  // namespace kijunchi
