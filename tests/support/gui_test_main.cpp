// The window tests run inside one QApplication set up as the program sets it up.
#include <gtest/gtest.h>

#include <QApplication>

#include "widgets/app_setup.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kijunchi::setUpApplication(app);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
