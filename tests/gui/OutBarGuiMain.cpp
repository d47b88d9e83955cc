// One application object for every navigation bar GUI test, with a fixed widget style so that
// the system colours and metrics the bar reads are the same on every machine.

#include <QApplication>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    QApplication::setStyle(QStringLiteral("Fusion"));
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
