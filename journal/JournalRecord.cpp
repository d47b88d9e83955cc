#include "journal/JournalRecord.h"

#include <cstdio>

#include <QTimeZone>

#include <array>

namespace {

template <typename Enum, std::size_t N>
const char* KeyOf(const std::array<const char*, N>& keys, Enum value) {
    return keys[std::size_t(value)];
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

const char* SourceKeyAscii(JournalSource source) {
    return KeyOf(kSourceKeys, source);
}
const char* OperationKeyAscii(JournalOperation operation) {
    return KeyOf(kOperationKeys, operation);
}
const char* ResultKeyAscii(JournalResult result) {
    return KeyOf(kResultKeys, result);
}
QString SourceKey(JournalSource source) {
    return QString::fromLatin1(SourceKeyAscii(source));
}
QString OperationKey(JournalOperation operation) {
    return QString::fromLatin1(OperationKeyAscii(operation));
}
QString ResultKey(JournalResult result) {
    return QString::fromLatin1(ResultKeyAscii(result));
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

namespace {

constexpr qint64 kMsPerDay = 86400000;

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, and back (the civil calendar
// algorithms of H. Hinnant): exact for every stored time, and far quicker than formatting a QDateTime,
// which matters when millions of records are exported.
qint64 DaysFromCivil(qint64 y, unsigned m, unsigned d) {
    y -= m <= 2;
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + qint64(doe) - 719468;
}

void CivilFromDays(qint64 z, qint64* y, unsigned* m, unsigned* d) {
    z += 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    *d = doy - (153 * mp + 2) / 5 + 1;
    *m = mp < 10 ? mp + 3 : mp - 9;
    *y = qint64(yoe) + era * 400 + (*m <= 2);
}

// The stored form exactly ("2026-12-08T06:01:15.123Z"), or nullopt for anything else.
std::optional<qint64> StoredTimeMs(QStringView text) {
    static constexpr char kPattern[] = "dddd-dd-ddTdd:dd:dd.dddZ";
    if (text.size() != 24)
        return std::nullopt;
    for (int i = 0; i < 24; ++i) {
        const char16_t c = text[i].unicode();
        if (kPattern[i] == 'd' ? (c < u'0' || c > u'9') : c != char16_t(kPattern[i]))
            return std::nullopt;
    }
    const auto number = [&text](int from, int digits) {
        int value = 0;
        for (int i = from; i < from + digits; ++i)
            value = value * 10 + (text[i].unicode() - u'0');
        return value;
    };
    const int month = number(5, 2), day = number(8, 2), hour = number(11, 2), minute = number(14, 2),
              second = number(17, 2);
    if (month < 1 || month > 12 || day < 1 || day > QDate(number(0, 4), month, 1).daysInMonth() || hour > 23 ||
        minute > 59 || second > 59)
        return std::nullopt;
    return DaysFromCivil(number(0, 4), unsigned(month), unsigned(day)) * kMsPerDay +
           ((hour * 60 + minute) * 60 + second) * qint64(1000) + number(20, 3);
}

} // namespace

bool IsStoredTimeText(QStringView text) {
    return StoredTimeMs(text).has_value();
}

QString JournalTimeText(const QDateTime& time) {
    if (!time.isValid())
        return QStringLiteral("Z");
    const qint64 ms = time.toMSecsSinceEpoch();
    const qint64 days = ms >= 0 ? ms / kMsPerDay : (ms - kMsPerDay + 1) / kMsPerDay;
    const qint64 inDay = ms - days * kMsPerDay;
    qint64 year = 0;
    unsigned month = 0, day = 0;
    CivilFromDays(days, &year, &month, &day);
    if (year < 0 || year > 9999)
        return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + u'Z';
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(year), month, day,
                  int(inDay / 3600000), int(inDay / 60000 % 60), int(inDay / 1000 % 60), int(inDay % 1000));
    return QString::fromLatin1(text);
}

QDateTime JournalTimeFromText(const QString& text) {
    if (const std::optional<qint64> ms = StoredTimeMs(text))
        return QDateTime::fromMSecsSinceEpoch(*ms, QTimeZone::utc());
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
