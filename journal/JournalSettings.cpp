#include "journal/JournalSettings.h"

#include "journal/Database.h"
#include "platform/PrivateProfile.h"
#include "platform/System.h"

namespace {

constexpr int SETTING_TEXT_SIZE = 256;

QString ReadSetting(const QString& file, const char* key, const QString& fallback) {
    return GetPrivateProfileString(QStringLiteral("Journal"), QLatin1String(key), fallback, SETTING_TEXT_SIZE, file)
        .trimmed();
}

// Hand-edited files say "0", "no", "false" or "off" for a switch that is off.
bool ReadSwitch(const QString& file, const char* key, bool fallback) {
    const QString value = ReadSetting(file, key, QString()).toLower();
    if (value.isEmpty())
        return fallback;
    return !(value == u"0" || value == u"no" || value == u"false" || value == u"off");
}

} // namespace

QString StationName(const QString& stored) {
    const QString name = stored.trimmed();
    return name.isEmpty() ? HostName() : name;
}

JournalSettings ReadJournalSettings(const QString& dataFolder) {
    const QString file = dataFolder + QStringLiteral("/setting.ini");
    JournalSettings settings;
    settings.enabled = ReadSwitch(file, "Enabled", true);
    settings.station = StationName(ReadSetting(file, "Station", QString()));
    settings.refuseDuplicates = ReadSwitch(file, "RefuseDuplicates", true);
    settings.connection = ConfiguredDatabaseText(dataFolder);
    return settings;
}
