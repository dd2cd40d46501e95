// kijunchi: the desktop program.
#include <QApplication>

#include "analysis/store.h"
#include "generators/random_source.h"
#include "gui/shell/mdi_form.h"
#include "gui/widgets/app_setup.h"
#include "gui/widgets/prompt.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kijunchi::setUpApplication(app);

    kijunchi::AnalysisStore store;
    kijunchi::RandomSource random;
    kijunchi::MessageBoxPrompt prompt;
    kijunchi::MDIForm1 frame(store, random, prompt);
    frame.startUp();
    return QApplication::exec();
}
