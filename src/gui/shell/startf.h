#pragma once
// The start-up window: a picture without caption, closed by its own timer.
#include <QDialog>

class QLabel;
class QTimer;

namespace kijunchi {

class Startf : public QDialog {
    Q_OBJECT
public:
    // frame is shown behind this window when it loads; intervalMs is 3000 in the program.
    explicit Startf(QWidget* frame, int intervalMs = 3000);

    QLabel* Image1 = nullptr;
    QTimer* Timer1 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* frame_;
};

}  // namespace kijunchi
