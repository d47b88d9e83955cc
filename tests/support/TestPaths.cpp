#include "tests/support/TestPaths.h"

QString TestSourcePath(const QString& relative) {
    return QStringLiteral(RFID_SOURCE_DIR "/") + relative;
}

QString TestBuildPath(const QString& relative) {
    return QStringLiteral(RFID_BINARY_DIR "/") + relative;
}
