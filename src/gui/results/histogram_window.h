#pragma once
// The histogram window "ヒストグラム": the picture area the run prints and draws into, "ｺﾋﾟｰ"
// and "再表示".
#include <functional>

#include "gui/results/document_part.h"
#include "gui/results/picture_box.h"
#include "gui/results/result_window.h"

class QPushButton;

namespace kijunchi {

class REG : public ResultWindow, public DocumentPart {
    Q_OBJECT
public:
    // redisplay runs the analysis again on the store as it stands.
    REG(Prompt& prompt, std::function<void()> redisplay, QWidget* parent = nullptr);

    Canvas& canvas() { return canvas_; }

    PictureBox* Picture1 = nullptr;   // the picture: summary lines and chart
    QPushButton* Command1 = nullptr;  // ｺﾋﾟｰ: copy the picture (also Ctrl+C)
    QPushButton* Command3 = nullptr;  // 再表示: run the analysis again

    // DocumentPart: the chart of the last run, drawn again at any size.
    QString partTitle() const override { return windowTitle(); }
    int pictureCount() const override { return picture_.drawing().empty() ? 0 : 1; }
    // Proposed for export at a size of its own, not the window's on the screen.
    QSize pictureSize(int) const override { return {1000, 700}; }
    void paintPicture(int, QPainter& painter, const QSize& size) const override {
        picture_.paintDrawing(painter, size);
    }

    // The designed client area.
    QSize sizeHint() const override;
    // What a tiling leaves it at least: the printed lines clear of the chart's axis.
    QSize minimumSizeHint() const override;

protected:
    void layoutContent() override;

private:
    void copyPicture();

    PictureBox picture_;
    PainterCanvas canvas_;
    std::function<void()> redisplay_;
};

}  // namespace kijunchi
