#pragma once
// What the two generator dialogs share: the store and the grid they fill, the random source,
// the prompt, the dialog's font and heading, the OK and キャンセル buttons, the notes and the
// reading of the count box with its refusal.
#include <QDialog>
#include <initializer_list>
#include <optional>

#include "analysis/store.h"
#include "generators/random_source.h"
#include "input/grid_sink.h"

class QLineEdit;
class QPushButton;

namespace kijunchi {

class Prompt;

class GeneratorDialog : public QDialog {
    Q_OBJECT
public:
    QPushButton* Command2 = nullptr;  // OK
    QPushButton* Command1 = nullptr;  // キャンセル

protected:
    // A non-modal dialog that deletes itself when closed, with its title and its heading at the
    // top left.
    GeneratorDialog(const char* title, const char* heading, AnalysisStore& store,
                    RandomSource& random, GridSink& inputGrid, Prompt& prompt, QWidget* parent);

    // "OK" (runs generate()) and "キャンセル" (closes) at their places. Enter in the boxes
    // moves the focus, so neither button is a default.
    void addButtons(QRect okPlace, QRect cancelPlace);

    // The count typed into the count box, or nothing after the refusal message (the box then
    // has the focus with its text selected).
    std::optional<int> countOrRefuse(QLineEdit& countBox);

    // The numbered notes one below the other, from top at the left margin; then the dialog's
    // fixed size: at least minWidth wide or as wide as the notes with the margin on the right,
    // and a margin below the last note.
    void addNotes(std::initializer_list<const char*> notes, int left, int top, int minWidth);

    virtual void generate() = 0;

    AnalysisStore& store_;
    RandomSource& random_;
    GridSink& grid_;
    Prompt& prompt_;
};

}  // namespace kijunchi
