#pragma once
// A key that runs one command inside a window wherever the focus is, except in a text box that
// can be typed into: there the key does what it does in the box (Ctrl+V pastes into the box,
// Ctrl+C copies its selection). A read-only text gives the key up to the window.
#include <QKeySequence>
#include <functional>

class QWidget;

namespace kijunchi {

// Bind after the window's controls exist: the read-only texts among them give the key up.
void bindWindowKey(QWidget& window, const QKeySequence& keys, std::function<void()> command);

}  // namespace kijunchi
