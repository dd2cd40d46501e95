#pragma once
// A small dialog that lists items (the columns of a data file with their counts of values,
// the pictures to write) and lets the user pick one; for a data file, also a group column.
#include <QDialog>
#include <QList>
#include <QStringList>
#include <optional>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QListWidget;
class QSpinBox;

namespace kijunchi {

class ChoiceDialog : public QDialog {
    Q_OBJECT
public:
    ChoiceDialog(const QString& title, const QString& label, const QStringList& items,
                 const QList<bool>& enabled, int current, QWidget* parent = nullptr,
                 const QStringList& groups = {}, std::optional<bool> headings = std::nullopt);

    // The chosen row, -1 while none is.
    int chosen() const;
    // The group column chosen, -1 for none (and where no groups are offered).
    int chosenGroup() const;

    QLabel* Label1 = nullptr;
    QListWidget* List1 = nullptr;
    QComboBox* GroupBox =
        nullptr;  // グループ列: "（グループなし）" and the columns; only with groups
    QCheckBox* HeadingBox = nullptr;  // 1行目は見出し: only for a data file's columns
    QDialogButtonBox* Buttons = nullptr;
};

// Width and height of a picture to write.
class PictureSizeDialog : public QDialog {
    Q_OBJECT
public:
    explicit PictureSizeDialog(const QSize& suggested, QWidget* parent = nullptr);
    QSize chosenSize() const;

    QSpinBox* Width = nullptr;
    QSpinBox* Height = nullptr;
    QDialogButtonBox* Buttons = nullptr;
};

}  // namespace kijunchi
