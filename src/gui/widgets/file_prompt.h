#pragma once
// The questions of the file commands (file names, a column, a sheet or a picture to pick, a
// picture size, a position) go through this interface, for the frame and every window that
// reads a data file, so that tests can answer them without real dialogs.
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>
#include <string>

class QWidget;

namespace kijunchi {

// The columns of a data file to read: the values, and a group column or none.
struct ColumnChoice {
    int values = -1;
    std::optional<int> groups;
    bool headings = false;  // the first row is the headings (the tick as the user left it)
};

class FilePrompt {
public:
    virtual ~FilePrompt() = default;
    // A data file to open, starting in folder; empty when cancelled.
    virtual QString openFileName(QWidget* parent, const QString& folder) = 0;
    // A study (.kijunchi) to open, starting in folder; empty when cancelled.
    virtual QString openStudyName(QWidget* parent, const QString& folder) = 0;
    // A file to write, starting at suggested (folder and name); filters as a file dialog takes
    // them ("PNG 画像 (*.png)"). The name comes back with the chosen filter's extension when
    // the user typed none; empty when cancelled.
    virtual QString saveFileName(QWidget* parent, const QString& title, const QString& suggested,
                                 const QStringList& filters) = 0;
    // One of items (those with enabled false cannot be chosen), current chosen first.
    virtual std::optional<int> chooseItem(QWidget* parent, const QString& title,
                                          const QString& label, const QStringList& items,
                                          const QList<bool>& enabled, int current) = 0;
    // The value column, one of items as chooseItem offers them, and a group column: one of
    // groups (the columns' headings, any but the value column) or none, which comes first;
    // the tick "1行目は見出し" starts as headings says.
    virtual std::optional<ColumnChoice> chooseColumns(QWidget* parent, const QString& title,
                                                      const QString& label,
                                                      const QStringList& items,
                                                      const QList<bool>& enabled, int current,
                                                      const QStringList& groups, bool headings) = 0;
    // The size of a picture to write, in pixels.
    virtual std::optional<QSize> pictureSize(QWidget* parent, const QSize& suggested) = 0;
    // A whole number from minimum to maximum, suggested shown first.
    virtual std::optional<int> askNumber(QWidget* parent, const QString& title,
                                         const QString& label, int minimum, int maximum,
                                         int suggested) = 0;
    // Which sheet, from 0, of the workbook fileName to read: one of sheets, the first offered
    // first, asked as a choice of items.
    std::optional<int> chooseSheet(QWidget* parent, const QString& fileName,
                                   const QStringList& sheets);
};

// The sheet to read of the data file path when it is a workbook of several, asked through
// prompt: its number from 1 ("" for a file that is no workbook or has one sheet) and its name.
struct SheetChoice {
    std::string sheet;
    QString name;
};
// nullopt when the question was cancelled or the workbook refused (refusal then says why, in
// the one message for a file that gave no data).
std::optional<SheetChoice> askWorkbookSheet(FilePrompt& prompt, QWidget* parent,
                                            const QString& path, std::string& refusal);

}  // namespace kijunchi
