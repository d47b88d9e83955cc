#pragma once

// What the batch modules share about their tables: the claim states and the stored time.

#include <QDateTime>
#include <QSqlError>
#include <QString>

// States of a batch_claim row.
inline constexpr char CLAIM_CLAIMED[] = "claimed";
inline constexpr char CLAIM_WRITTEN[] = "written";
inline constexpr char CLAIM_VERIFIED[] = "verified";
inline constexpr char CLAIM_RELEASED[] = "released";

// UTC with milliseconds, one length for every time, so text order is time order on both engines.
inline QString BatchTimeText(const QDateTime& time) {
    return time.toUTC().toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzzZ"));
}
inline QString BatchTimeNow() {
    return BatchTimeText(QDateTime::currentDateTimeUtc());
}

// A unique or primary key refused a row (PostgreSQL SQLSTATE 23505, SQLite's constraint error).
inline bool IsDuplicateKey(const QSqlError& error) {
    return error.nativeErrorCode() == QLatin1String("23505") || error.text().contains(QLatin1String("UNIQUE constraint"));
}

// SQLite's answer when another process holds the write lock longer than the busy time-out: nothing was
// done, and trying again later is safe.
inline bool IsBusyText(const QString& text) {
    return text.contains(QLatin1String("database is locked"));
}
