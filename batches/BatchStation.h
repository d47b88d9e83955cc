#pragma once

// A station's side of a batch: its session under its station name, and its claims.
//
// A claim belongs to a station name. Only one running station may use a name: the station_session row
// of the name holds the token of the run that has it, its host and process id, and when it was last
// seen. A run that starts takes the name when the row has no token, when it was last seen longer ago
// than the lease, or when it was left by a process of this host that no longer exists (a station killed
// and started again takes its name back at once). Otherwise it is refused: two stations never share a
// claim. A running station refreshes the row with every claim and with Heartbeat().
//
// A heartbeat row works on both engines with the same SQL, which server-side session locks would not
// (SQLite has none), and it survives a server restart, after which the same run simply goes on. The
// heartbeat is not part of a card: a claim refreshes the row only when the last refresh is a third of
// the lease old, and every claim and record checks in its own statement that this run still has the name.
//
// Claims: Claim() first gives back the number this station already holds in the batch (a write error
// or a failed verification keeps it, and a new run of the station takes over its earlier run's claim),
// then a number released by `rfidctl batch release`, then the next number of the batch's order. A claim
// is one statement that takes the first free row of the batch (a row made ahead, in claim order); on
// PostgreSQL rows another station is taking are skipped rather than waited for, so no row is one that
// every claim updates. The rows are made a block at a time: by the station that takes the middle row of
// a block, so the next block is there before the stations need it, else by one that finds none free.
// Where the journal can, a good card's claim and its journal records are one statement. A lost
// connection leaves nothing half done: after it, the station looks for a claim of its own first, so a
// claim whose answer was lost is taken up again, never skipped.

#include "batches/Batch.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QString>
#include <QVariantList>


#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <type_traits>
#include <vector>

class QSqlQuery;

struct BatchClaim {
    QString batch;
    std::int64_t index = 0;
    std::uint64_t identifier = 0;
};

enum class BatchStatus {
    Ok,
    Exhausted,   // every number of the batch is claimed or done
    NoBatch,     // no batch of that name
    Refused,     // another running station has the name, or took this station's claim over
    Unavailable, // the database cannot be reached: nothing was claimed or recorded
    Failed,      // any other database error (a missing permission, ...)
};

struct BatchOutcome {
    BatchStatus status = BatchStatus::Ok;
    QString message;                 // for every status but Ok
    std::optional<BatchClaim> claim; // Claim(): the number to write
};

// Adds the journal record of a result inside the transaction that records the result, so the two are
// committed together or not at all.
using RecordInTransaction = std::function<bool(QSqlDatabase& db, QString* error)>;

// Adds a good card's journal records in the one statement that records the card: guard is the update of
// its claim (with RETURNING), to be bound to guardValues first; *added says whether the update changed the
// claim, and so whether the records were added with it. False with *error on a database error.
using RecordJoined =
    std::function<bool(const QString& guard, const QVariantList& guardValues, bool* added, QString* error)>;

// The journal records of a result: added inside the transaction that records it or, where the journal
// can (joined set), in the very statement that records a good card, without a transaction.
struct ResultJournal {
    ResultJournal() = default;
    template <typename Add, typename = std::enable_if_t<std::is_invocable_r_v<bool, Add&, QSqlDatabase&, QString*>>>
    ResultJournal(Add add) : inTransaction(std::move(add)) {}

    RecordInTransaction inTransaction;
    RecordJoined joined;
};

// How long a station that is not seen stays the owner of its name (seconds).
constexpr int STATION_LEASE_SECONDS = 30;

class CBatchStation {
public:
    CBatchStation(QSqlDatabase db, const QString& stationName);
    ~CBatchStation();
    CBatchStation(const CBatchStation&) = delete;
    CBatchStation& operator=(const CBatchStation&) = delete;

    const QString& StationName() const { return m_strStation; }

    // Takes the station name for this run, or refuses (Refused) while another run has it.
    BatchOutcome Start();
    // Gives the name up (claims stay with the name, for the station's next run).
    void Stop();
    bool IsStarted() const { return !m_strToken.isEmpty(); }
    BatchOutcome Heartbeat();

    BatchOutcome Claim(const QString& batch);

    // A good card: the claim becomes written (verified false) or verified.
    BatchOutcome RecordGood(const BatchClaim& claim, bool verified, const ResultJournal& record = {});
    // A card that failed its verification: kept as a card to throw away; the claim stays.
    BatchOutcome RecordThrowAway(const BatchClaim& claim, const RecordInTransaction& record = {});

    // A failed write: only its journal record is added (the claim stays as it is).
    BatchOutcome RecordAttempt(const RecordInTransaction& record);

    // After Unavailable: opens the connection again. True when the database answers again.
    bool Reconnect();
    // How Reconnect opens the connection again instead of reopening it itself: a station that shares
    // the journal's connection lets the journal reopen it, so the journal's prepared statements come
    // back with the station's.
    void SetReconnect(std::function<bool()> reconnect) { m_fnReconnect = std::move(reconnect); }

    QSqlDatabase& Database() { return m_db; }

    // The statements this station has sent (transaction begin and commit included), for the benchmark.
    std::int64_t StatementCount() const { return m_nStatements; }
    // Of those, the begins and commits (or roll-backs) of transactions.
    std::int64_t TransactionStatementCount() const { return m_nTransactionStatements; }

private:
    struct Statements;
    template <typename... Values> bool Exec(QSqlQuery& query, const Values&... values);
    BatchOutcome Run(const std::function<BatchOutcome()>& work, bool inTransaction = true);
    BatchOutcome Touch();
    BatchOutcome TakeNumber(const QString& batch);
    BatchOutcome TakeOwnClaim(const QString& batch);
    BatchOutcome MakeNumbers(const QString& batch, std::optional<qint64> aheadOf);
    bool InsertBlock(const QString& batch, qint64 from, const std::vector<std::uint64_t>& identifiers, bool claimFirst,
                     QString* error);
    BatchOutcome Refusal() const;
    BatchOutcome RecordInTx(const BatchClaim& claim, const QString& state, const RecordInTransaction& record);
    BatchOutcome RecordJoinedGood(const BatchClaim& claim, const QString& state, const RecordJoined& record);
    BatchOutcome DoneOrNotHeld(const BatchClaim& claim, const QString& state);
    BatchOutcome SqlFailure(const QString& what, const QString& detail);
    void ForgetClaims();

    QSqlDatabase m_db;
    QString m_strStation;
    QString m_strToken;
    std::unique_ptr<Statements> m_statements;
    std::function<bool()> m_fnReconnect;
    // The claim this run holds in each batch, and the batches where it looked for its earlier run's claim.
    std::map<QString, BatchClaim> m_held;
    std::set<QString> m_looked;
    // Where in each batch's order this run looks for its next number (PostgreSQL): its last one.
    std::map<QString, qint64> m_takeFrom;
    QElapsedTimer m_sinceSeen;
    std::int64_t m_nStatements = 0;
    std::int64_t m_nTransactionStatements = 0;
};

// Releases the claims a station holds in a batch, so other stations take those numbers. Refused while
// the station is running. Returns the number of released claims, or -1 with *error set.
int ReleaseStationClaims(QSqlDatabase& db, const QString& batch, const QString& station, QString* error);

// Whether a station name is held by a running station now (see the rules above).
bool StationIsLive(QSqlDatabase& db, const QString& station, QString* who, QString* error);

// This host's name, as stations record it.
QString StationHostName();
