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
// A number made ready for the next claim: its row exists before any station takes it.
inline constexpr char CLAIM_LEFT[] = "left";

// The claim order of a free row (free_order): released numbers first in batch order, then the numbers
// left in batch order. Taken and done rows have none, so the free rows' index holds only what may be
// claimed next.
inline constexpr qint64 RELEASED_ORDER_OFFSET = qint64(1) << 33; // above any index of a batch
inline qint64 ReleasedOrder(qint64 index) {
    return index - RELEASED_ORDER_OFFSET;
}

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
