#pragma once
// The dialog "検討の情報": what heads the documents of a study (項目名, 単位, 測定法・機器, 施設,
// 作成者, 承認者 and a free note), with OK and キャンセル.
#include <QDialog>

#include "analysis/store.h"

class QDialogButtonBox;
class QLineEdit;
class QPlainTextEdit;

namespace kijunchi {

class StudyHeaderDialog : public QDialog {
    Q_OBJECT
public:
    // The fields start as header gives them; an empty 項目名 starts as suggestedAnalyte.
    StudyHeaderDialog(const StudyHeader& header, const QString& suggestedAnalyte,
                      QWidget* parent = nullptr);

    // The fields as they stand, each line's surrounding blanks dropped (the note's inner lines
    // kept as typed).
    StudyHeader header() const;

    QLineEdit* AnalyteEdit = nullptr;
    QLineEdit* UnitEdit = nullptr;
    QLineEdit* MethodEdit = nullptr;
    QLineEdit* FacilityEdit = nullptr;
    QLineEdit* AuthorEdit = nullptr;
    QLineEdit* ApproverEdit = nullptr;
    QPlainTextEdit* NoteEdit = nullptr;
    QDialogButtonBox* Buttons = nullptr;
};

}  // namespace kijunchi
