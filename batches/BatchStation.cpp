#include "batches/BatchStation.h"

#include "batches/BatchSql.h"
#include "journal/Database.h"
#include "platform/System.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <algorithm>


namespace {

// This run still has the station's name: checked in the statement that claims or records.
const QString stillOurs = QStringLiteral(" AND EXISTS (SELECT 1 FROM station_session WHERE name = ? AND token = ?)");
// A good card: its claim becomes done, while this run holds it.
const QString markDoneSql = QStringLiteral("UPDATE batch_claim SET state = ?, done_at = ?"
                                           " WHERE batch_name = ? AND idx = ? AND session = ? AND state = ?") +
                            stillOurs;

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
        : touch(db), ownClaim(db), adoptClaim(db), heldClaim(db), take(db), live(db), batchRow(db), anyFree(db),
          extend(db), items(db), markDone(db), claimState(db), holds(db), discard(db) {}

    bool Prepare(JournalEngine engine) {
        // The row a claim takes: the first free row of the batch, released numbers first (their order is
        // below zero). PostgreSQL passes over the rows other stations are taking right now rather than
        // waiting for them, and looks for new numbers from the station's last one on (the rows taken
        // before stay in the index of free rows as dead entries until the server cleans up, and every
        // claim would step over them again); the second choice of COALESCE is read only when the first
        // finds none. It finds the row by its place in the table: by batch and index, the planner may
        // pick the index of states, which holds idx behind the state, and read the batch's rows there.
        const QString takenRow =
            engine != JournalEngine::PostgreSQL
                ? QStringLiteral("idx = (SELECT idx FROM batch_claim WHERE batch_name = ? AND free_order IS NOT NULL"
                                 " ORDER BY free_order LIMIT 1)")
                : QStringLiteral("ctid = COALESCE("
                                 "(SELECT ctid FROM batch_claim WHERE batch_name = ? AND free_order < 0"
                                 " ORDER BY free_order LIMIT 1 FOR UPDATE SKIP LOCKED),"
                                 " (SELECT ctid FROM batch_claim WHERE batch_name = ? AND free_order >= ?"
                                 " ORDER BY free_order LIMIT 1 FOR UPDATE SKIP LOCKED))");
        return touch.prepare("UPDATE station_session SET seen_at = ? WHERE name = ? AND token = ?") &&
               ownClaim.prepare("SELECT idx, identifier, session FROM batch_claim"
                                " WHERE batch_name = ? AND station = ? AND state = ? ORDER BY idx") &&
               adoptClaim.prepare("UPDATE batch_claim SET session = ?"
                                  " WHERE batch_name = ? AND idx = ? AND station = ? AND state = ?" + stillOurs) &&
               heldClaim.prepare("SELECT identifier FROM batch_claim"
                                 " WHERE batch_name = ? AND idx = ? AND session = ? AND state = ?" + stillOurs) &&
               take.prepare("UPDATE batch_claim SET state = ?, station = ?, session = ?, claimed_at = ?,"
                            " done_at = NULL, free_order = NULL WHERE batch_name = ? AND " + takenRow + stillOurs +
                            " RETURNING idx, identifier") &&
               live.prepare("SELECT COUNT(*) FROM station_session WHERE name = ? AND token = ?") &&
               batchRow.prepare("SELECT next_index, total, kind, vendor, first_card, last_card, random_order, seed"
                                " FROM batch WHERE name = ?") &&
               anyFree.prepare("SELECT COUNT(*) FROM batch_claim WHERE batch_name = ? AND free_order IS NOT NULL") &&
               extend.prepare("UPDATE batch SET next_index = ? WHERE name = ? AND next_index = ?") &&
               items.prepare("SELECT identifier FROM batch_item WHERE batch_name = ? AND idx >= ? AND idx < ?"
                             " ORDER BY idx") &&
               markDone.prepare(markDoneSql) &&
               claimState.prepare("SELECT state, session FROM batch_claim WHERE batch_name = ? AND idx = ?") &&
               holds.prepare("SELECT COUNT(*) FROM batch_claim"
                             " WHERE batch_name = ? AND idx = ? AND session = ? AND state = ?" + stillOurs) &&
               discard.prepare("INSERT INTO batch_discard (batch_name, identifier, station, discarded_at)"
                               " VALUES (?, ?, ?, ?)");
    }

    QSqlQuery touch, ownClaim, adoptClaim, heldClaim, take, live, batchRow, anyFree, extend, items, markDone,
        claimState, holds, discard;
};

namespace {

// How many numbers a station makes ahead when it finds no free row: enough that making them is rare
// even when dozens of stations all find none at once (a few statements each, shared by this many
// cards), few enough to be one quick statement.
constexpr qint64 kNumbersMadeAhead = 1024;
// A claim that keeps finding its free rows taken by others tries this often before it says so.
constexpr int kClaimAttempts = 8;
// The heartbeat's period: a third of the lease, so a late one or two never lose the name.
constexpr qint64 kHeartbeatMs = qint64(STATION_LEASE_SECONDS) * 1000 / 3;

// Binds the values in order and runs the statement.
template <typename... Values> bool ExecBound(QSqlQuery& query, const Values&... values) {
    int position = 0;
    (query.bindValue(position++, QVariant::fromValue(values)), ...);
    return query.exec();
}

template <typename... Values> bool Exec(QSqlQuery& query, const Values&... values) {
    return ExecBound(query, values...);
}

QString ErrorOf(const QSqlQuery& query) {
    return query.lastError().text().trimmed();
}

// A block of numbers to make: rows from..from+n-1 of a batch, free except the one at claimedIndex (-1: none),
// which the station claims.
struct BlockRows {
    const QString& batch;
    qint64 from;
    const std::vector<std::uint64_t>& identifiers;
    QString now;
    qint64 claimedIndex;
    const QString& station;
    const QString& session;
};

// The block as one row of values per number (SQLite binds each value natively).
bool PrepareBlockAsRows(QSqlQuery& insert, const BlockRows& block) {
    QStringList rows;
    for (std::size_t i = 0; i < block.identifiers.size(); ++i)
        rows << QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?)");
    if (!insert.prepare("INSERT INTO batch_claim (batch_name, idx, identifier, state, station, session, claimed_at,"
                        " free_order) VALUES " + rows.join(", ")))
        return false;
    const QVariant noText(QMetaType(QMetaType::QString));
    const QVariant noOrder(QMetaType(QMetaType::LongLong));
    for (std::size_t i = 0; i < block.identifiers.size(); ++i) {
        const qint64 index = block.from + qint64(i);
        const bool mine = index == block.claimedIndex;
        insert.addBindValue(block.batch);
        insert.addBindValue(index);
        insert.addBindValue(qint64(block.identifiers[i]));
        insert.addBindValue(QString(mine ? CLAIM_CLAIMED : CLAIM_LEFT));
        insert.addBindValue(mine ? QVariant(block.station) : noText);
        insert.addBindValue(mine ? QVariant(block.session) : noText);
        insert.addBindValue(block.now);
        insert.addBindValue(mine ? noOrder : QVariant(index));
    }
    return true;
}

// The block's numbers as one array value (PostgreSQL): the driver writes every bound value into the
// statement's text, and a thousand rows of eight values each cost the server a large parse and plan
// per block, long enough under load for the other stations to run out of free numbers meanwhile.
bool PrepareBlockAsArray(QSqlQuery& insert, const BlockRows& block) {
    QStringList numbers;
    for (std::uint64_t identifier : block.identifiers)
        numbers << QString::number(identifier);
    const QString array = QLatin1Char('{') + numbers.join(QLatin1Char(',')) + QLatin1Char('}');
    if (!insert.prepare("INSERT INTO batch_claim (batch_name, idx, identifier, state, station, session, claimed_at,"
                        " free_order)"
                        " SELECT ?, idx, identifier, CASE WHEN idx = ? THEN ? ELSE ? END,"
                        " CASE WHEN idx = ? THEN ? END, CASE WHEN idx = ? THEN ? END, ?,"
                        " CASE WHEN idx = ? THEN NULL ELSE idx END"
                        " FROM (SELECT ?::bigint + n - 1 AS idx, identifier"
                        " FROM unnest(?::bigint[]) WITH ORDINALITY AS block (identifier, n)) AS numbers"))
        return false;
    for (const QVariant& value :
         {QVariant(block.batch), QVariant(block.claimedIndex), QVariant(QString(CLAIM_CLAIMED)),
          QVariant(QString(CLAIM_LEFT)), QVariant(block.claimedIndex), QVariant(block.station),
          QVariant(block.claimedIndex), QVariant(block.session), QVariant(block.now), QVariant(block.claimedIndex),
          QVariant(block.from), QVariant(array)})
        insert.addBindValue(value);
    return true;
}

} // namespace

template <typename... Values> bool CBatchStation::Exec(QSqlQuery& query, const Values&... values) {
    ++m_nStatements;
    return ExecBound(query, values...);
}

CBatchStation::CBatchStation(QSqlDatabase db, const QString& stationName)
    : m_db(std::move(db)), m_strStation(stationName) {}

CBatchStation::~CBatchStation() {
    Stop();
}

BatchOutcome CBatchStation::SqlFailure(const QString& what, const QString& detail) {
    return Outcome(BatchStatus::Failed, what + ": " + detail);
}

BatchOutcome CBatchStation::Refusal() const {
    return Outcome(BatchStatus::Refused,
                   QStringLiteral("another run of station \"%1\" has taken over its name").arg(m_strStation));
}

void CBatchStation::ForgetClaims() {
    m_held.clear();
    m_looked.clear();
    m_takeFrom.clear();
}

BatchOutcome CBatchStation::Run(const std::function<BatchOutcome()>& work, bool inTransaction) {
    if (!m_statements) {
        m_statements = std::make_unique<Statements>(m_db);
        if (!m_statements->Prepare(EngineOf(m_db))) {
            m_statements.reset();
            if (!DatabaseReachable(m_db))
                return Outcome(BatchStatus::Unavailable, QStringLiteral("the journal database cannot be reached: ") +
                                                             m_db.lastError().text().trimmed());
            return SqlFailure(QStringLiteral("cannot prepare the batch statements"), m_db.lastError().text().trimmed());
        }
    }
    BatchOutcome outcome;
    QString error;
    if (!inTransaction) {
        outcome = work();
    } else if (m_nStatements += 2, m_nTransactionStatements += 2; !BeginWrite(m_db, &error)) { // begin, commit
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
    if (outcome.status == BatchStatus::Unavailable)
        ForgetClaims(); // a claim whose answer was lost is found again by looking for the station's own
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
        ::Exec(write, token, StationHostName(), CurrentProcessId(), now, now, m_strStation);
    } else {
        write.prepare("INSERT INTO station_session (token, host, pid, started_at, seen_at, name)"
                      " VALUES (?, ?, ?, ?, ?, ?)");
        ::Exec(write, token, StationHostName(), CurrentProcessId(), now, now, m_strStation);
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
    ForgetClaims();
    m_sinceSeen.start();
    return Outcome(BatchStatus::Ok);
}

void CBatchStation::Stop() {
    if (!IsStarted())
        return;
    QSqlQuery release(m_db);
    release.prepare(QStringLiteral("UPDATE station_session SET token = ? WHERE name = ? AND token = ?"));
    ::Exec(release, QString(""), m_strStation, m_strToken);
    m_strToken.clear();
    m_statements.reset();
    ForgetClaims();
}

BatchOutcome CBatchStation::Touch() {
    QSqlQuery& touch = m_statements->touch;
    if (!Exec(touch, BatchTimeNow(), m_strStation, m_strToken))
        return SqlFailure(QStringLiteral("cannot refresh the station"), ErrorOf(touch));
    if (touch.numRowsAffected() != 1)
        return Refusal();
    m_sinceSeen.start();
    return Outcome(BatchStatus::Ok);
}

BatchOutcome CBatchStation::Heartbeat() {
    if (!IsStarted())
        return Outcome(BatchStatus::Refused, QStringLiteral("the station has not started"));
    return Run([this] { return Touch(); }, false);
}

bool CBatchStation::Reconnect() {
    m_statements.reset();
    ForgetClaims();
    const bool reopened = m_fnReconnect ? m_fnReconnect() : ReopenDatabase(m_db);
    return reopened && DatabaseReachable(m_db);
}

BatchOutcome CBatchStation::Claim(const QString& batch) {
    if (!IsStarted())
        return Outcome(BatchStatus::Refused, QStringLiteral("the station has not started"));
    if (m_sinceSeen.hasExpired(kHeartbeatMs)) {
        if (BatchOutcome beat = Heartbeat(); beat.status != BatchStatus::Ok)
            return beat;
    }
    for (int attempt = 0; attempt < kClaimAttempts; ++attempt) {
        BatchOutcome outcome = Run([&] { return TakeNumber(batch); }, false);
        if (outcome.status == BatchStatus::Ok && !outcome.claim) // no free row: make the next ones
            outcome = Run([&] { return MakeNumbers(batch, std::nullopt); });
        if (outcome.status == BatchStatus::Ok && outcome.claim) {
            // Halfway through a block, its taker makes the next one while free rows remain, so the
            // stations do not all run out at once and queue on the batch to make more. Its outcome does
            // not matter here: a station that finds no free row still makes them.
            if (outcome.claim->index % kNumbersMadeAhead == kNumbersMadeAhead / 2)
                Run([&] { return MakeNumbers(batch, outcome.claim->index); });
            m_held[batch] = *outcome.claim;
        }
        if (outcome.status != BatchStatus::Ok || outcome.claim)
            return outcome;
        // Another station made the next numbers, or took the last free ones, at the same moment.
    }
    return Outcome(BatchStatus::Unavailable, QStringLiteral("the stations are taking the numbers of batch \"%1\" "
                                                            "faster than they are made; try again")
                                                 .arg(batch));
}

// The claim an earlier run of the station left in the batch (or one of this run whose answer was lost).
BatchOutcome CBatchStation::TakeOwnClaim(const QString& batch) {
    Statements& s = *m_statements;
    if (!Exec(s.ownClaim, batch, m_strStation, QString(CLAIM_CLAIMED)))
        return SqlFailure(QStringLiteral("cannot look up the station's claim"), ErrorOf(s.ownClaim));
    m_looked.insert(batch);
    if (!s.ownClaim.next()) {
        s.ownClaim.finish();
        return Outcome(BatchStatus::Ok);
    }
    BatchOutcome outcome;
    outcome.claim = BatchClaim{batch, s.ownClaim.value(0).toLongLong(), std::uint64_t(s.ownClaim.value(1).toLongLong())};
    const bool adopted = s.ownClaim.value(2).toString() != m_strToken;
    s.ownClaim.finish();
    if (!adopted)
        return outcome;
    if (!Exec(s.adoptClaim, m_strToken, batch, outcome.claim->index, m_strStation, QString(CLAIM_CLAIMED), m_strStation,
              m_strToken))
        return SqlFailure(QStringLiteral("cannot take back the claim"), ErrorOf(s.adoptClaim));
    return s.adoptClaim.numRowsAffected() == 1 ? outcome : Refusal();
}

// Ok with the claim, or Ok without one when the batch has no free row now.
BatchOutcome CBatchStation::TakeNumber(const QString& batch) {
    Statements& s = *m_statements;
    if (!m_looked.count(batch)) {
        BatchOutcome own = TakeOwnClaim(batch);
        if (own.status != BatchStatus::Ok || own.claim)
            return own;
    }
    // The number this station holds: kept after a failed card.
    if (const auto held = m_held.find(batch); held != m_held.end()) {
        const BatchClaim claim = held->second;
        if (!Exec(s.heldClaim, batch, claim.index, m_strToken, QString(CLAIM_CLAIMED), m_strStation, m_strToken))
            return SqlFailure(QStringLiteral("cannot look up the station's claim"), ErrorOf(s.heldClaim));
        const bool stillHeld = s.heldClaim.next();
        s.heldClaim.finish();
        if (stillHeld) {
            BatchOutcome outcome;
            outcome.claim = claim;
            return outcome;
        }
        m_held.erase(held); // released while the station was not seen, or its name was taken over
    }
    // A released number, else the next of the batch's order: the first free row.
    const bool postgres = EngineOf(m_db) == JournalEngine::PostgreSQL;
    qint64& takeFrom = m_takeFrom[batch]; // stays 0 on SQLite
    for (;;) {
        const QString now = BatchTimeNow();
        const QString claimed = CLAIM_CLAIMED;
        const bool taken =
            postgres ? Exec(s.take, claimed, m_strStation, m_strToken, now, batch, batch, batch, takeFrom, m_strStation,
                            m_strToken)
                     : Exec(s.take, claimed, m_strStation, m_strToken, now, batch, batch, m_strStation, m_strToken);
        if (!taken)
            return SqlFailure(QStringLiteral("cannot claim a number"), ErrorOf(s.take));
        BatchOutcome outcome;
        if (s.take.next())
            outcome.claim = BatchClaim{batch, s.take.value(0).toLongLong(), std::uint64_t(s.take.value(1).toLongLong())};
        s.take.finish();
        if (outcome.claim || takeFrom == 0) {
            if (outcome.claim && postgres)
                takeFrom = std::max<qint64>(takeFrom, outcome.claim->index);
            return outcome;
        }
        // None from here on: look again from the start, for a row another station was taking and let go.
        takeFrom = 0;
    }
}

// In a transaction: the station has its name, the batch has numbers not made yet; makes the next block.
// Without aheadOf, the station found no free row and claims the block's first number; Ok without a claim:
// try to take a free row again. With aheadOf, the block is made while fewer than half a block of numbers
// are made after that index, all free, and the outcome is Ok without a claim.
BatchOutcome CBatchStation::MakeNumbers(const QString& batch, std::optional<qint64> aheadOf) {
    Statements& s = *m_statements;
    if (!Exec(s.live, m_strStation, m_strToken) || !s.live.next())
        return SqlFailure(QStringLiteral("cannot look up the station"), ErrorOf(s.live));
    const bool ours = s.live.value(0).toLongLong() == 1;
    s.live.finish();
    if (!ours)
        return Refusal();
    if (!Exec(s.batchRow, batch))
        return SqlFailure(QStringLiteral("cannot look up the batch"), ErrorOf(s.batchRow));
    if (!s.batchRow.next()) {
        s.batchRow.finish();
        return Outcome(BatchStatus::NoBatch, QStringLiteral("there is no batch named \"%1\"").arg(batch));
    }
    const qint64 made = s.batchRow.value(0).toLongLong();
    const qint64 total = s.batchRow.value(1).toLongLong();
    const bool isList = s.batchRow.value(2).toString() == QLatin1String("list");
    BatchRange range;
    range.vendor = s.batchRow.value(3).toInt();
    range.first = std::uint32_t(s.batchRow.value(4).toLongLong());
    range.last = std::uint32_t(s.batchRow.value(5).toLongLong());
    range.order = s.batchRow.value(6).toInt() ? BatchOrder::Random : BatchOrder::InOrder;
    const std::uint64_t seed = std::uint64_t(s.batchRow.value(7).toLongLong());
    s.batchRow.finish();
    if (aheadOf && (made >= total || made - *aheadOf > kNumbersMadeAhead / 2))
        return Outcome(BatchStatus::Ok); // made already, or nothing left to make
    if (made >= total) {
        // Every number is made: free rows left are ones another station was taking a moment ago.
        if (!Exec(s.anyFree, batch) || !s.anyFree.next())
            return SqlFailure(QStringLiteral("cannot look up the batch"), ErrorOf(s.anyFree));
        const bool free = s.anyFree.value(0).toLongLong() > 0;
        s.anyFree.finish();
        return free ? Outcome(BatchStatus::Ok)
                    : Outcome(BatchStatus::Exhausted, QStringLiteral("every number of batch \"%1\" is taken").arg(batch));
    }
    const qint64 end = std::min(total, made + kNumbersMadeAhead);
    if (!Exec(s.extend, end, batch, made))
        return SqlFailure(QStringLiteral("cannot make the batch's next numbers"), ErrorOf(s.extend));
    if (s.extend.numRowsAffected() != 1)
        return Outcome(BatchStatus::Ok); // another station made them first
    std::vector<std::uint64_t> identifiers;
    if (isList) {
        if (!Exec(s.items, batch, made, end))
            return SqlFailure(QStringLiteral("cannot read the batch's list"), ErrorOf(s.items));
        while (s.items.next())
            identifiers.push_back(std::uint64_t(s.items.value(0).toLongLong()));
        s.items.finish();
        if (qint64(identifiers.size()) != end - made)
            return SqlFailure(QStringLiteral("cannot read the batch's list"),
                              QStringLiteral("numbers %1 to %2 are missing").arg(made).arg(end - 1));
    } else {
        for (qint64 index = made; index < end; ++index)
            identifiers.push_back(RangeIdentifier(range, seed, std::uint64_t(index)));
    }
    QString error;
    if (!InsertBlock(batch, made, identifiers, !aheadOf, &error))
        return SqlFailure(QStringLiteral("cannot make the batch's next numbers"), error);
    BatchOutcome outcome;
    if (!aheadOf)
        outcome.claim = BatchClaim{batch, made, identifiers.front()};
    return outcome;
}

// The rows of numbers from..from+n-1, free in batch order; with claimFirst the first claimed by this station.
bool CBatchStation::InsertBlock(const QString& batch, qint64 from, const std::vector<std::uint64_t>& identifiers,
                                bool claimFirst, QString* error) {
    BlockRows block{batch, from, identifiers, BatchTimeNow(), claimFirst ? from : -1, m_strStation, m_strToken};
    QSqlQuery insert(m_db);
    const bool prepared = EngineOf(m_db) == JournalEngine::PostgreSQL ? PrepareBlockAsArray(insert, block)
                                                                      : PrepareBlockAsRows(insert, block);
    ++m_nStatements;
    if (prepared && insert.exec())
        return true;
    *error = ErrorOf(insert);
    return false;
}

BatchOutcome CBatchStation::RecordGood(const BatchClaim& claim, bool verified, const ResultJournal& record) {
    const QString state = verified ? CLAIM_VERIFIED : CLAIM_WRITTEN;
    BatchOutcome outcome = record.joined ? RecordJoinedGood(claim, state, record.joined)
                                         : RecordInTx(claim, state, record.inTransaction);
    if (outcome.status == BatchStatus::Ok) {
        const auto held = m_held.find(claim.batch);
        if (held != m_held.end() && held->second.index == claim.index)
            m_held.erase(held);
    }
    return outcome;
}

// The claim's update and the journal records in one statement: the card's one round trip after its claim.
BatchOutcome CBatchStation::RecordJoinedGood(const BatchClaim& claim, const QString& state, const RecordJoined& record) {
    if (!IsStarted())
        return Outcome(BatchStatus::Refused, QStringLiteral("the station has not started"));
    return Run(
        [&]() -> BatchOutcome {
            ++m_nStatements;
            bool added = false;
            QString error;
            if (!record(markDoneSql + QStringLiteral(" RETURNING idx"),
                        {state, BatchTimeNow(), claim.batch, qlonglong(claim.index), m_strToken, QString(CLAIM_CLAIMED),
                         m_strStation, m_strToken},
                        &added, &error))
                return SqlFailure(QStringLiteral("cannot record the card"), error);
            return added ? Outcome(BatchStatus::Ok) : DoneOrNotHeld(claim, state);
        },
        false);
}

// The claim was not changed: a statement whose answer was lost with the connection may already have
// recorded the card (its journal records with it), or the claim is no longer this run's.
BatchOutcome CBatchStation::DoneOrNotHeld(const BatchClaim& claim, const QString& state) {
    Statements& s = *m_statements;
    if (!Exec(s.claimState, claim.batch, claim.index))
        return SqlFailure(QStringLiteral("cannot check the claim"), ErrorOf(s.claimState));
    const bool done = s.claimState.next() && s.claimState.value(0).toString() == state &&
                      s.claimState.value(1).toString() == m_strToken;
    s.claimState.finish();
    return done ? Outcome(BatchStatus::Ok)
                : Outcome(BatchStatus::Refused,
                          QStringLiteral("this station no longer holds the claim of %1").arg(claim.identifier));
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
        return Outcome(BatchStatus::Ok);
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
        const auto notHeld = [&] {
            return Outcome(BatchStatus::Refused,
                           QStringLiteral("this station no longer holds the claim of %1").arg(claim.identifier));
        };
        if (state.isEmpty()) {
            if (!Exec(s.holds, claim.batch, claim.index, m_strToken, QString(CLAIM_CLAIMED), m_strStation, m_strToken) ||
                !s.holds.next())
                return SqlFailure(QStringLiteral("cannot check the claim"), ErrorOf(s.holds));
            const bool held = s.holds.value(0).toLongLong() == 1;
            s.holds.finish();
            if (!held)
                return notHeld();
            if (!Exec(s.discard, claim.batch, qint64(claim.identifier), m_strStation, now))
                return SqlFailure(QStringLiteral("cannot record the card to throw away"), ErrorOf(s.discard));
        } else {
            if (!Exec(s.markDone, state, now, claim.batch, claim.index, m_strToken, QString(CLAIM_CLAIMED), m_strStation,
                      m_strToken))
                return SqlFailure(QStringLiteral("cannot record the card"), ErrorOf(s.markDone));
            if (s.markDone.numRowsAffected() != 1)
                return DoneOrNotHeld(claim, state);
        }
        QString error;
        if (record && !record(m_db, &error))
            return SqlFailure(QStringLiteral("cannot add the journal record"), error);
        return Outcome(BatchStatus::Ok);
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
    release.prepare(QStringLiteral("UPDATE batch_claim SET state = ?, station = NULL, session = NULL,"
                                   " free_order = idx - ? WHERE batch_name = ? AND station = ? AND state = ?"));
    Exec(release, QString(CLAIM_RELEASED), RELEASED_ORDER_OFFSET, batch, station, QString(CLAIM_CLAIMED));
    const int released = release.lastError().isValid() ? -1 : release.numRowsAffected();
    if (released < 0 || !db.commit()) {
        *error = release.lastError().isValid() ? ErrorOf(release) : db.lastError().text().trimmed();
        db.rollback();
        return -1;
    }
    return released;
}
