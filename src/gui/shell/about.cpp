#include "gui/shell/about.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/widgets/pictures.h"
#include "gui/widgets/window_layout.h"

namespace kijunchi {

About::About(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("バージョン情報"));
    Image1 = new QLabel(this);
    Image1->setPixmap(pictures::programIcon().pixmap(48, 48));
    Image1->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

    auto* name = new QLabel(QStringLiteral("基準値（正規性の確認とベキ変換）"), this);
    QFont bold = name->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    name->setFont(bold);

    Label1 = new QLabel(QStringLiteral("β　Version 1"), this);
    Label3 =
        new QLabel(QStringLiteral("臨床検査値の測定データから基準範囲（基準値）を求めます。\n"
                                  "データの正規性を歪度・尖度・χ二乗検定で確かめ、\n"
                                  "パーセンタイル法（2.5％点と97.5％点）と\n"
                                  "平均±1.96SD（95％信頼区間付き）で基準範囲を推定します。\n"
                                  "分布が歪んでいるときは修正ベキ変換で正規分布に近づけます。"),
                   this);
    Label2 =
        new QLabel(QStringLiteral("（注）データ数は5000以下ですが増やすことはできます。"), this);

    OK = new QPushButton(QStringLiteral("OK"), this);
    OK->setDefault(true);
    OK->setMinimumWidth(80);
    connect(OK, &QPushButton::clicked, this, &QDialog::accept);
    OK->setObjectName(QStringLiteral("OK"));
    Image1->setObjectName(QStringLiteral("Image1"));
    Label1->setObjectName(QStringLiteral("Label1"));
    Label2->setObjectName(QStringLiteral("Label2"));
    Label3->setObjectName(QStringLiteral("Label3"));

    auto* texts = new QVBoxLayout;
    texts->addWidget(name);
    texts->addWidget(Label1);
    texts->addSpacing(8);
    texts->addWidget(Label3);
    texts->addSpacing(8);
    texts->addWidget(Label2);

    auto* top = new QHBoxLayout;
    top->addWidget(Image1);
    top->addSpacing(12);
    top->addLayout(texts, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(OK);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addLayout(buttons);
    centreOnFirstShow(*this);
}

}  // namespace kijunchi
