#include "tests/support/TestMain.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>

QCoreApplication* MakeCoreApplication(int& argc, char** argv) {
    return new QCoreApplication(argc, argv);
}

int main(int argc, char** argv) {
    if (kTestBinarySetup.prepare)
        kTestBinarySetup.prepare(argc, argv);
    const std::unique_ptr<QCoreApplication> app(
        kTestBinarySetup.makeApplication ? kTestBinarySetup.makeApplication(argc, argv) : nullptr);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
