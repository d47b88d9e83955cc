#include "journal/JournalRecord.h"

#include <QTimeZone>

#include <array>
#include <pwd.h>
#include <unistd.h>

namespace {

template <typename Enum, std::size_t N>
QString KeyOf(const std::array<const char*, N>& keys, Enum value) {
    return QString::fromLatin1(keys[std::size_t(value)]);
}

template <typename Enum, std::size_t N>
std::optional<Enum> FromKey(const std::array<const char*, N>& keys, const QString& key) {
    for (std::size_t i = 0; i < N; ++i) {
        if (key == QLatin1String(keys[i]))
            return Enum(i);
    }
    return std::nullopt;
}

// In the order of the enumerations.
constexpr std::array<const char*, 3> kSourceKeys = {"read-write", "mass-production", "rfidctl"};
constexpr std::array<const char*, 4> kOperationKeys = {"read", "write", "verify", "overwrite"};
constexpr std::array<const char*, 5> kResultKeys = {"ok", "error", "refused", "verify-ok", "verify-failed"};

} // namespace

QString SourceKey(JournalSource source) {
    return KeyOf(kSourceKeys, source);
}
QString OperationKey(JournalOperation operation) {
    return KeyOf(kOperationKeys, operation);
}
QString ResultKey(JournalResult result) {
    return KeyOf(kResultKeys, result);
}
std::optional<JournalSource> SourceFromKey(const QString& key) {
    return FromKey<JournalSource>(kSourceKeys, key);
}
std::optional<JournalOperation> OperationFromKey(const QString& key) {
    return FromKey<JournalOperation>(kOperationKeys, key);
}
std::optional<JournalResult> ResultFromKey(const QString& key) {
    return FromKey<JournalResult>(kResultKeys, key);
}

CardStatus StatusOf(JournalOperation operation, JournalResult result, bool verifyRequested) {
    if (operation == JournalOperation::Verify)
        return result == JournalResult::VerifyOk ? CardStatus::Good : CardStatus::ThrowAway;
    if (operation == JournalOperation::Overwrite)
        return CardStatus::Overwritten;
    if (operation != JournalOperation::Write)
        return CardStatus::None;
    if (result == JournalResult::Refused)
        return CardStatus::Refused;
    if (result != JournalResult::Ok)
        return CardStatus::Failed;
    return verifyRequested ? CardStatus::None : CardStatus::Good;
}

QString JournalTimeText(const QDateTime& time) {
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + u'Z';
}

QDateTime JournalTimeFromText(const QString& text) {
    QString iso = text.trimmed();
    if (iso.size() > 10 && iso[10] == u' ')
        iso[10] = u'T';
    QDateTime time = QDateTime::fromString(iso, Qt::ISODateWithMs);
    if (!time.isValid()) {
        const QDate date = QDate::fromString(iso, Qt::ISODate);
        if (!date.isValid())
            return QDateTime();
        time = QDateTime(date, QTime(0, 0), QTimeZone::utc());
    }
    // A time without a zone is UTC, as every stored time is.
    if (time.timeSpec() == Qt::LocalTime)
        time.setTimeZone(QTimeZone::utc());
    return time.toUTC();
}

QString LoginUserName() {
    if (const passwd* entry = getpwuid(geteuid()); entry && entry->pw_name)
        return QString::fromLocal8Bit(entry->pw_name);
    const QString user = qEnvironmentVariable("USER");
    return user.isEmpty() ? QString::number(geteuid()) : user;
}
