#include "journal/Journal.h"

#include "batches/Batch.h"
#include "journal/Database.h"
#include "cards/CardIdentifier.h"

#include <QAtomicInt>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <algorithm>

namespace {

// The columns a record is read from (identifier_text, which repeats the identifier, is left out: every
// column read costs its conversion on every row).
const QString kColumns = QStringLiteral(
    "id, recorded_at, station, login_user, source, operation, identifier, result, reason,"
    " verify_requested, reader_name, reader_version, batch");

// What a good card is, and the other two kinds the totals count; the keys are those of JournalRecord.
const QString kGoodCard = QStringLiteral(
    "((operation = 'write' AND result = 'ok' AND verify_requested = 0) OR"
    " (operation = 'verify' AND result = 'verify-ok'))");
const QString kFailedCard = QStringLiteral("(operation = 'write' AND result = 'error')");
const QString kRefusedCard = QStringLiteral("(operation = 'write' AND result = 'refused')");
const QString kThrowAwayCard = QStringLiteral("(operation = 'verify' AND result = 'verify-failed')");
const QString kOverwrittenCard = QStringLiteral("(operation = 'overwrite')");

QString CountOf(const QString& condition) {
    return QStringLiteral("SUM(CASE WHEN ") + condition + QStringLiteral(" THEN 1 ELSE 0 END)");
}

// SQLite's primary result codes for a file that is not, or no longer, a sound database.
constexpr int SQLITE_CORRUPT_CODE = 11;
constexpr int SQLITE_NOTADB_CODE = 26;

QString NewConnectionName() {
    static QAtomicInt counter;
    return QStringLiteral("rfid-journal-%1").arg(counter.fetchAndAddRelaxed(1));
}

// A null QString binds as SQL NULL; the text columns hold empty text instead.
QString Text(const QString& value) {
    return value.isNull() ? QStringLiteral("") : value;
}

QString ErrorText(const QSqlError& error) {
    return error.text().trimmed();
}

// A row of kColumns into a record, all but its time, which is left as the stored text.
void ReadRow(const QSqlQuery& query, JournalRecord* record, QString* storedTime) {
    record->id = query.value(0).toLongLong();
    *storedTime = query.value(1).toString();
    record->station = query.value(2).toString();
    record->user = query.value(3).toString();
    record->source = SourceFromKey(query.value(4).toString()).value_or(JournalSource::Rfidctl);
    record->operation = OperationFromKey(query.value(5).toString()).value_or(JournalOperation::Read);
    const QVariant identifier = query.value(6);
    record->identifier = identifier.isNull() ? std::nullopt : std::optional(std::uint64_t(identifier.toLongLong()));
    record->result = ResultFromKey(query.value(7).toString()).value_or(JournalResult::Error);
    record->reason = query.value(8).toString();
    record->verifyRequested = query.value(9).toInt() != 0;
    record->readerName = query.value(10).toString();
    record->readerVersion = query.value(11).toString();
    record->batch = query.value(12).toString();
}

JournalRecord RecordFromRow(const QSqlQuery& query) {
    JournalRecord record;
    QString storedTime;
    ReadRow(query, &record, &storedTime);
    record.time = JournalTimeFromText(storedTime);
    return record;
}

// The WHERE clause of a filter, its values bound in order.
struct Condition {
    QString sql;
    QVariantList values;
};

constexpr std::uint64_t kVendors = 256;

// The search field's condition: one identifier through its index, a card number as the 256 identifiers
// it can be (still the index), W26's low 24 bits by arithmetic.
void AddSearch(const QString& text, QStringList& parts, QVariantList& values) {
    const std::optional<IdentifierSearch> search = ParseIdentifierSearch(text);
    if (!search) {
        parts << QStringLiteral("1 = 0");
        return;
    }
    switch (search->kind) {
    case IdentifierSearch::Identifier:
        parts << QStringLiteral("identifier = ?");
        values << qlonglong(search->value);
        return;
    case IdentifierSearch::CardNumber: {
        QStringList marks;
        for (std::uint64_t vendor = 0; vendor < kVendors; ++vendor) {
            marks << QStringLiteral("?");
            values << qlonglong((vendor << 32) | search->value);
        }
        parts << QStringLiteral("identifier IN (") + marks.join(u',') + u')';
        return;
    }
    case IdentifierSearch::Low24Bits:
        parts << QStringLiteral("identifier % 16777216 = ?");
        values << qlonglong(search->value);
        return;
    }
}

Condition Where(const JournalFilter& filter, std::int64_t beforeId) {
    QStringList parts;
    Condition condition;
    if (!filter.identifierText.trimmed().isEmpty())
        AddSearch(filter.identifierText, parts, condition.values);
    if (filter.result) {
        parts << QStringLiteral("result = ?");
        condition.values << ResultKey(*filter.result);
    }
    if (filter.since.isValid()) {
        parts << QStringLiteral("recorded_at >= ?");
        condition.values << JournalTimeText(filter.since);
    }
    if (filter.until.isValid()) {
        parts << QStringLiteral("recorded_at < ?");
        condition.values << JournalTimeText(filter.until);
    }
    if (!filter.station.isEmpty()) {
        parts << QStringLiteral("station = ?");
        condition.values << filter.station;
    }
    if (filter.source) {
        parts << QStringLiteral("source = ?");
        condition.values << SourceKey(*filter.source);
    }
    if (!filter.batch.isEmpty()) {
        parts << QStringLiteral("batch = ?");
        condition.values << filter.batch;
    }
    if (filter.idAbove > 0) {
        parts << QStringLiteral("id > ?");
        condition.values << qlonglong(filter.idAbove);
    }
    if (filter.idAtMost > 0) {
        parts << QStringLiteral("id <= ?");
        condition.values << qlonglong(filter.idAtMost);
    }
    // A range of the journal's order: the time alone is what an index seeks to, the id sorts out equal times.
    if (filter.keyAbove) {
        parts << QStringLiteral("recorded_at >= ? AND (recorded_at > ? OR id > ?)");
        condition.values << filter.keyAbove->time << filter.keyAbove->time << qlonglong(filter.keyAbove->id);
    }
    if (filter.keyAtMost) {
        parts << QStringLiteral("recorded_at <= ? AND (recorded_at < ? OR id <= ?)");
        condition.values << filter.keyAtMost->time << filter.keyAtMost->time << qlonglong(filter.keyAtMost->id);
    }
    if (beforeId > 0) {
        parts << QStringLiteral("id < ?");
        condition.values << qlonglong(beforeId);
    }
    if (!parts.isEmpty())
        condition.sql = QStringLiteral(" WHERE ") + parts.join(QStringLiteral(" AND "));
    return condition;
}

// The condition of a filter with one more part.
void AndAlso(Condition& condition, const QString& part) {
    condition.sql += (condition.sql.isEmpty() ? QStringLiteral(" WHERE ") : QStringLiteral(" AND ")) + part;
}

bool PrepareAndBind(QSqlQuery& query, const QString& sql, const QVariantList& values, QString* error) {
    if (!query.prepare(sql)) {
        *error = ErrorText(query.lastError());
        return false;
    }
    for (const QVariant& value : values)
        query.addBindValue(value);
    return true;
}

bool IsSqliteDamage(const QSqlError& error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok) & 0xff;
    return ok && (code == SQLITE_CORRUPT_CODE || code == SQLITE_NOTADB_CODE);
}

// The settings every SQLite journal runs with: the write-ahead log, so a program killed at any moment
// leaves every committed record and a sound file. Commits are synced to the disk at each checkpoint
// rather than at each record (synchronous=NORMAL): a sync per record costs about 4 ms a card on an
// ordinary disk, against 0.15 ms; a power cut may then lose the last records, never the file.
bool SetUpSqlite(QSqlDatabase& db, QSqlError* failure) {
    for (const char* pragma : {"PRAGMA journal_mode=WAL", "PRAGMA synchronous=NORMAL"}) {
        QSqlQuery query(db);
        if (!query.exec(QLatin1String(pragma))) {
            *failure = query.lastError();
            return false;
        }
        // journal_mode answers with the mode it could set: a file it cannot put into WAL says so.
        if (query.next() && QLatin1String(pragma).contains(QLatin1String("journal_mode")) &&
            query.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
            *failure = QSqlError(QStringLiteral("the journal cannot use its write-ahead log"), QString(),
                                 QSqlError::ConnectionError);
            return false;
        }
    }
    return true;
}

// A file whose first page reads but whose tables do not: SQLite's own check of every page says so.
bool IsDamagedInside(QSqlDatabase& db) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA quick_check")))
        return IsSqliteDamage(query.lastError());
    return query.next() && query.value(0).toString() != QLatin1String("ok");
}

} // namespace

JournalTotals& JournalTotals::operator+=(const JournalTotals& more) {
    records += more.records;
    failed += more.failed;
    refused += more.refused;
    throwAway += more.throwAway;
    overwritten += more.overwritten;
    goodWritten += more.goodWritten;
    good = std::max<qint64>(0, goodWritten - overwritten);
    return *this;
}

JournalKey KeyOf(const JournalRecord& record) {
    return {JournalTimeText(record.time), record.id};
}

QString KeepDamagedFileAside(const QString& path) {
    const QString target =
        path + QStringLiteral(".damaged-") + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss-zzz"));
    if (!QFile::rename(path, target))
        return QString();
    for (const char* companion : {"-wal", "-shm"}) {
        if (QFileInfo::exists(path + QLatin1String(companion)))
            QFile::rename(path + QLatin1String(companion), target + QLatin1String(companion));
    }
    return target;
}

// A journal on a PostgreSQL server: no file to keep aside; a server that cannot be reached is said so.
std::unique_ptr<CJournal> CJournal::OpenServer(const DatabaseLocation& location, JournalStatus* status) {
    status->location = location.DisplayText();
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        status->fault = JournalFault::DriverMissing;
        status->detail = QStringLiteral("Qt's PostgreSQL driver (QPSQL) is not installed");
        return nullptr;
    }
    std::unique_ptr<CJournal> journal(new CJournal);
    journal->m_strLocation = status->location;
    journal->m_strConnectionName = NewConnectionName();
    journal->m_dialect.engine = JournalEngine::PostgreSQL;
    QString error;
    journal->m_db = OpenDatabase(location, journal->m_strConnectionName, &error);
    if (journal->m_db.isOpen() && MigrateSchema(journal->m_db, journal->m_dialect, JournalSchemaSteps(), &error) &&
        journal->Prepare(&error))
        return journal;
    QString ignored;
    status->fault = journal->m_db.isOpen() && ReadSchemaVersion(journal->m_db, &ignored) > LatestSchemaVersion()
                        ? JournalFault::TooNew
                        : JournalFault::CannotOpen;
    status->detail = error;
    return nullptr;
}

std::unique_ptr<CJournal> CJournal::Open(const QString& connection, JournalStatus* status) {
    *status = JournalStatus();
    status->location = DatabaseDisplayText(connection);
    QString parseError;
    const std::optional<DatabaseLocation> location = ParseDatabaseLocation(connection, &parseError);
    if (!location) {
        status->fault = JournalFault::CannotOpen;
        status->detail = parseError;
        return nullptr;
    }
    if (location->engine == JournalEngine::PostgreSQL)
        return OpenServer(*location, status);
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
        status->fault = JournalFault::DriverMissing;
        status->detail = QStringLiteral("Qt's SQLite driver (QSQLITE) is not installed");
        return nullptr;
    }
    for (int attempt = 0; attempt < 2; ++attempt) {
        std::unique_ptr<CJournal> journal(new CJournal);
        journal->m_strLocation = connection;
        journal->m_strConnectionName = NewConnectionName();
        journal->m_dialect.engine = JournalEngine::SQLite;
        journal->m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), journal->m_strConnectionName);
        journal->m_db.setDatabaseName(connection);
        journal->m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(SQLITE_BUSY_TIMEOUT_MS));
        QDir().mkpath(QFileInfo(connection).absolutePath());

        QSqlError failure;
        QString error;
        bool ready = journal->m_db.open();
        if (!ready)
            failure = journal->m_db.lastError();
        ready = ready && SetUpSqlite(journal->m_db, &failure);
        if (ready && !MigrateSchema(journal->m_db, journal->m_dialect, JournalSchemaSteps(), &error)) {
            ready = false;
            failure = QSqlError(error, QString(), QSqlError::StatementError);
            if (IsDamagedInside(journal->m_db))
                failure = QSqlError(error, QString(), QSqlError::StatementError, QString::number(SQLITE_CORRUPT_CODE));
            status->fault = ReadSchemaVersion(journal->m_db, &error) > LatestSchemaVersion() ? JournalFault::TooNew
                                                                                              : JournalFault::CannotOpen;
        }
        ready = ready && journal->Prepare(&error);
        if (ready)
            return journal;

        const bool damaged = IsSqliteDamage(failure) || IsSqliteDamage(journal->m_db.lastError());
        journal.reset();
        if (!damaged || attempt > 0) {
            if (status->fault == JournalFault::None)
                status->fault = JournalFault::CannotOpen;
            status->detail = failure.isValid() ? ErrorText(failure) : error;
            return nullptr;
        }
        status->keptAs = KeepDamagedFileAside(connection);
        if (status->keptAs.isEmpty()) {
            status->fault = JournalFault::CannotOpen;
            status->detail = QStringLiteral("the file is damaged and cannot be moved aside: ") + ErrorText(failure);
            return nullptr;
        }
        status->fault = JournalFault::KeptAside;
        status->detail = ErrorText(failure);
    }
    return nullptr;
}

CJournal::~CJournal() {
    m_insert.reset();
    m_guarded.clear();
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_strConnectionName);
}

namespace {

const QString kInsertColumns = QStringLiteral("recorded_at, station, login_user, source, operation, identifier,"
                                              " identifier_text, result, reason, verify_requested, reader_name,"
                                              " reader_version, batch");
constexpr int kInsertValues = 13;
// A row of a guarded insert: its values typed, since the rows come from a VALUES list, not the table.
const QString kTypedRow = QStringLiteral("(?::varchar, ?::varchar, ?::varchar, ?::varchar, ?::varchar, ?::bigint,"
                                         " ?::varchar, ?::varchar, ?::text, ?::integer, ?::varchar, ?::varchar,"
                                         " ?::varchar)");

// Binds a record's values from position first on, in the order of kInsertColumns.
void BindRecord(QSqlQuery& query, int first, const JournalRecord& record) {
    const QVariant noNumber(QMetaType(QMetaType::LongLong));
    const QVariant noText(QMetaType(QMetaType::QString));
    query.bindValue(first + 0, JournalTimeText(record.time));
    query.bindValue(first + 1, Text(record.station));
    query.bindValue(first + 2, Text(record.user));
    query.bindValue(first + 3, SourceKey(record.source));
    query.bindValue(first + 4, OperationKey(record.operation));
    query.bindValue(first + 5, record.identifier ? QVariant(qlonglong(*record.identifier)) : noNumber);
    query.bindValue(first + 6, record.identifier ? QVariant(CardIdText(*record.identifier)) : noText);
    query.bindValue(first + 7, ResultKey(record.result));
    query.bindValue(first + 8, Text(record.reason));
    query.bindValue(first + 9, record.verifyRequested ? 1 : 0);
    query.bindValue(first + 10, Text(record.readerName));
    query.bindValue(first + 11, Text(record.readerVersion));
    query.bindValue(first + 12, record.batch.isEmpty() ? noText : QVariant(record.batch));
}

} // namespace

bool CJournal::Prepare(QString* error) {
    m_insert = std::make_unique<QSqlQuery>(m_db);
    QStringList marks;
    for (int i = 0; i < kInsertValues; ++i)
        marks << QStringLiteral("?");
    if (m_insert->prepare(QStringLiteral("INSERT INTO journal_record (") + kInsertColumns +
                          QStringLiteral(") VALUES (") + marks.join(QStringLiteral(", ")) + QStringLiteral(")")))
        return true;
    *error = ErrorText(m_insert->lastError());
    return false;
}

bool CJournal::Reconnect() {
    m_insert.reset();
    m_guarded.clear();
    m_db.close();
    if (!m_db.open())
        return false;
    // A new SQLite connection starts with the library's defaults again.
    QSqlError failure;
    QString error;
    return (m_dialect.engine != JournalEngine::SQLite || SetUpSqlite(m_db, &failure)) && Prepare(&error);
}

bool CJournal::IsDamage(const QSqlError& error) const {
    return m_dialect.engine == JournalEngine::SQLite && IsSqliteDamage(error);
}

bool CJournal::Add(JournalRecord& record, QString* error, bool* damaged) {
    if (!record.time.isValid())
        record.time = QDateTime::currentDateTimeUtc();
    if (record.operation == JournalOperation::Overwrite)
        return AddOverwrite(record, error, damaged);
    return Insert(record, error, damaged);
}

// An overwritten good card gives its number back to its batch in the transaction that records it, so the
// journal and the batch never disagree about whether the number is on a card.
bool CJournal::AddOverwrite(JournalRecord& record, QString* error, bool* damaged) {
    if (!BeginWrite(m_db, error)) {
        if (damaged)
            *damaged = IsDamage(m_db.lastError());
        return false;
    }
    const QString reason = record.reason; // a record kept to be tried again keeps its own reason
    const bool ok = AddInTransaction(record, error);
    if (!ok && damaged)
        *damaged = IsDamage(m_db.lastError());
    if (ok && m_db.commit())
        return true;
    if (ok)
        *error = ErrorText(m_db.lastError());
    m_db.rollback();
    record.id = 0;
    record.reason = reason;
    return false;
}

bool CJournal::AddInTransaction(JournalRecord& record, QString* error) {
    if (!record.time.isValid())
        record.time = QDateTime::currentDateTimeUtc();
    if (record.operation == JournalOperation::Overwrite && record.identifier) {
        QString batch;
        if (!ReturnNumberToBatch(m_db, *record.identifier, &batch, error))
            return false;
        if (!batch.isEmpty())
            record.reason += QStringLiteral("; back to batch %1").arg(batch);
    }
    return Insert(record, error, nullptr);
}

QSqlQuery* CJournal::GuardedInsert(const QString& guard, std::size_t records, QString* error) {
    const std::pair<QString, std::size_t> key(guard, records);
    if (const auto prepared = m_guarded.find(key); prepared != m_guarded.end())
        return prepared->second.get();
    QStringList rows;
    for (std::size_t i = 0; i < records; ++i)
        rows << kTypedRow;
    // A data-modifying WITH runs once and to the end whether or not the insert reads it.
    const QString sql = QStringLiteral("WITH guard AS (") + guard + QStringLiteral(") INSERT INTO journal_record (") +
                        kInsertColumns + QStringLiteral(") SELECT * FROM (VALUES ") + rows.join(QStringLiteral(", ")) +
                        QStringLiteral(") AS card_records WHERE EXISTS (SELECT 1 FROM guard) RETURNING id");
    auto query = std::make_unique<QSqlQuery>(m_db);
    if (!query->prepare(sql)) {
        *error = ErrorText(query->lastError());
        return nullptr;
    }
    return (m_guarded[key] = std::move(query)).get();
}

bool CJournal::AddGuarded(const QString& guard, const QVariantList& guardValues, std::vector<JournalRecord>& records,
                          bool* added, QString* error) {
    *added = false;
    const auto overwrite = [](const JournalRecord& r) { return r.operation == JournalOperation::Overwrite; };
    if (!CanAddGuarded() || records.empty() || std::any_of(records.begin(), records.end(), overwrite)) {
        *error = QStringLiteral("these records cannot be added with the statement that records the card");
        return false;
    }
    QSqlQuery* insert = GuardedInsert(guard, records.size(), error);
    if (!insert)
        return false;
    for (int i = 0; i < guardValues.size(); ++i)
        insert->bindValue(i, guardValues[i]);
    for (std::size_t i = 0; i < records.size(); ++i) {
        if (!records[i].time.isValid())
            records[i].time = QDateTime::currentDateTimeUtc();
        BindRecord(*insert, int(guardValues.size() + i * kInsertValues), records[i]);
    }
    if (!insert->exec()) {
        *error = ErrorText(insert->lastError());
        insert->finish();
        return false;
    }
    // The rows come back in the order of the VALUES list they were inserted from.
    for (std::size_t i = 0; i < records.size() && insert->next(); ++i) {
        records[i].id = insert->value(0).toLongLong();
        *added = true;
    }
    insert->finish();
    return true;
}

bool CJournal::Insert(JournalRecord& record, QString* error, bool* damaged) {
    QSqlQuery& insert = *m_insert;
    BindRecord(insert, 0, record);
    // Outside a transaction each INSERT commits on its own before exec returns.
    if (!insert.exec()) {
        *error = ErrorText(insert.lastError());
        if (damaged)
            *damaged = IsDamage(insert.lastError());
        insert.finish();
        return false;
    }
    record.id = insert.lastInsertId().toLongLong();
    insert.finish();
    return true;
}

std::optional<JournalRecord> CJournal::FindGoodCard(std::uint64_t identifier, QString* error) {
    // Each overwrite record takes one good card of the number off the record: a number written on two
    // cards and overwritten on one is still on a good card.
    QSqlQuery count(m_db);
    const QString countSql = QStringLiteral("SELECT ") + CountOf(kGoodCard) + QStringLiteral(", ") +
                             CountOf(kOverwrittenCard) + QStringLiteral(" FROM journal_record WHERE identifier = ?");
    if (!PrepareAndBind(count, countSql, {qlonglong(identifier)}, error))
        return std::nullopt;
    if (!count.exec() || !count.next()) {
        *error = ErrorText(count.lastError());
        return std::nullopt;
    }
    if (count.value(0).toLongLong() <= count.value(1).toLongLong())
        return std::nullopt;
    count.finish();
    QSqlQuery query(m_db);
    const QString sql = QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM journal_record WHERE identifier = ? AND ") +
                        kGoodCard + QStringLiteral(" ORDER BY id DESC LIMIT 1");
    if (!PrepareAndBind(query, sql, {qlonglong(identifier)}, error))
        return std::nullopt;
    if (!query.exec()) {
        *error = ErrorText(query.lastError());
        return std::nullopt;
    }
    if (!query.next())
        return std::nullopt;
    return RecordFromRow(query);
}

bool CJournal::RunSelect(QSqlQuery& query, const JournalFilter& filter, std::int64_t beforeId, int limit,
                         QString* error) {
    const Condition where = Where(filter, beforeId);
    QString sql = QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM journal_record") + where.sql +
                  QStringLiteral(" ORDER BY id DESC");
    QVariantList values = where.values;
    if (limit > 0) {
        sql += QStringLiteral(" LIMIT ?");
        values << limit;
    }
    query.setForwardOnly(true);
    if (!PrepareAndBind(query, sql, values, error))
        return false;
    if (query.exec())
        return true;
    *error = ErrorText(query.lastError());
    return false;
}

bool CJournal::Select(const JournalFilter& filter, std::int64_t beforeId, int limit,
                      std::vector<JournalRecord>* records, QString* error) {
    QSqlQuery query(m_db);
    if (!RunSelect(query, filter, beforeId, limit, error))
        return false;
    while (query.next())
        records->push_back(RecordFromRow(query));
    return true;
}

bool CJournal::ExecPage(QSqlQuery& query, const JournalFilter& filter, const JournalPageQuery& page,
                        QString* error) {
    Condition where = Where(filter, 0);
    // Time, then id, both ways: the (recorded_at, id) indexes serve every page from either end.
    const QString order = page.oldestFirst ? QStringLiteral(" ASC") : QStringLiteral(" DESC");
    if (page.beyond) {
        // The range on the time alone is what an index can seek to; the id parts only sort out equal times.
        AndAlso(where, page.oldestFirst ? QStringLiteral("recorded_at >= ? AND (recorded_at > ? OR id > ?)")
                                        : QStringLiteral("recorded_at <= ? AND (recorded_at < ? OR id < ?)"));
        where.values << page.beyond->time << page.beyond->time << qlonglong(page.beyond->id);
    }
    // A card's records are few: found through the identifier index and sorted. Ordered by the column
    // itself, PostgreSQL would walk the whole time index looking for them.
    const QString time = filter.identifierText.trimmed().isEmpty() ? QStringLiteral("recorded_at")
                                                                    : QStringLiteral("(recorded_at || '')");
    QString sql = QStringLiteral("SELECT ") + kColumns + QStringLiteral(" FROM journal_record") + where.sql +
                  QStringLiteral(" ORDER BY ") + time + order + QStringLiteral(", id") + order +
                  QStringLiteral(" LIMIT ? OFFSET ?");
    where.values << qlonglong(page.limit) << qlonglong(page.offset);
    if (m_dialect.engine == JournalEngine::SQLite)
        query.setForwardOnly(true); // else the driver keeps a copy of every row read
    if (!PrepareAndBind(query, sql, where.values, error))
        return false;
    if (query.exec())
        return true;
    *error = ErrorText(query.lastError());
    return false;
}

bool CJournal::SelectPage(const JournalFilter& filter, const JournalPageQuery& page,
                          std::vector<JournalRecord>* records, QString* error) {
    QSqlQuery query(m_db);
    query.setForwardOnly(true);
    if (!ExecPage(query, filter, page, error))
        return false;
    while (query.next())
        records->push_back(RecordFromRow(query));
    if (query.lastError().isValid()) {
        *error = ErrorText(query.lastError());
        return false;
    }
    return true;
}

namespace {

// The first row of a query that answers with one row, or an error.
bool ExecOneRow(QSqlQuery& query, QString* error) {
    if (query.exec() && query.next())
        return true;
    *error = query.lastError().isValid() ? ErrorText(query.lastError()) : QStringLiteral("the journal gave no answer");
    return false;
}

} // namespace

QString CJournal::FromRecords(const JournalFilter& filter) const {
    // The records added after a given one are few: read through the primary key. SQLite would otherwise
    // take a filter's index and read, say, every record of a station each time a window looks for new ones.
    if (filter.idAbove > 0 && m_dialect.engine == JournalEngine::SQLite)
        return QStringLiteral(" FROM journal_record NOT INDEXED");
    return QStringLiteral(" FROM journal_record");
}

std::optional<qint64> CJournal::Count(const JournalFilter& filter, QString* error) {
    const Condition where = Where(filter, 0);
    QSqlQuery query(m_db);
    if (!PrepareAndBind(query, QStringLiteral("SELECT COUNT(*) FROM journal_record") + where.sql, where.values,
                        error) ||
        !ExecOneRow(query, error))
        return std::nullopt;
    return query.value(0).toLongLong();
}

std::optional<JournalArrivals> CJournal::Arrivals(const JournalFilter& filter, std::int64_t afterId,
                                                  const std::optional<JournalKey>& newest, QString* error) {
    JournalFilter added = filter;
    added.idAbove = std::max(filter.idAbove, afterId);
    const Condition where = Where(added, 0);
    QString newer = QStringLiteral("1");
    QVariantList values;
    if (newest) {
        newer = QStringLiteral("CASE WHEN recorded_at > ? OR (recorded_at = ? AND id > ?) THEN 1 ELSE 0 END");
        values << newest->time << newest->time << qlonglong(newest->id);
    }
    values << where.values;
    QSqlQuery query(m_db);
    const QString sql = QStringLiteral("SELECT COUNT(*), SUM(") + newer + QStringLiteral("), MAX(id)") +
                        FromRecords(added) + where.sql;
    if (!PrepareAndBind(query, sql, values, error) || !ExecOneRow(query, error))
        return std::nullopt;
    JournalArrivals arrivals;
    arrivals.records = query.value(0).toLongLong();
    arrivals.newer = query.value(1).toLongLong();
    arrivals.lastId = query.value(2).isNull() ? afterId : query.value(2).toLongLong();
    return arrivals;
}

std::optional<std::int64_t> CJournal::LastId(QString* error) {
    QSqlQuery query(m_db);
    if (!PrepareAndBind(query, QStringLiteral("SELECT MAX(id) FROM journal_record"), {}, error) ||
        !ExecOneRow(query, error))
        return std::nullopt;
    return query.value(0).isNull() ? 0 : query.value(0).toLongLong();
}

bool CJournal::ForEach(const JournalFilter& filter, const std::function<bool(const JournalRecord&)>& visit,
                       QString* error) {
    return ForEachStored(filter, [&visit](JournalRecord& record, const QString& storedTime) {
        record.time = JournalTimeFromText(storedTime);
        return visit(record);
    }, error);
}

bool CJournal::ForEachStored(const JournalFilter& filter,
                             const std::function<bool(JournalRecord&, const QString&)>& visit, QString* error) {
    // A page is read whole before its records are visited, so a visitor may use the connection (a window
    // looking for new records while it exports). Its records are filled again for each page.
    constexpr int kPage = 5000;
    JournalPageQuery page;
    page.limit = kPage;
    std::vector<JournalRecord> records(kPage);
    std::vector<QString> storedTimes(kPage);
    for (;;) {
        int rows = 0;
        {
            // A server's page comes in one answer, not a row at a time: far less work a row.
            QSqlQuery query(m_db);
            if (!ExecPage(query, filter, page, error))
                return false;
            for (; rows < kPage && query.next(); ++rows)
                ReadRow(query, &records[std::size_t(rows)], &storedTimes[std::size_t(rows)]);
            if (query.lastError().isValid()) {
                *error = ErrorText(query.lastError());
                return false;
            }
        }
        if (rows > 0)
            page.beyond = JournalKey{storedTimes[std::size_t(rows - 1)], records[std::size_t(rows - 1)].id};
        for (int i = 0; i < rows; ++i) {
            if (!visit(records[std::size_t(i)], storedTimes[std::size_t(i)]))
                return true;
        }
        if (rows < kPage)
            return true;
    }
}

std::optional<JournalTotals> CJournal::Totals(const JournalFilter& filter, QString* error) {
    const Condition where = Where(filter, 0);
    QString sql = QStringLiteral("SELECT COUNT(*)");
    for (const QString& kind : {kGoodCard, kFailedCard, kRefusedCard, kThrowAwayCard, kOverwrittenCard})
        sql += QStringLiteral(", ") + CountOf(kind);
    sql += FromRecords(filter) + where.sql;
    QSqlQuery query(m_db);
    if (!PrepareAndBind(query, sql, where.values, error))
        return std::nullopt;
    if (!query.exec() || !query.next()) {
        *error = ErrorText(query.lastError());
        return std::nullopt;
    }
    JournalTotals totals;
    totals.records = query.value(0).toLongLong();
    totals.overwritten = query.value(5).toLongLong();
    // A good card overwritten later holds its number no longer.
    totals.goodWritten = query.value(1).toLongLong();
    totals.good = std::max<qint64>(0, totals.goodWritten - totals.overwritten);
    totals.failed = query.value(2).toLongLong();
    totals.refused = query.value(3).toLongLong();
    totals.throwAway = query.value(4).toLongLong();
    return totals;
}

std::optional<JournalSample> CJournal::SampleNewest(const JournalFilter& filter, qint64 limit, QString* error) {
    // In the window's order, so the filter's index gives the newest first and the walk stops at the limit.
    Condition where = Where(filter, 0);
    const QString time = filter.identifierText.trimmed().isEmpty() ? QStringLiteral("recorded_at")
                                                                    : QStringLiteral("(recorded_at || '')");
    const QString sql = QStringLiteral("SELECT COUNT(*), MIN(id) FROM (SELECT id FROM journal_record") + where.sql +
                        QStringLiteral(" ORDER BY ") + time + QStringLiteral(" DESC, id DESC LIMIT ?) AS newest");
    where.values << limit;
    QSqlQuery query(m_db);
    if (!PrepareAndBind(query, sql, where.values, error) || !ExecOneRow(query, error))
        return std::nullopt;
    return JournalSample{query.value(0).toLongLong(), query.value(1).toLongLong()};
}
