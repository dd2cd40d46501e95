#pragma once
// The evaluation window "基準範囲の評価": the evaluation text of the last analysis and "ｺﾋﾟｰ".
// The text sits in a splitter, so that charts can stand beside it.
#include <string>

#include "results/result_window.h"

class QPlainTextEdit;
class QPushButton;
class QSplitter;

namespace kijunchi {

class EvaluationWindow : public ResultWindow {
    Q_OBJECT
public:
    explicit EvaluationWindow(Prompt& prompt, QWidget* parent = nullptr);

    // Replaces the whole text.
    void setEvaluationText(const std::string& text);
    // The whole text as it was set, CR LF line ends included.
    const QString& text() const { return text_; }

    QPushButton* Command1 = nullptr;  // ｺﾋﾟｰ
    QSplitter* Splitter1 = nullptr;   // the text, and room for charts beside it
    QPlainTextEdit* Text1 = nullptr;

    // The designed client area.
    QSize sizeHint() const override;

protected:
    // The splitter fills the client area below the button.
    void layoutContent() override;

private:
    void copyText();

    QString text_;
};

}  // namespace kijunchi
