#pragma once
// A push button whose caption wraps onto several lines when it is wider than the button, with
// an optional small picture above the caption.
#include <QPushButton>

namespace kijunchi {

class CaptionButton : public QPushButton {
    Q_OBJECT
public:
    explicit CaptionButton(const QString& caption, QWidget* parent = nullptr);
    CaptionButton(const QPixmap& picture, const QString& caption, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap picture_;
};

}  // namespace kijunchi
