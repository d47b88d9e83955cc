// The main of the card pages' window tests: one QApplication for the whole test binary.
#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    // ctest lists the tests without the test environment; they always run offscreen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
