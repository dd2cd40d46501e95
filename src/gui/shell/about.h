#pragma once
// The version window "バージョン情報".
#include <QDialog>

class QLabel;
class QPushButton;

namespace kijunchi {

class About : public QDialog {
    Q_OBJECT
public:
    explicit About(QWidget* parent = nullptr);

    QPushButton* OK = nullptr;  // OK: closes the window
    QLabel* Image1 = nullptr;   // the program's icon
    QLabel* Label1 = nullptr;   // β　Version 1: the version
    QLabel* Label2 = nullptr;   // （注）...: the note on the data count
    QLabel* Label3 = nullptr;   // the description of the program
};

}  // namespace kijunchi
