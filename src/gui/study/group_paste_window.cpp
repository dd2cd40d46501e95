// The input window's paste of value and group columns ("グループ列あり").
#include <QCheckBox>
#include <QClipboard>
#include <QGuiApplication>

#include "gui/input/frm_mnu_window.h"
#include "gui/widgets/prompt.h"
#include "gui/widgets/window_layout.h"
#include "study/grouped_data.h"

namespace kijunchi {

// The tick "グループ列あり" beside the count.
void frmMnu::addStudyControls() {
    GroupTick = new QCheckBox(QStringLiteral("グループ列あり"), content_);
    GroupTick->setGeometry(twipsRect(1680, 2940, 1800, 255));
    GroupTick->setToolTip(QStringLiteral("値とグループの2列（TAB区切り）を張り付けます。"));
}

void frmMnu::pasteWithGroups() {
    // Each paste with groups replaces the data set: two columns cannot be appended to the
    // values of the paste buffer. The buffer takes the values, one per line, so that
    // "修正ベキ変換" re-reads them as they are.
    const GroupedPaste result =
        ReadGroupedPaste(store_, QGuiApplication::clipboard()->text().toStdString(), *this);
    setPasteBufferText(QString::fromStdString(result.valuesText));
    if (!result.message.empty())
        prompt_.message(this, QString::fromStdString(result.message), QStringLiteral("張り付け"),
                        Prompt::Icon::Information);
}

}  // namespace kijunchi
