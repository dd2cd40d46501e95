#include "gui/transform/box_window.h"

#include <QClipboard>
#include <QColor>
#include <QFont>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <string>

#include "evaluation/lambda_estimate.h"
#include "gui/widgets/prompt.h"
#include "gui/widgets/window_layout.h"
#include "input/paste_reader.h"
#include "transform/power_transform.h"

namespace kijunchi {

namespace {

// The picture of the transformation's formula: the fraction form for λ ≠ 0 and the logarithm
// for λ = 0, drawn rather than loaded so that it scales with the window.
class FormulaPicture final : public QWidget {
public:
    explicit FormulaPicture(QWidget* parent) : QWidget(parent) {}

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        p.setRenderHint(QPainter::TextAntialiasing);
        p.fillRect(rect(), Qt::white);
        p.setPen(Qt::black);

        // A proportional serif face reads as mathematics whatever the window's font is.
        QFont base(QStringLiteral("Serif"));
        base.setStyleHint(QFont::Serif);
        base.setPixelSize(qMax(9, height() * 2 / 11));
        QFont italic = base;
        italic.setItalic(true);
        QFont small = base;
        small.setPixelSize(qMax(8, base.pixelSize() * 3 / 4));
        QFont smallItalic = small;
        smallItalic.setItalic(true);

        const QFontMetrics fm(base);
        const int rise = fm.ascent() / 2;

        // Draws one piece at (x, baseline) and returns the x after it.
        auto piece = [&p](int x, int baseline, const QFont& f, const QString& s) {
            p.setFont(f);
            p.drawText(x, baseline, s);
            return x + QFontMetrics(f).horizontalAdvance(s);
        };
        auto lhs = [&](int x, int baseline) {
            x = piece(x, baseline, italic, QStringLiteral("x"));
            x = piece(x + 1, baseline - rise, small, QStringLiteral("(λ)"));
            return piece(x, baseline, base, QStringLiteral(" = "));
        };

        const int margin = qMax(4, width() / 30);

        // First line: x^(λ) = (x^λ − 1)/λ + λ, the fraction spanning three text heights.
        const int lineHeight = fm.height();
        const int barY = margin + lineHeight + 1;
        const int rowBaseline = barY + fm.ascent() / 2 - 1;
        int x = lhs(margin, rowBaseline);
        const int fracLeft = x;
        const int numBaseline = barY - fm.descent() - 2;
        int nx = piece(fracLeft + 2, numBaseline, italic, QStringLiteral("x"));
        nx = piece(nx + 1, numBaseline - rise, smallItalic, QStringLiteral("λ"));
        nx = piece(nx, numBaseline, base, QStringLiteral(" − 1"));
        const int fracRight = nx + 2;
        p.setPen(QPen(Qt::black, 1));
        p.drawLine(fracLeft, barY, fracRight, barY);
        const QString lambda = QStringLiteral("λ");
        const int denomX =
            (fracLeft + fracRight - QFontMetrics(italic).horizontalAdvance(lambda)) / 2;
        piece(denomX, barY + fm.ascent() + 1, italic, lambda);
        x = piece(fracRight, rowBaseline, base, QStringLiteral(" + "));
        x = piece(x, rowBaseline, italic, lambda);
        piece(x + margin, rowBaseline, small, QStringLiteral("(λ≠0)"));

        // Second line: x^(λ) = log x.
        const int logBaseline = height() - margin - fm.descent();
        x = lhs(margin, logBaseline);
        x = piece(x, logBaseline, base, QStringLiteral("log "));
        x = piece(x, logBaseline, italic, QStringLiteral("x"));
        piece(x + margin, logBaseline, small, QStringLiteral("(λ=0)"));
    }
};

QLabel* makeLabel(QWidget* parent, const char* text, QRect place) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setGeometry(place);
    return label;
}

QPushButton* makeButton(QWidget* parent, const char* text, QRect place) {
    auto* button = new QPushButton(QString::fromUtf8(text), parent);
    button->setGeometry(place);
    return button;
}

}  // namespace

box::box(AnalysisStore& store, GridSink& inputGrid, Prompt& prompt, QWidget* parent)
    : QWidget(parent, Qt::Dialog), store_(store), grid_(inputGrid), prompt_(prompt) {
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("修正ベキ変換"));
    QFont windowFont = font();
    windowFont.setPointSize(9);
    setFont(windowFont);
    setFixedSize(twipsRect(0, 0, 4350, 6885).size());

    Command1 = makeButton(this, "ｺﾋﾟｰ", twipsRect(0, 0, 600, 255));
    Command3 = makeButton(this, "閉じる", twipsRect(600, 0, 735, 255));

    // The report area starts below the two buttons above it and ends inside the window.
    Text2 = new QPlainTextEdit(this);
    Text2->setGeometry(twipsRect(120, 315, 4110, 2895));
    Text2->setReadOnly(true);
    Text2->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Text2->setLineWrapMode(QPlainTextEdit::NoWrap);
    Text2->setTabChangesFocus(true);
    const QList<QPair<QWidget*, const char*>> named = {
        {Command1, "Command1"}, {Command3, "Command3"}, {Text2, "Text2"}};
    for (const auto& [control, name] : named) control->setObjectName(QString::fromLatin1(name));

    // The λ of largest likelihood, under the table whose nearest row it marks.
    LambdaLabel = makeLabel(this, "", twipsRect(120, 3240, 4110, 300));

    auto* label4 = makeLabel(this, "MLは元データでの値です。", twipsRect(240, 3600, 2655, 255));
    QFont bold = label4->font();
    bold.setBold(true);
    label4->setFont(bold);

    auto* picture1 = new FormulaPicture(this);
    picture1->setGeometry(twipsRect(120, 3840, 2415, 1095));

    // Two lines of the report's width are not enough for the instruction at this font, so the
    // label reaches down to the row of buttons.
    Label3 = makeLabel(this, kTransformInstruction, twipsRect(2040, 5040, 1935, 780));
    Label3->setWordWrap(true);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    makeLabel(this, "λ＝0　はlog変換", twipsRect(120, 5160, 1575, 255));
    makeLabel(this, "λ＝", twipsRect(60, 5880, 390, 270));

    Text1 = new QLineEdit(QStringLiteral("1"), this);
    Text1->setGeometry(twipsRect(480, 5880, 735, 270));

    Command2 = makeButton(this, "変換する", twipsRect(1320, 5880, 1215, 375));
    Command4 = makeButton(this, "OK", twipsRect(3480, 5880, 735, 375));
    Text1->setObjectName(QStringLiteral("Text1"));
    Command2->setObjectName(QStringLiteral("Command2"));
    Command4->setObjectName(QStringLiteral("Command4"));
    Label3->setObjectName(QStringLiteral("Label3"));

    auto* label5 =
        makeLabel(this, "λに平均値、標準偏差がマイナスになる値を入れると計算出来ません。",
                  twipsRect(240, 6360, 3375, 495));
    label5->setWordWrap(true);
    label5->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    setTabOrder(Text2, Command1);
    setTabOrder(Command1, Command3);
    setTabOrder(Command3, Command2);
    setTabOrder(Command2, Command4);
    setTabOrder(Command4, Text1);
    Text2->setFocus();

    connect(Command1, &QPushButton::clicked, this, &box::copyTable);
    connect(Command2, &QPushButton::clicked, this, &box::transform);
    connect(Command4, &QPushButton::clicked, this, &QWidget::close);
    connect(Command3, &QPushButton::clicked, this, &box::refreshAndClose);

    reload();
    centreOnScreen(*this);
}

void box::reload() {
    // The table describes the data as handed over now; "変換する" does not recompute it.
    table_ = QString::fromStdString(likelihoodTable(store_));
    QString shown = table_;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Text2->setPlainText(shown);
    Label3->setText(QString::fromUtf8(kTransformInstruction));
    markEstimate();
}

void box::markEstimate() {
    const std::vector<double> values = tableValues(store_);
    const auto estimate = estimateLambda(values);
    LambdaLabel->setText(QString::fromStdString(lambdaEstimateText(estimate, values)));
    Text2->setExtraSelections({});
    MarkedRow = -1;
    if (!estimate || table_.isEmpty()) return;
    // Rows start after two empty lines, the title and the header.
    constexpr int kFirstRowBlock = 4;
    QTextEdit::ExtraSelection mark;
    mark.cursor = QTextCursor(
        Text2->document()->findBlockByNumber(kFirstRowBlock + nearestTableRow(estimate->lambda)));
    mark.format.setBackground(QColor(255, 236, 150));
    mark.format.setProperty(QTextFormat::FullWidthSelection, true);
    Text2->setExtraSelections({mark});
    MarkedRow = mark.cursor.blockNumber() - kFirstRowBlock;
    // The marked row in sight: now, and again once the window has its size (the table may
    // still be laid out for another height when it is first filled).
    Text2->setTextCursor(mark.cursor);
    Text2->ensureCursorVisible();
    QTimer::singleShot(0, Text2, [edit = Text2] { edit->ensureCursorVisible(); });
}

void box::copyTable() {
    // The text area keeps only line feeds; the clipboard gets the table with its CR LF.
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(table_);
}

void box::transform() {
    const std::string lambdaText = Text1->text().toStdString();
    if (!applyLambda(store_, lambdaText, grid_)) {
        prompt_.message(this, QString::fromUtf8(kLambdaRefusedMessage),
                        QStringLiteral("入力エラー"), Prompt::Icon::Exclamation);
        return;
    }
    Label3->setText(QString::fromStdString(transformedComment(lambdaText)));
}

void box::refreshAndClose() {
    FLSET(store_, grid_);
    close();
}

}  // namespace kijunchi
