#pragma once
// What the result windows (statistics, histogram and the evaluation) share: they refuse every
// close request of their own.
#include <QWidget>

namespace kijunchi {

class Prompt;

inline constexpr const char* kKeepFormMessage = "このフォームを削除しないで下さい。";
inline constexpr const char* kKeepFormTitle = "お願い";

class ResultWindow : public QWidget {
    Q_OBJECT
public:
    explicit ResultWindow(Prompt& prompt, QWidget* parent = nullptr);

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The layout rule: the content control fills the client area (not while minimized).
    virtual void layoutContent() = 0;

private:
    Prompt& prompt_;
};

}  // namespace kijunchi
