#pragma once

// CJournal: the production journal over Qt SQL, on a local SQLite file (one station) or a database
// server. Everything the program and rfidctl keep on record goes through this one interface.

#include "journal/JournalRecord.h"
#include "journal/JournalSchema.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantList>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class QSqlQuery;
struct DatabaseLocation;

// Where a record stands in the journal's order: newest first by time, then by id.
struct JournalKey {
    QString time; // the stored time text
    std::int64_t id = 0;
};
JournalKey KeyOf(const JournalRecord& record);

// Which records to show, count or export. Empty parts do not filter.
struct JournalFilter {
    // A card searched for, in any form ParseIdentifierSearch takes: one identifier, or a card number
    // under any vendor. Text that is none of them matches no record.
    QString identifierText{};
    std::optional<JournalResult> result{};
    QDateTime since{};                   // from this time on
    QDateTime until{};                   // before this time
    QString station{};
    std::optional<JournalSource> source{};
    QString batch{};
    std::int64_t idAbove = 0;            // only records added after the record with this id
    std::int64_t idAtMost = 0;           // only records up to this id (0: all), as a view last counted
    std::optional<JournalKey> keyAbove{};  // only records after this one in the journal's order
    std::optional<JournalKey> keyAtMost{}; // only records up to this one in the journal's order
};

// One page of the records of a filter: newest first, or oldest first; beyond a key in that order, or
// skipping offset records from that end.
struct JournalPageQuery {
    bool oldestFirst = false;
    std::optional<JournalKey> beyond;
    qint64 offset = 0;
    int limit = 0;
};

// What arrived since a record: how many records of a filter, how many of them are newer than a key (the
// rest were stamped with an earlier time, by a station whose clock is behind), and the latest id.
struct JournalArrivals {
    qint64 records = 0;
    qint64 newer = 0;
    std::int64_t lastId = 0;
};

// How many of the newest records of a filter there are up to a limit, and the lowest id among them.
struct JournalSample {
    qint64 records = 0;
    std::int64_t lowestId = 0;
};

// The cards among the records of a filter.
struct JournalTotals {
    qint64 records = 0;
    qint64 good = 0;        // good cards that still hold their number (overwritten ones taken off)
    qint64 failed = 0;      // writes that failed on the card
    qint64 refused = 0;     // writes refused before any card was touched
    qint64 throwAway = 0;
    qint64 overwritten = 0; // good cards written again with another number
    qint64 goodWritten = 0; // good cards as written, overwritten ones included

    // The totals of two sets of records together (the records shown and those that arrived since).
    JournalTotals& operator+=(const JournalTotals& more);
};

// Why the journal cannot be used, or what was done to make it usable.
enum class JournalFault {
    None,
    DriverMissing, // Qt has no driver for the engine
    CannotOpen,    // the file or server cannot be opened or set up (read-only folder, no space, ...)
    CannotWrite,   // a record could not be committed
    TooNew,        // written by a newer program: left as it is
    KeptAside,     // the file was damaged; it was renamed for recovery and a new journal started
};

struct JournalStatus {
    JournalFault fault = JournalFault::None;
    QString location; // the file or server, never with a password
    QString detail;   // the engine's own words
    QString keptAs;   // KeptAside: where the damaged file is now
};

class CJournal {
public:
    // Opens the journal a connection description names, creating it or bringing its schema up to date.
    // A description is the path of an SQLite file or postgresql://user@host:port/dbname (Database.h). A damaged file is renamed beside itself (never
    // deleted) and a new journal is started in its place; status then says so. Null when the journal
    // cannot be used, with status saying why.
    static std::unique_ptr<CJournal> Open(const QString& connection, JournalStatus* status);
    ~CJournal();
    CJournal(const CJournal&) = delete;
    CJournal& operator=(const CJournal&) = delete;

    QString Location() const { return m_strLocation; }
    JournalEngine Engine() const { return m_dialect.engine; }
    const SqlDialect& Dialect() const { return m_dialect; }
    QSqlDatabase& Database() { return m_db; }

    // Adds a record and commits it before returning (a killed program keeps it). An overwrite record gives
    // its identifier back to the batch that had it on a good card, in the same transaction, and its reason
    // then names that batch. Fills in the time when it is empty and the
    // record's id. False with error set when it could not be committed; damaged is set when the cause is a
    // damaged file.
    bool Add(JournalRecord& record, QString* error, bool* damaged = nullptr);

    // Adds a record inside the caller's transaction (a batch card's records commit with its claim); an
    // overwrite record gives its identifier back to its batch there too.
    bool AddInTransaction(JournalRecord& record, QString* error);

    // Adds records in one statement together with guard, a data-modifying statement with a RETURNING
    // clause (the update that records a batch card's result): the records are added only when guard
    // returns a row, and the two take effect together or not at all without a transaction, in one round
    // trip. *added says whether they were added. The guard's values are bound before the records'. Only
    // where CanAddGuarded() (PostgreSQL: SQLite has no data-modifying WITH), and never for an overwrite
    // record (its number goes back to its batch in a statement of its own).
    bool CanAddGuarded() const { return m_dialect.engine == JournalEngine::PostgreSQL; }
    bool AddGuarded(const QString& guard, const QVariantList& guardValues, std::vector<JournalRecord>& records,
                    bool* added, QString* error);

    // The latest record that put identifier on a good card (written and verified, or written with Verify
    // off), while more good cards got that identifier than were overwritten since. nullopt when there is
    // none; error is set when the journal could not be asked.
    std::optional<JournalRecord> FindGoodCard(std::uint64_t identifier, QString* error);

    // Up to limit records of the filter, newest first, older than the record beforeId (0: from the newest).
    bool Select(const JournalFilter& filter, std::int64_t beforeId, int limit, std::vector<JournalRecord>* records,
                QString* error);
    // A page of the records of a filter in the journal's order (time, then id).
    bool SelectPage(const JournalFilter& filter, const JournalPageQuery& page, std::vector<JournalRecord>* records,
                    QString* error);
    std::optional<qint64> Count(const JournalFilter& filter, QString* error);
    // The newest records of the filter, at most limit of them: how many, and the lowest id among them.
    std::optional<JournalSample> SampleNewest(const JournalFilter& filter, qint64 limit, QString* error);
    // The records of the filter added after the record afterId, against the newest key a view shows.
    std::optional<JournalArrivals> Arrivals(const JournalFilter& filter, std::int64_t afterId,
                                            const std::optional<JournalKey>& newest, QString* error);
    // The id of the latest record, 0 for an empty journal.
    std::optional<std::int64_t> LastId(QString* error);
    std::optional<JournalTotals> Totals(const JournalFilter& filter, QString* error);
    // Every record of the filter, newest first by time, one at a time, read a page at a time so any
    // number of records takes the same memory; visit returns false to stop.
    bool ForEach(const JournalFilter& filter, const std::function<bool(const JournalRecord&)>& visit,
                 QString* error);
    // The same records with each one's time as the stored text, record.time left as it was: an export
    // copies the text rather than reading and writing it again. The record is filled anew for each row.
    bool ForEachStored(const JournalFilter& filter, const std::function<bool(JournalRecord&, const QString&)>& visit,
                       QString* error);

    // Opens the connection again after its server went away (the prepared statements went with it).
    bool Reconnect();

    // Whether an error of this journal's engine means a damaged file.
    bool IsDamage(const QSqlError& error) const;

private:
    CJournal() = default;
    static std::unique_ptr<CJournal> OpenServer(const DatabaseLocation& location, JournalStatus* status);
    bool Prepare(QString* error);
    bool Insert(JournalRecord& record, QString* error, bool* damaged);
    QSqlQuery* GuardedInsert(const QString& guard, std::size_t records, QString* error);
    bool AddOverwrite(JournalRecord& record, QString* error, bool* damaged);
    QString FromRecords(const JournalFilter& filter) const;
    bool ExecPage(QSqlQuery& query, const JournalFilter& filter, const JournalPageQuery& page, QString* error);
    bool RunSelect(QSqlQuery& query, const JournalFilter& filter, std::int64_t beforeId, int limit, QString* error);

    QString m_strConnectionName;
    QString m_strLocation;
    SqlDialect m_dialect;
    QSqlDatabase m_db;
    std::unique_ptr<QSqlQuery> m_insert;
    // The guarded inserts prepared so far, by their guard and number of records.
    std::map<std::pair<QString, std::size_t>, std::unique_ptr<QSqlQuery>> m_guarded;
};

// The damaged file moved aside: path renamed to path.damaged-<UTC time>, with its -wal and -shm files.
// Returns the new name, or empty text when it could not be renamed.
QString KeepDamagedFileAside(const QString& path);
