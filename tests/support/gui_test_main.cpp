// The window tests run inside one QApplication set up as the program sets it up.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QSettings>

#include "gui/widgets/app_setup.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kijunchi::setUpApplication(app);
    // The remembered place goes into a folder of the test run, never the user's settings.
    const QString settings = QDir::temp().filePath(
        QStringLiteral("kijunchi-gui-tests-%1").arg(QCoreApplication::applicationPid()));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings);
    ::testing::InitGoogleTest(&argc, argv);
    const int status = RUN_ALL_TESTS();
    QDir(settings).removeRecursively();
    return status;
}
