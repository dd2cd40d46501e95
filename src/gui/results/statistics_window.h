#pragma once
// The statistics window "統計量": the report text and "ｺﾋﾟｰ".
#include <string>

#include "gui/results/document_part.h"
#include "gui/results/result_window.h"
#include "report/analysis_run.h"

class QPlainTextEdit;
class QPushButton;

namespace kijunchi {

class StatV : public ResultWindow, public ReportSink, public DocumentPart {
    Q_OBJECT
public:
    explicit StatV(Prompt& prompt, QWidget* parent = nullptr);

    // Replaces the whole text (the report, or the uniform generator's listing).
    void setStatisticsText(const std::string& text) override;
    // The whole text as it was set, CR LF line ends included.
    const QString& text() const { return text_; }

    QPlainTextEdit* Text2 = nullptr;  // the report text
    QPushButton* Command1 = nullptr;  // ｺﾋﾟｰ: copy the whole text (also Ctrl+C)

    // DocumentPart: the text as it stands, under the line of earlier data while that shows.
    QString partTitle() const override { return windowTitle(); }
    QString partText() const override;

    // The designed client area.
    QSize sizeHint() const override;

protected:
    void layoutContent() override;

private:
    QString text_;
};

}  // namespace kijunchi
