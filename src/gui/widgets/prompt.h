#pragma once
// Message boxes and questions go through this interface so that tests can answer them.
#include <QString>
#include <QStringList>
#include <optional>

class QWidget;

namespace kijunchi {

class Prompt {
public:
    enum class Icon { Information, Exclamation, Question };
    virtual ~Prompt() = default;
    // A message box with a single OK button.
    virtual void message(QWidget* parent, const QString& text, const QString& title, Icon icon) = 0;
    // A question with the buttons Yes and No, Yes the default; true for Yes.
    virtual bool askYesNo(QWidget* parent, const QString& text, const QString& title) = 0;
    // A question with the buttons Yes, No and Cancel, Yes the default; Escape is Cancel.
    enum class Answer { Yes, No, Cancel };
    virtual Answer askYesNoCancel(QWidget* parent, const QString& text, const QString& title) = 0;
};

// The real message boxes.
class MessageBoxPrompt final : public Prompt {
public:
    void message(QWidget* parent, const QString& text, const QString& title, Icon icon) override;
    bool askYesNo(QWidget* parent, const QString& text, const QString& title) override;
    Answer askYesNoCancel(QWidget* parent, const QString& text, const QString& title) override;
};

// The filter of every question for a data file: the kinds the program reads (in either case),
// then all files.
QString dataFileFilter();
// The sheet question's title and text for the workbook fileName.
inline constexpr const char* kSheetQuestionTitle = "シートの選択";
QString sheetQuestion(const QString& fileName);

}  // namespace kijunchi
