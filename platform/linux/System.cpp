// The operating-system functions on Linux.

#include "platform/System.h"

#include <QDir>
#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
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

bool CFileLock::Take(bool wait, QString* error) {
    if (m_fd >= 0)
        return true;
    const QByteArray path = QFile::encodeName(m_strPath);
    int fd = ::open(path.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd >= 0)
        fchmod(fd, 0666); // whoever's umask made it: another user's program locks it too
    else
        fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC); // made by another user who kept it to themselves
    if (fd < 0) {
        *error = QStringLiteral("%1: %2").arg(m_strPath, QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    int taken;
    do
        taken = ::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB));
    while (taken != 0 && errno == EINTR);
    if (taken != 0) {
        *error = errno == EWOULDBLOCK ? QStringLiteral("%1 is locked by another program").arg(m_strPath)
                                      : QStringLiteral("%1: %2").arg(m_strPath, QString::fromLocal8Bit(std::strerror(errno)));
        ::close(fd);
        return false;
    }
    m_fd = fd;
    return true;
}

bool CFileLock::TryLock(QString* error) {
    return Take(false, error);
}

bool CFileLock::Lock(QString* error) {
    return Take(true, error);
}

void CFileLock::Unlock() {
    if (m_fd < 0)
        return;
    ::close(m_fd); // closing the only descriptor of this open drops its lock
    m_fd = -1;
}

void CFileLock::SetNote(const QString& note) {
    if (m_fd < 0)
        return;
    const QByteArray bytes = note.toUtf8();
    const bool noted = ftruncate(m_fd, 0) == 0 && pwrite(m_fd, bytes.constData(), std::size_t(bytes.size()), 0) == bytes.size();
    (void)noted; // a lock without its note (a file of another user) still locks
}

QString LockNote(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return QString();
    return QString::fromUtf8(file.read(256)).trimmed();
}

QString LockFolder() {
    return QDir::tempPath();
}
