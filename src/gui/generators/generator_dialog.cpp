#include "gui/generators/generator_dialog.h"

#include <QFont>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "generators/generators.h"
#include "gui/widgets/prompt.h"
#include "gui/widgets/window_layout.h"

namespace kijunchi {

GeneratorDialog::GeneratorDialog(const char* title, const char* heading, AnalysisStore& store,
                                 RandomSource& random, GridSink& inputGrid, Prompt& prompt,
                                 QWidget* parent)
    : QDialog(parent), store_(store), random_(random), grid_(inputGrid), prompt_(prompt) {
    setAttribute(Qt::WA_DeleteOnClose);
    setModal(false);
    setWindowTitle(QString::fromUtf8(title));
    QFont dialogFont = font();
    dialogFont.setPointSize(9);
    setFont(dialogFont);

    auto* headingLabel = new QLabel(QString::fromUtf8(heading), this);
    QFont headingFont = dialogFont;
    headingFont.setPointSize(12);
    headingFont.setBold(true);
    headingLabel->setFont(headingFont);
    headingLabel->setGeometry(twipsRect(240, 120, 2400, 405));
}

void GeneratorDialog::addButtons(QRect okPlace, QRect cancelPlace) {
    Command2 = new QPushButton(QStringLiteral("OK"), this);
    Command2->setObjectName(QStringLiteral("Command2"));
    Command2->setGeometry(okPlace);
    Command1 = new QPushButton(QStringLiteral("キャンセル"), this);
    Command1->setObjectName(QStringLiteral("Command1"));
    Command1->setGeometry(cancelPlace);
    for (QPushButton* button : {Command2, Command1}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(Command2, &QPushButton::clicked, this, [this] { generate(); });
    connect(Command1, &QPushButton::clicked, this, &QWidget::close);
}

void GeneratorDialog::addNotes(std::initializer_list<const char*> notes, int left, int top,
                               int minWidth) {
    const int gap = twips(60);
    int y = top;
    int right = minWidth;
    for (const char* text : notes) {
        QLabel* note = makeNote(this, text, left, y);
        y = note->geometry().bottom() + 1 + gap;
        right = qMax(right, note->geometry().right() + 1 + left);
    }
    setFixedSize(right, y + twips(180));
}

std::optional<int> GeneratorDialog::countOrRefuse(QLineEdit& countBox) {
    const std::optional<int> count = readGeneratorCount(countBox.text().toStdString());
    if (!count) {
        prompt_.message(this, QString::fromUtf8(kGeneratorCountMessage),
                        QStringLiteral("入力エラー"), Prompt::Icon::Exclamation);
        countBox.setFocus();
        countBox.selectAll();
    }
    return count;
}

}  // namespace kijunchi
