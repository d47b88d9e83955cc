#include "platform/AppFolder.h"

#include "platform/System.h"

QString ExecutableFolder() {
    // The link names the executable itself, whatever the current folder or the way it was started.
    const QString executable = ExecutablePath();
    const qsizetype slash = executable.lastIndexOf(u'/');
    return slash < 0 ? QString() : executable.first(slash);
}
