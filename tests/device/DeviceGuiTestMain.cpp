// The main of the window device tests: the umockdev preload first, then one QApplication.
#include "tools/emureader/EmuTestbed.h"

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    CEmuTestbed::EnsurePreload(argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
