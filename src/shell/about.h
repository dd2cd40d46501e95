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

    QPushButton* OK = nullptr;
    QLabel* Image1 = nullptr;  // icon
    QLabel* Label1 = nullptr;  // version
    QLabel* Label2 = nullptr;  // note on the data count
    QLabel* Label3 = nullptr;  // description
};

}  // namespace kijunchi
