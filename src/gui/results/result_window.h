#pragma once
// What the result windows (statistics, histogram and the evaluation) share: they refuse every
// close request of their own and lay their content out below their buttons; and the copy of a
// window's text.
#include <QString>
#include <QWidget>

namespace kijunchi {

class Prompt;

inline constexpr const char* kKeepFormMessage = "このフォームを削除しないで下さい。";
inline constexpr const char* kKeepFormTitle = "お願い";

// "ｺﾋﾟｰ": the clipboard is emptied and then holds the text alone (CR LF and TAB as they are).
void copyTextToClipboard(const QString& text);

class ResultWindow : public QWidget {
    Q_OBJECT
public:
    explicit ResultWindow(Prompt& prompt, QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The layout rule: the content control fills the client area (not while minimized).
    virtual void layoutContent() = 0;
    // The usual layout: the content fills the client area from just below the button, so that
    // the button never hides its top.
    void fillBelow(QWidget& content, const QWidget& button);

private:
    Prompt& prompt_;
};

}  // namespace kijunchi
