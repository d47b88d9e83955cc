#include "batches/BatchStation.h"

#include "batches/BatchSql.h"
#include "journal/Database.h"
#include "platform/System.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>


namespace {

BatchOutcome Outcome(BatchStatus status, const QString& message = QString()) {
    BatchOutcome outcome;
    outcome.status = status;
    outcome.message = message;
    return outcome;
}

// The rules of the class comment: who holds a station name now.
struct SessionRow {
    QString token, host, seenAt;
    qint64 pid = 0;
};

bool SessionIsLive(const SessionRow& row) {
    if (row.token.isEmpty())
        return false;
    const QDateTime seen = QDateTime::fromString(row.seenAt, Qt::ISODateWithMs);
    if (!seen.isValid() || seen.secsTo(QDateTime::currentDateTimeUtc()) > STATION_LEASE_SECONDS)
        return false;
    return !(row.host == StationHostName() && !ProcessExists(row.pid));
}

std::optional<SessionRow> ReadSession(QSqlDatabase& db, const QString& station, QString* error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT token, host, pid, seen_at FROM station_session WHERE name = ?"));
    query.addBindValue(station);
    if (!query.exec()) {
        *error = query.lastError().text().trimmed();
        return std::nullopt;
    }
    SessionRow row;
    if (query.next())
        row = {query.value(0).toString(), query.value(1).toString(), query.value(3).toString(),
               query.value(2).toLongLong()};
    return row;
}

QString RunningElsewhere(const QString& station, const SessionRow& row) {
    return QStringLiteral("station \"%1\" is already running on %2 (process %3, last seen %4); stop it, or "
                          "give this station another name")
        .arg(station, row.host)
        .arg(row.pid)
        .arg(row.seenAt);
}

} // namespace

QString StationHostName() {
    return HostName();
}

// The statements of a station, prepared once per connection: each claim and record is then one
// round trip per statement.
struct CBatchStation::Statements {
    explicit Statements(QSqlDatabase& db)
        : touch(db), ownClaim(db), adoptClaim(db), takeReleased(db), advance(db), batchExists(db), item(db),
          insertClaim(db), markDone(db), claimState(db), holds(db), discard(db) {}

    bool Prepare() {
        return touch.prepare("UPDATE station_session SET seen_at = ? WHERE name = ? AND token = ?") &&
               ownClaim.prepare("SELECT idx, identifier, session FROM batch_claim"
                                " WHERE batch_name = ? AND station = ? AND state = ? ORDER BY idx") &&
               adoptClaim.prepare("UPDATE batch_claim SET session = ?"
                                  " WHERE batch_name = ? AND idx = ? AND station = ? AND state = ?") &&
               takeReleased.prepare(
                   "UPDATE batch_claim SET state = ?, station = ?, session = ?, claimed_at = ?, done_at = NULL"
                   " WHERE batch_name = ? AND state = ? AND idx = (SELECT MIN(idx) FROM batch_claim"
                   " WHERE batch_name = ? AND state = ?) RETURNING idx, identifier") &&
               advance.prepare("UPDATE batch SET next_index = next_index + 1 WHERE name = ? AND next_index < total"
                               " RETURNING next_index, kind, vendor, first_card, last_card, random_order, seed") &&
               batchExists.prepare("SELECT total FROM batch WHERE name = ?") &&
               item.prepare("SELECT identifier FROM batch_item WHERE batch_name = ? AND idx = ?") &&
               insertClaim.prepare("INSERT INTO batch_claim (batch_name, idx, identifier, state, station, session,"
                                   " claimed_at) VALUES (?, ?, ?, ?, ?, ?, ?)") &&
               markDone.prepare("UPDATE batch_claim SET state = ?, done_at = ?"
                                " WHERE batch_name = ? AND idx = ? AND session = ? AND state = ?") &&
               claimState.prepare("SELECT state, session FROM batch_claim WHERE batch_name = ? AND idx = ?") &&
               holds.prepare("SELECT COUNT(*) FROM batch_claim"
                             " WHERE batch_name = ? AND idx = ? AND session = ? AND state = ?") &&
               discard.prepare("INSERT INTO batch_discard (batch_name, identifier, station, discarded_at)"
                               " VALUES (?, ?, ?, ?)");
    }

    QSqlQuery touch, ownClaim, adoptClaim, takeReleased, advance, batchExists, item, insertClaim, markDone,
        claimState, holds, discard;
};

namespace {

// Binds the values in order and runs the statement.
template <typename... Values> bool Exec(QSqlQuery& query, const Values&... values) {
    int position = 0;
    (query.bindValue(position++, QVariant::fromValue(values)), ...);
    return query.exec();
}

QString ErrorOf(const QSqlQuery& query) {
    return query.lastError().text().trimmed();
}

} // namespace

CBatchStation::CBatchStation(QSqlDatabase db, const QString& stationName)
    : m_db(std::move(db)), m_strStation(stationName) {}

CBatchStation::~CBatchStation() {
    Stop();
}

BatchOutcome CBatchStation::SqlFailure(const QString& what, const QString& detail) {
    return Outcome(BatchStatus::Failed, what + ": " + detail);
}

BatchOutcome CBatchStation::Run(const std::function<BatchOutcome()>& work) {
    if (!m_statements) {
        m_statements = std::make_unique<Statements>(m_db);
        if (!m_statements->Prepare()) {
            m_statements.reset();
            if (!DatabaseReachable(m_db))
                return Outcome(BatchStatus::Unavailable, QStringLiteral("the journal database cannot be reached: ") +
                                                             m_db.lastError().text().trimmed());
            return SqlFailure(QStringLiteral("cannot prepare the batch statements"), m_db.lastError().text().trimmed());
        }
    }
    BatchOutcome outcome;
    QString error;
    if (!BeginWrite(m_db, &error)) {
        outcome = SqlFailure(QStringLiteral("cannot start a transaction"), error);
    } else {
        outcome = work();
        const bool keep = outcome.status == BatchStatus::Ok;
        if (keep && !m_db.commit())
            outcome = SqlFailure(QStringLiteral("cannot commit"), m_db.lastError().text().trimmed());
        if (!keep || outcome.status != BatchStatus::Ok)
            m_db.rollback();
    }
    if (outcome.status == BatchStatus::Failed && IsBusyText(outcome.message)) {
        outcome.status = BatchStatus::Unavailable;
        outcome.message = QStringLiteral("the journal is busy (%1); try again").arg(outcome.message);
        outcome.claim.reset();
    } else if (outcome.status == BatchStatus::Failed && !DatabaseReachable(m_db)) {
        // The server went away: the prepared statements went with its session.
        m_statements.reset();
        outcome.status = BatchStatus::Unavailable;
        outcome.message = QStringLiteral("the journal database cannot be reached (%1); no card is written until "
                                         "it is back")
                              .arg(outcome.message);
        outcome.claim.reset();
    }
    return outcome;
}

BatchOutcome CBatchStation::Start() {
    if (IsStarted())
        return Outcome(BatchStatus::Ok);
    QString error;
    if (!BeginWrite(m_db, &error))
        return Outcome(DatabaseReachable(m_db) ? BatchStatus::Failed : BatchStatus::Unavailable, error);
    const std::optional<SessionRow> row = ReadSession(m_db, m_strStation, &error);
    if (!row || SessionIsLive(*row)) {
        m_db.rollback();
        return row ? Outcome(BatchStatus::Refused, RunningElsewhere(m_strStation, *row))
                   : Outcome(BatchStatus::Failed, error);
    }
    const QString token = QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString now = BatchTimeNow();
    QSqlQuery write(m_db);
    if (!row->host.isEmpty()) {
        write.prepare("UPDATE station_session SET token = ?, host = ?, pid = ?, started_at = ?, seen_at = ?"
                      " WHERE name = ?");
        Exec(write, token, StationHostName(), CurrentProcessId(), now, now, m_strStation);
    } else {
        write.prepare("INSERT INTO station_session (token, host, pid, started_at, seen_at, name)"
                      " VALUES (?, ?, ?, ?, ?, ?)");
        Exec(write, token, StationHostName(), CurrentProcessId(), now, now, m_strStation);
    }
    if (write.lastError().isValid() || !m_db.commit()) {
        const bool duplicate = IsDuplicateKey(write.lastError());
        error = write.lastError().isValid() ? ErrorOf(write) : m_db.lastError().text().trimmed();
        m_db.rollback();
        if (duplicate) // another run took the name at the same moment
            return Outcome(BatchStatus::Refused, QStringLiteral("station \"%1\" is already running").arg(m_strStation));
        return Outcome(DatabaseReachable(m_db) ? BatchStatus::Failed : BatchStatus::Unavailable, error);
    }
    m_strToken = token;
    return Outcome(BatchStatus::Ok);
}

void CBatchStation::Stop() {
    if (!IsStarted())
        return;
    QSqlQuery release(m_db);
    release.prepare(QStringLiteral("UPDATE station_session SET token = ? WHERE name = ? AND token = ?"));
    Exec(release, QString(""), m_strStation, m_strToken);
    m_strToken.clear();
    m_statements.reset();
}

BatchOutcome CBatchStation::Touch() {
    QSqlQuery& touch = m_statements->touch;
    if (!Exec(touch, BatchTimeNow(), m_strStation, m_strToken))
        return SqlFailure(QStringLiteral("cannot refresh the station"), ErrorOf(touch));
    if (touch.numRowsAffected() != 1)
        return Outcome(BatchStatus::Refused,
                       QStringLiteral("another run of station \"%1\" has taken over its name").arg(m_strStation));
    return Outcome(BatchStatus::Ok);
}

BatchOutcome CBatchStation::Heartbeat() {
    if (!IsStarted())
        return Outcome(BatchStatus::Refused, QStringLiteral("the station has not started"));
    return Run([this] { return Touch(); });
}

bool CBatchStation::Reconnect() {
    m_statements.reset();
    const bool reopened = m_fnReconnect ? m_fnReconnect() : ReopenDatabase(m_db);
    return reopened && DatabaseReachable(m_db);
}

BatchOutcome CBatchStation::Claim(const QString& batch) {
    if (!IsStarted())
        return Outcome(BatchStatus::Refused, QStringLiteral("the station has not started"));
    BatchOutcome outcome = Run([&] { return ClaimInTransaction(batch); });
    if (outcome.status == BatchStatus::Exhausted || outcome.status == BatchStatus::NoBatch)
        Heartbeat(); // the refresh was rolled back with the empty claim
    return outcome;
}

BatchOutcome CBatchStation::ClaimInTransaction(const QString& batch) {
    Statements& s = *m_statements;
    if (BatchOutcome touched = Touch(); touched.status != BatchStatus::Ok)
        return touched;
    BatchOutcome outcome;
    const QString now = BatchTimeNow();
    // The number this station already holds: kept after a failed card, or left by its earlier run.
    if (!Exec(s.ownClaim, batch, m_strStation, QString(CLAIM_CLAIMED)))
        return SqlFailure(QStringLiteral("cannot look up the station's claim"), ErrorOf(s.ownClaim));
    if (s.ownClaim.next()) {
        outcome.claim = BatchClaim{batch, s.ownClaim.value(0).toLongLong(), std::uint64_t(s.ownClaim.value(1).toLongLong())};
        const bool adopted = s.ownClaim.value(2).toString() != m_strToken;
        s.ownClaim.finish();
        if (adopted && !Exec(s.adoptClaim, m_strToken, batch, outcome.claim->index, m_strStation, QString(CLAIM_CLAIMED)))
            return SqlFailure(QStringLiteral("cannot take back the claim"), ErrorOf(s.adoptClaim));
        return outcome;
    }
    s.ownClaim.finish();
    // A number released from a station that never came back.
    if (!Exec(s.takeReleased, QString(CLAIM_CLAIMED), m_strStation, m_strToken, now, batch, QString(CLAIM_RELEASED),
              batch, QString(CLAIM_RELEASED)))
        return SqlFailure(QStringLiteral("cannot take a released number"), ErrorOf(s.takeReleased));
    if (s.takeReleased.next()) {
        outcome.claim = BatchClaim{batch, s.takeReleased.value(0).toLongLong(),
                                   std::uint64_t(s.takeReleased.value(1).toLongLong())};
        s.takeReleased.finish();
        return outcome;
    }
    s.takeReleased.finish();
    // The next number of the batch's order.
    if (!Exec(s.advance, batch))
        return SqlFailure(QStringLiteral("cannot claim a number"), ErrorOf(s.advance));
    if (!s.advance.next()) {
        s.advance.finish();
        if (!Exec(s.batchExists, batch))
            return SqlFailure(QStringLiteral("cannot look up the batch"), ErrorOf(s.batchExists));
        const bool exists = s.batchExists.next();
        s.batchExists.finish();
        return exists ? Outcome(BatchStatus::Exhausted, QStringLiteral("every number of batch \"%1\" is taken").arg(batch))
                      : Outcome(BatchStatus::NoBatch, QStringLiteral("there is no batch named \"%1\"").arg(batch));
    }
    const qint64 index = s.advance.value(0).toLongLong() - 1;
    const bool isList = s.advance.value(1).toString() == QLatin1String("list");
    BatchRange range;
    range.vendor = s.advance.value(2).toInt();
    range.first = std::uint32_t(s.advance.value(3).toLongLong());
    range.last = std::uint32_t(s.advance.value(4).toLongLong());
    range.order = s.advance.value(5).toInt() ? BatchOrder::Random : BatchOrder::InOrder;
    const std::uint64_t seed = std::uint64_t(s.advance.value(6).toLongLong());
    s.advance.finish();
    std::uint64_t identifier = 0;
    if (isList) {
        if (!Exec(s.item, batch, index) || !s.item.next())
            return SqlFailure(QStringLiteral("cannot read the batch's list"), ErrorOf(s.item));
        identifier = std::uint64_t(s.item.value(0).toLongLong());
        s.item.finish();
    } else {
        identifier = RangeIdentifier(range, seed, std::uint64_t(index));
    }
    if (!Exec(s.insertClaim, batch, index, qint64(identifier), QString(CLAIM_CLAIMED), m_strStation, m_strToken, now))
        return SqlFailure(QStringLiteral("cannot record the claim"), ErrorOf(s.insertClaim));
    outcome.claim = BatchClaim{batch, index, identifier};
    return outcome;
}

BatchOutcome CBatchStation::RecordGood(const BatchClaim& claim, bool verified, const RecordInTransaction& record) {
    return RecordInTx(claim, verified ? CLAIM_VERIFIED : CLAIM_WRITTEN, record);
}

BatchOutcome CBatchStation::RecordThrowAway(const BatchClaim& claim, const RecordInTransaction& record) {
    return RecordInTx(claim, QString(), record);
}

BatchOutcome CBatchStation::RecordAttempt(const RecordInTransaction& record) {
    if (!IsStarted() || !record)
        return Outcome(BatchStatus::Ok);
    return Run([&]() -> BatchOutcome {
        QString error;
        if (!record(m_db, &error))
            return SqlFailure(QStringLiteral("cannot add the journal record"), error);
        return Touch();
    });
}

// state empty: a card to throw away, the claim stays.
BatchOutcome CBatchStation::RecordInTx(const BatchClaim& claim, const QString& state,
                                       const RecordInTransaction& record) {
    if (!IsStarted())
        return Outcome(BatchStatus::Refused, QStringLiteral("the station has not started"));
    return Run([&]() -> BatchOutcome {
        Statements& s = *m_statements;
        const QString now = BatchTimeNow();
        if (state.isEmpty()) {
            if (!Exec(s.holds, claim.batch, claim.index, m_strToken, QString(CLAIM_CLAIMED)) || !s.holds.next())
                return SqlFailure(QStringLiteral("cannot check the claim"), ErrorOf(s.holds));
            const bool held = s.holds.value(0).toLongLong() == 1;
            s.holds.finish();
            if (!held)
                return Outcome(BatchStatus::Refused, QStringLiteral("this station no longer holds the claim of %1")
                                                         .arg(claim.identifier));
            if (!Exec(s.discard, claim.batch, qint64(claim.identifier), m_strStation, now))
                return SqlFailure(QStringLiteral("cannot record the card to throw away"), ErrorOf(s.discard));
        } else {
            if (!Exec(s.markDone, state, now, claim.batch, claim.index, m_strToken, QString(CLAIM_CLAIMED)))
                return SqlFailure(QStringLiteral("cannot record the card"), ErrorOf(s.markDone));
            if (s.markDone.numRowsAffected() != 1) {
                // A commit whose answer was lost with the connection may already have recorded it.
                if (!Exec(s.claimState, claim.batch, claim.index))
                    return SqlFailure(QStringLiteral("cannot check the claim"), ErrorOf(s.claimState));
                const bool done = s.claimState.next() && s.claimState.value(0).toString() == state &&
                                  s.claimState.value(1).toString() == m_strToken;
                s.claimState.finish();
                if (done)
                    return Outcome(BatchStatus::Ok);
                return Outcome(BatchStatus::Refused, QStringLiteral("this station no longer holds the claim of %1")
                                                         .arg(claim.identifier));
            }
        }
        QString error;
        if (record && !record(m_db, &error))
            return SqlFailure(QStringLiteral("cannot add the journal record"), error);
        return Touch();
    });
}

bool StationIsLive(QSqlDatabase& db, const QString& station, QString* who, QString* error) {
    const std::optional<SessionRow> row = ReadSession(db, station, error);
    if (!row)
        return false;
    if (who)
        *who = RunningElsewhere(station, *row);
    return SessionIsLive(*row);
}

int ReleaseStationClaims(QSqlDatabase& db, const QString& batch, const QString& station, QString* error) {
    if (!BeginWrite(db, error))
        return -1;
    QString who, lookUpError;
    const bool live = StationIsLive(db, station, &who, &lookUpError);
    if (live || !lookUpError.isEmpty()) {
        *error = lookUpError;
        db.rollback();
        if (live)
            *error = who + QStringLiteral("; its claims are released only when it is not running");
        return -1;
    }
    QSqlQuery release(db);
    release.prepare(QStringLiteral("UPDATE batch_claim SET state = ?, station = NULL, session = NULL"
                                   " WHERE batch_name = ? AND station = ? AND state = ?"));
    Exec(release, QString(CLAIM_RELEASED), batch, station, QString(CLAIM_CLAIMED));
    const int released = release.lastError().isValid() ? -1 : release.numRowsAffected();
    if (released < 0 || !db.commit()) {
        *error = release.lastError().isValid() ? ErrorOf(release) : db.lastError().text().trimmed();
        db.rollback();
        return -1;
    }
    return released;
}
