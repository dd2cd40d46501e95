#include "gui/widgets/app_setup.h"

#include <QApplication>
#include <QFont>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "gui/widgets/pictures.h"

namespace kijunchi {

bool setUpApplication(QApplication& app) {
    // The remembered place (last folder, frame geometry) lives under these names.
    QCoreApplication::setOrganizationName(QStringLiteral("Kijunchi"));
    QCoreApplication::setApplicationName(QStringLiteral("Kijunchi"));
    auto* translator = new QTranslator(&app);
    bool loaded =
        translator->load(QLocale(QLocale::Japanese), QStringLiteral("qtbase"), QStringLiteral("_"),
                         QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    if (loaded) {
        QApplication::installTranslator(translator);
    } else {
        delete translator;
    }
    // IPAGothic: fixed width, half-width katakana half as wide as kanji, so TAB columns and the
    // blanks of the histogram text block line up.
    QFont font(QStringLiteral("IPAGothic"), 9);
    font.setStyleHint(QFont::TypeWriter);
    QApplication::setFont(font);
    QApplication::setWindowIcon(pictures::programIcon());
    return loaded;
}

}  // namespace kijunchi
