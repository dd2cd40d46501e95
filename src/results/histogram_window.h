#pragma once
// The histogram window "ヒストグラム": the picture area the run prints and draws into, "ｺﾋﾟｰ"
// and "再表示".
#include <functional>

#include "results/document_part.h"
#include "results/painter_canvas.h"
#include "results/result_window.h"

class QPushButton;

namespace kijunchi {

class REG : public ResultWindow, public DocumentPart {
    Q_OBJECT
public:
    // redisplay runs the analysis again on the store as it stands.
    REG(Prompt& prompt, std::function<void()> redisplay, QWidget* parent = nullptr);

    Canvas& canvas() { return canvas_; }

    // DocumentPart: the chart of the last run, drawn again at any size.
    QString partTitle() const override { return windowTitle(); }
    int pictureCount() const override { return canvas_.hasDrawing() ? 1 : 0; }
    QSize pictureSize(int) const override { return canvas_.drawnSize(); }
    void paintPicture(int, QPainter& painter, const QSize& size) const override {
        canvas_.replay(painter, size);
    }

    PictureBox* Picture1 = nullptr;
    QPushButton* Command1 = nullptr;  // ｺﾋﾟｰ
    QPushButton* Command3 = nullptr;  // 再表示

    // The designed client area.
    QSize sizeHint() const override;

protected:
    void layoutContent() override;

private:
    void copyPicture();

    PictureBox picture_;
    PainterCanvas canvas_;
    std::function<void()> redisplay_;
};

}  // namespace kijunchi
