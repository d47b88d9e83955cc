#pragma once

// The widget application of the test binaries whose tier shows windows, included by the set-up
// rfid_add_gtest writes for them (and only for them: the others load no window library).

#include <QApplication>

// style: a fixed widget style, so that the system colours and metrics the controls read are the same on
// every machine; null keeps the platform's own.
inline QCoreApplication* MakeWidgetsApplication(int& argc, char** argv, const char* style) {
    // ctest lists the tests without the test environment: windows are always offscreen at scale 1.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR"))
        qputenv("QT_SCALE_FACTOR", "1");
    if (style)
        QApplication::setStyle(QString::fromLatin1(style));
    return new QApplication(argc, argv);
}
