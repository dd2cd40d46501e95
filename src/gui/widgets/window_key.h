#pragma once
// A key that runs one command anywhere inside a window, also while a text box in it has the
// focus (a text box would otherwise take Ctrl+C or Ctrl+V for its own copy and paste).
#include <QKeySequence>
#include <functional>

class QWidget;

namespace kijunchi {

// Bind after the window's controls exist: the text boxes among them give the key up.
void bindWindowKey(QWidget& window, const QKeySequence& keys, std::function<void()> command);

}  // namespace kijunchi
