#include "platform/AppProfile.h"

#include "platform/System.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>

namespace {

QString& RegistryKey() {
    static QString key = QString::fromLatin1(kDefaultRegistryKey);
    return key;
}

QSettings OpenProfile() {
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, RegistryKey(), GetProfileName());
}

} // namespace

void SetRegistryKey(const QString& strKey) {
    RegistryKey() = strKey;
}

QString GetRegistryKey() {
    return RegistryKey();
}

QString GetProfileName() {
    QString path = QCoreApplication::instance() ? QCoreApplication::applicationFilePath() : QString();
    if (path.isEmpty())
        path = ExecutablePath();
    return QFileInfo(path).completeBaseName();
}

QString ProfileKey(const QString& section, const QString& entry) {
    QString group = section;
    group.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return group + QLatin1Char('/') + entry;
}

int GetProfileInt(const QString& section, const QString& entry, int nDefault) {
    const QVariant value = OpenProfile().value(ProfileKey(section, entry));
    if (!value.isValid())
        return nDefault;
    bool ok = false;
    const int n = value.toString().toInt(&ok);
    return ok ? n : nDefault;
}

bool WriteProfileInt(const QString& section, const QString& entry, int nValue) {
    QSettings settings = OpenProfile();
    settings.setValue(ProfileKey(section, entry), nValue);
    settings.sync();
    return settings.status() == QSettings::NoError;
}

QString GetProfileString(const QString& section, const QString& entry, const QString& strDefault) {
    const QVariant value = OpenProfile().value(ProfileKey(section, entry));
    return value.isValid() ? value.toString() : strDefault;
}

bool WriteProfileString(const QString& section, const QString& entry, const QString& strValue) {
    QSettings settings = OpenProfile();
    settings.setValue(ProfileKey(section, entry), strValue);
    settings.sync();
    return settings.status() == QSettings::NoError;
}
