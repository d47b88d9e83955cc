// The operating-system functions on Linux.

#include "platform/System.h"

#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <pwd.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

QString LoginUserName() {
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QString::number(geteuid()) : user;
}

QString HostName() {
    return QSysInfo::machineHostName();
}

qint64 CurrentProcessId() {
    return qint64(getpid());
}

bool ProcessExists(qint64 pid) {
    return pid > 0 && (kill(pid_t(pid), 0) == 0 || errno == EPERM);
}

QString ExecutablePath() {
    return QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
}

bool IsPlainFile(const QString& path) {
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

bool MayReadAndWrite(const QString& path) {
    return access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0;
}

QString UsbDeviceNode(const QString& bus, const QString& device) {
    return QStringLiteral("/dev/bus/usb/%1/%2").arg(bus, device);
}

bool StandardOutputIsTerminal() {
    return isatty(STDOUT_FILENO) == 1;
}
