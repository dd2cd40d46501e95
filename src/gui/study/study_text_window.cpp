#include "gui/study/study_text_window.h"

#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <vector>

#include "gui/results/result_window.h"

namespace kijunchi {

namespace {

// The text as the window shows it: each run of lines that hold TABs laid out as a table, every
// column as wide as its widest field and two blanks, so that a long field ("ノンパラメトリック法")
// does not push what follows it past its heading. The copy keeps the TABs.
QString laidOutAsTables(const QString& text, const QFontMetricsF& metrics) {
    QStringList lines = text.split(QLatin1Char('\n'));
    for (QString& line : lines)
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
    const double blank = metrics.horizontalAdvance(QLatin1Char(' '));
    for (qsizetype first = 0; first < lines.size();) {
        if (!lines[first].contains(QLatin1Char('\t'))) {
            ++first;
            continue;
        }
        qsizetype end = first;
        while (end < lines.size() && lines[end].contains(QLatin1Char('\t'))) ++end;
        std::vector<double> widths;
        for (qsizetype i = first; i < end; ++i) {
            const QStringList fields = lines[i].split(QLatin1Char('\t'));
            for (qsizetype k = 0; k + 1 < fields.size(); ++k) {
                if (widths.size() <= static_cast<std::size_t>(k)) widths.push_back(0.0);
                widths[static_cast<std::size_t>(k)] = std::max(
                    widths[static_cast<std::size_t>(k)], metrics.horizontalAdvance(fields[k]));
            }
        }
        for (qsizetype i = first; i < end; ++i) {
            const QStringList fields = lines[i].split(QLatin1Char('\t'));
            QString out;
            double x = 0.0, stop = 0.0;
            for (qsizetype k = 0; k < fields.size(); ++k) {
                if (k > 0) {
                    const auto blanks =
                        static_cast<qsizetype>(std::ceil((stop - x) / blank - 0.01));
                    out += QString(std::max<qsizetype>(blanks, 1), QLatin1Char(' '));
                    x = stop;
                }
                out += fields[k];
                x += metrics.horizontalAdvance(fields[k]);
                if (k + 1 < fields.size()) stop += widths[static_cast<std::size_t>(k)] + 2 * blank;
            }
            lines[i] = out;
        }
        first = end;
    }
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

StudyTextWindow::StudyTextWindow(QWidget* parent) : QWidget(parent) {
    Text = new QPlainTextEdit(this);
    Text->setReadOnly(true);
    // Long lines (the advice, the verdicts) wrap at the window's edge.
    Text->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    QFont font(QStringLiteral("IPAGothic"), 10);
    font.setStyleHint(QFont::TypeWriter);
    Text->setFont(font);
    Text->setTabStopDistance(QFontMetricsF(font).horizontalAdvance(QLatin1Char('0')) * 10);
    CopyButton = new QPushButton(QStringLiteral("ｺﾋﾟｰ"), this);
    connect(CopyButton, &QPushButton::clicked, this, [this] { copyTextToClipboard(text_); });
}

void StudyTextWindow::setResultText(const std::string& text) {
    text_ = QString::fromStdString(text);
    Text->setPlainText(laidOutAsTables(text_, QFontMetricsF(Text->font())));
}

}  // namespace kijunchi
