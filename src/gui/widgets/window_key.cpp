#include "gui/widgets/window_key.h"

#include <QAbstractSpinBox>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QShortcut>
#include <QTextEdit>
#include <QWidget>

namespace kijunchi {

namespace {

// A text box the user can type into keeps its own keys.
bool typedInto(const QObject* control) {
    if (const auto* line = qobject_cast<const QLineEdit*>(control)) return !line->isReadOnly();
    if (const auto* plain = qobject_cast<const QPlainTextEdit*>(control))
        return !plain->isReadOnly();
    if (const auto* text = qobject_cast<const QTextEdit*>(control)) return !text->isReadOnly();
    return qobject_cast<const QAbstractSpinBox*>(control) != nullptr;
}

// Makes the controls it watches give up the key, so that the window's shortcut receives it.
class KeyRelease final : public QObject {
public:
    KeyRelease(QObject* parent, QKeySequence keys) : QObject(parent), keys_(std::move(keys)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride || typedInto(watched)) return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        if (QKeySequence(key->keyCombination()) != keys_) return false;
        event->ignore();
        return true;
    }

private:
    QKeySequence keys_;
};

}  // namespace

void bindWindowKey(QWidget& window, const QKeySequence& keys, std::function<void()> command) {
    auto* shortcut = new QShortcut(keys, &window);
    shortcut->setContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(shortcut, &QShortcut::activated, &window, std::move(command));
    auto* release = new KeyRelease(shortcut, keys);
    for (QWidget* control : window.findChildren<QWidget*>()) control->installEventFilter(release);
}

}  // namespace kijunchi
