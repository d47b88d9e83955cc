#include "tests/support/TestMain.h"

#include <QApplication>
#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

namespace {

std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv) {
    switch (kTestBinarySetup.application) {
    case TestApplication::None:
        return nullptr;
    case TestApplication::Core:
        return std::make_unique<QCoreApplication>(argc, argv);
    case TestApplication::Widgets:
        // ctest lists the tests without the test environment: windows are always offscreen at scale 1.
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        if (qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR"))
            qputenv("QT_SCALE_FACTOR", "1");
        if (kTestBinarySetup.style)
            QApplication::setStyle(QString::fromLatin1(kTestBinarySetup.style));
        return std::make_unique<QApplication>(argc, argv);
    }
    return nullptr;
}

} // namespace

int main(int argc, char** argv) {
    if (kTestBinarySetup.prepare)
        kTestBinarySetup.prepare(argc, argv);
    const std::unique_ptr<QCoreApplication> app = MakeApplication(argc, argv);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
