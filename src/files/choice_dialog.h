#pragma once
// A small dialog that lists items (the columns of a data file with their counts of values,
// the pictures to write) and lets the user pick one.
#include <QDialog>
#include <QList>
#include <QStringList>

class QDialogButtonBox;
class QLabel;
class QListWidget;
class QSpinBox;

namespace kijunchi {

class ChoiceDialog : public QDialog {
    Q_OBJECT
public:
    ChoiceDialog(const QString& title, const QString& label, const QStringList& items,
                 const QList<bool>& enabled, int current, QWidget* parent = nullptr);

    // The chosen row, -1 while none is.
    int chosen() const;

    QLabel* Label1 = nullptr;
    QListWidget* List1 = nullptr;
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
