#include "gui/files/choice_dialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QStandardItemModel>
#include <QVBoxLayout>

namespace kijunchi {

ChoiceDialog::ChoiceDialog(const QString& title, const QString& label, const QStringList& items,
                           const QList<bool>& enabled, int current, QWidget* parent,
                           const QStringList& groups, std::optional<bool> headings)
    : QDialog(parent) {
    setWindowTitle(title);
    auto* layout = new QVBoxLayout(this);
    Label1 = new QLabel(label, this);
    layout->addWidget(Label1);
    List1 = new QListWidget(this);
    for (int i = 0; i < items.size(); ++i) {
        auto* item = new QListWidgetItem(items[i], List1);
        if (i < enabled.size() && !enabled[i]) item->setFlags(item->flags() & ~Qt::ItemIsEnabled);
    }
    layout->addWidget(List1);
    if (!groups.isEmpty()) {
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("グループ列:"), this));
        GroupBox = new QComboBox(this);
        GroupBox->addItem(QStringLiteral("（グループなし）"));
        GroupBox->addItems(groups);
        row->addWidget(GroupBox, 1);
        layout->addLayout(row);
    }
    if (headings) {
        HeadingBox = new QCheckBox(QStringLiteral("1行目は見出し"), this);
        HeadingBox->setChecked(*headings);
        layout->addWidget(HeadingBox);
    }
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(Buttons);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(List1, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) {
        if (item->flags() & Qt::ItemIsEnabled) accept();
    });
    // The group column cannot be the value column: the list of groups does not offer it.
    auto updateOk = [this] {
        if (GroupBox) {
            if (auto* model = qobject_cast<QStandardItemModel*>(GroupBox->model())) {
                for (int row = 1; row < model->rowCount(); ++row)
                    model->item(row)->setEnabled(row - 1 != chosen());
            }
        }
        Buttons->button(QDialogButtonBox::Ok)
            ->setEnabled(chosen() >= 0 && chosenGroup() != chosen());
    };
    connect(List1, &QListWidget::currentRowChanged, this, updateOk);
    if (GroupBox)
        connect(GroupBox, qOverload<int>(&QComboBox::currentIndexChanged), this, updateOk);
    if (current >= 0 && current < items.size()) List1->setCurrentRow(current);
    updateOk();
    resize(360, 280);
}

int ChoiceDialog::chosen() const {
    QListWidgetItem* item = List1->currentItem();
    if (!item || !(item->flags() & Qt::ItemIsEnabled)) return -1;
    return List1->row(item);
}

int ChoiceDialog::chosenGroup() const {
    return GroupBox ? GroupBox->currentIndex() - 1 : -1;
}

PictureSizeDialog::PictureSizeDialog(const QSize& suggested, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("図の大きさ"));
    auto* form = new QFormLayout(this);
    Width = new QSpinBox(this);
    Height = new QSpinBox(this);
    for (QSpinBox* box : {Width, Height}) {
        box->setRange(16, 10000);
        box->setSuffix(QStringLiteral(" ピクセル"));
    }
    Width->setValue(suggested.width());
    Height->setValue(suggested.height());
    form->addRow(QStringLiteral("幅"), Width);
    form->addRow(QStringLiteral("高さ"), Height);
    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(Buttons);
    connect(Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
}

QSize PictureSizeDialog::chosenSize() const {
    return QSize(Width->value(), Height->value());
}

}  // namespace kijunchi
