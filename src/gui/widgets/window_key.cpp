#include "gui/widgets/window_key.h"

#include <QEvent>
#include <QKeyEvent>
#include <QShortcut>
#include <QWidget>

namespace kijunchi {

namespace {

// Makes the controls it watches give up the key, so that the window's shortcut receives it.
class KeyRelease final : public QObject {
public:
    KeyRelease(QObject* parent, QKeySequence keys) : QObject(parent), keys_(std::move(keys)) {}

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::ShortcutOverride) return false;
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
