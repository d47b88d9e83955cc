#include "platform/AppFolder.h"

#include <QFile>

QString ExecutableFolder() {
    // The link names the executable itself, whatever the current folder or the way it was started.
    const QString executable = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    const qsizetype slash = executable.lastIndexOf(u'/');
    return slash < 0 ? QString() : executable.first(slash);
}
