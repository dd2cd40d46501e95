#pragma once
// The real dialogs of the file questions (gui/widgets/file_prompt.h).
#include <QList>
#include <QSize>
#include <QString>
#include <QStringList>
#include <optional>

#include "gui/widgets/file_prompt.h"

class QWidget;

namespace kijunchi {

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
