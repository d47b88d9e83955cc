#include "platform/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>

QString ChooseDataFolder(const QString& executableFolder, bool portable, const QString& userDataFolder) {
    return portable || userDataFolder.isEmpty() ? executableFolder : userDataFolder;
}

QString UserDataFolder() {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) {
        const QString home = QDir::homePath();
        if (home.isEmpty())
            return QString();
        base = home + QStringLiteral("/.local/share");
    }
    return QDir::cleanPath(base + QStringLiteral("/RFID"));
}

QString InstalledLanguageFolder(const QString& executableFolder) {
    return QDir::cleanPath(executableFolder + QStringLiteral("/../share/RFID/Language"));
}

bool IsFolderWritable(const QString& folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isDir())
        return false;
    QTemporaryFile probe(folder + QStringLiteral("/.rfid-write-probe-XXXXXX"));
    return probe.open();
}

int SeedLanguageFolder(const QString& installedFolder, const QString& dataFolder) {
    const QString target = dataFolder + QStringLiteral("/Language");
    if (QFileInfo::exists(target) || !QFileInfo(installedFolder).isDir())
        return 0;
    if (!QDir().mkpath(target))
        return 0;
    int copied = 0;
    const QStringList files = QDir(installedFolder).entryList({QStringLiteral("*.ini")}, QDir::Files, QDir::Name);
    for (const QString& name : files) {
        if (QFile::copy(installedFolder + u'/' + name, target + u'/' + name)) {
            // Installed files are read-only; the user's copies must be replaceable by the program.
            QFile::setPermissions(target + u'/' + name,
                                  QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup |
                                      QFileDevice::ReadOther);
            ++copied;
        }
    }
    return copied;
}

bool IsPortableCopy(const QString& executableFolder) {
    return IsFolderWritable(executableFolder) && !QFileInfo(InstalledLanguageFolder(executableFolder)).isDir();
}

QString ResolveDataFolder(const QString& executableFolder) {
    const bool portable = IsPortableCopy(executableFolder);
    const QString userFolder = portable ? QString() : UserDataFolder();
    const QString folder = ChooseDataFolder(executableFolder, portable, userFolder);
    if (folder != executableFolder) {
        QDir().mkpath(folder);
        SeedLanguageFolder(InstalledLanguageFolder(executableFolder), folder);
    }
    return folder;
}
