#include "tests/support/TestMain.h"

#include <QCoreApplication>
#include <QDir>

#include <gtest/gtest.h>

#include <memory>

QCoreApplication* MakeCoreApplication(int& argc, char** argv) {
    return new QCoreApplication(argc, argv);
}

namespace {

// ctest starts each test as a process of its own, several at once: each gets a settings folder of its
// own under its binary's, so the application profile of one test never meets another's. Kept across
// the re-start under the emulated bus's preload (the same process id); removed at the end.
QString OwnSettingsFolder() {
    const QByteArray shared = qgetenv("XDG_CONFIG_HOME");
    if (shared.isEmpty() || qEnvironmentVariableIsSet("RFID_TEST_OWN_SETTINGS"))
        return QString();
    const QByteArray own = shared + "/test-" + QByteArray::number(qint64(QCoreApplication::applicationPid()));
    qputenv("XDG_CONFIG_HOME", own);
    qputenv("RFID_TEST_OWN_SETTINGS", "1");
    QDir().mkpath(QString::fromLocal8Bit(own));
    return QString::fromLocal8Bit(own);
}

} // namespace

int main(int argc, char** argv) {
    const QString settingsFolder = OwnSettingsFolder();
    if (kTestBinarySetup.prepare)
        kTestBinarySetup.prepare(argc, argv);
    const std::unique_ptr<QCoreApplication> app(
        kTestBinarySetup.makeApplication ? kTestBinarySetup.makeApplication(argc, argv) : nullptr);
    testing::InitGoogleTest(&argc, argv);
    const int result = RUN_ALL_TESTS();
    if (!settingsFolder.isEmpty())
        QDir(settingsFolder).removeRecursively();
    return result;
}
