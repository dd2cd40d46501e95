#pragma once
// What the result windows (statistics, histogram and the evaluation) share: they refuse every
// close request of their own and lay their content out below their buttons; and the copy of a
// window's text.
#include <QString>
#include <QWidget>

class QLabel;

namespace kijunchi {

class Prompt;

inline constexpr const char* kKeepFormMessage = "このフォームを削除しないで下さい。";
inline constexpr const char* kKeepFormTitle = "お願い";
// A result window whose data set has changed since its analysis says so in its caption and in
// a line above its content, until the next analysis.
inline constexpr const char* kEarlierDataCaption = "（前のデータ）";
inline constexpr const char* kEarlierDataLine =
    "※ 前のデータの解析結果です。データが変わりました。新しいデータは解析し直して下さい。";

// "ｺﾋﾟｰ": the clipboard is emptied and then holds the text alone (CR LF and TAB as they are).
void copyTextToClipboard(const QString& text);

class ResultWindow : public QWidget {
    Q_OBJECT
public:
    explicit ResultWindow(Prompt& prompt, QWidget* parent = nullptr);

    // Whether the window holds the results of a data set that has since been replaced.
    void setEarlierData(bool earlier);
    bool earlierData() const { return earlier_; }
    QLabel* EarlierLabel = nullptr;  // the line above the content while earlierData()

    // The values left out of the data set of the results shown, in a line above the content
    // (hidden while note is empty).
    void setExclusionNote(const QString& note);
    QLabel* ExcludedLabel = nullptr;

    // What the copy of the window's text begins with: a study's header block (and the values
    // excluded where the text does not list them), as the command line's output begins.
    void setCopyHead(const QString& head) { copyHead_ = head; }
    const QString& copyHead() const { return copyHead_; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    // The layout rule: the content control fills the client area (not while minimized).
    virtual void layoutContent() = 0;
    // The usual layout: the content fills the client area from just below the button (and the
    // line of earlier data while it shows), so that the button never hides its top.
    void fillBelow(QWidget& content, const QWidget& button);

private:
    Prompt& prompt_;
    bool earlier_ = false;
    QString copyHead_;
};

}  // namespace kijunchi
