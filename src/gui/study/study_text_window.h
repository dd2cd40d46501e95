#pragma once
// What the study windows share: a read-only text of the results in the statistics report's
// font, and "ｺﾋﾟｰ" of that text (CR LF, TAB) to the clipboard.
#include <QString>
#include <QWidget>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace kijunchi {

class StudyTextWindow : public QWidget {
    Q_OBJECT
public:
    explicit StudyTextWindow(QWidget* parent = nullptr);

    void setResultText(const std::string& text);
    const QString& text() const { return text_; }

    QPlainTextEdit* Text = nullptr;
    QPushButton* CopyButton = nullptr;  // ｺﾋﾟｰ

private:
    QString text_;
};

}  // namespace kijunchi
