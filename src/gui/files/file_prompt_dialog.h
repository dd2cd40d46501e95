#pragma once
// The questions of the file commands (file names, a column or picture to pick, a picture
// size, a position) go through this interface so that tests can answer them without real dialogs.
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

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
};

// The real dialogs.
class DialogFilePrompt final : public FilePrompt {
public:
    QString openFileName(QWidget* parent, const QString& folder) override;
    QString openStudyName(QWidget* parent, const QString& folder) override;
    QString saveFileName(QWidget* parent, const QString& title, const QString& suggested,
                         const QStringList& filters) override;
    std::optional<int> chooseItem(QWidget* parent, const QString& title, const QString& label,
                                  const QStringList& items, const QList<bool>& enabled,
                                  int current) override;
    std::optional<ColumnChoice> chooseColumns(QWidget* parent, const QString& title,
                                              const QString& label, const QStringList& items,
                                              const QList<bool>& enabled, int current,
                                              const QStringList& groups, bool headings) override;
    std::optional<QSize> pictureSize(QWidget* parent, const QSize& suggested) override;
    std::optional<int> askNumber(QWidget* parent, const QString& title, const QString& label,
                                 int minimum, int maximum, int suggested) override;
};

// The extension a filter names ("PNG 画像 (*.png)" gives "png").
QString filterExtension(const QString& filter);

}  // namespace kijunchi
