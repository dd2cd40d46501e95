#include "gui/widgets/caption_button.h"

#include <QPainter>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <algorithm>

namespace kijunchi {

CaptionButton::CaptionButton(const QString& caption, QWidget* parent)
    : QPushButton(caption, parent) {}

CaptionButton::CaptionButton(const QPixmap& picture, const QString& caption, QWidget* parent)
    : QPushButton(caption, parent), picture_(picture) {}

void CaptionButton::paintEvent(QPaintEvent*) {
    QStylePainter p(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text.clear();
    option.icon = QIcon();
    p.drawControl(QStyle::CE_PushButtonBevel, option);

    QRect area = rect().adjusted(2, 2, -2, -2);
    if (isDown()) area.translate(1, 1);
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    // A caption too wide for one line breaks before its bracket, if it has one.
    QString caption = text();
    int bracket = static_cast<int>(caption.indexOf(QLatin1Char('(')));
    if (bracket > 0 && fontMetrics().horizontalAdvance(caption) > area.width()) {
        caption.insert(bracket, QLatin1Char('\n'));
    }
    QRect textBox = fontMetrics().boundingRect(area, flags, caption);
    int pictureHeight = picture_.isNull() ? 0 : picture_.height() + 2;
    int top = area.top() + (area.height() - pictureHeight - textBox.height()) / 2;
    top = std::max(area.top(), top);
    if (!picture_.isNull()) {
        p.drawPixmap(area.left() + (area.width() - picture_.width()) / 2, top, picture_);
    }
    QRect textArea(area.left(), top + pictureHeight, area.width(), textBox.height());
    p.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::ButtonText));
    p.drawText(textArea, flags, caption);
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = rect().adjusted(3, 3, -3, -3);
        p.drawPrimitive(QStyle::PE_FrameFocusRect, focus);
    }
}

}  // namespace kijunchi
