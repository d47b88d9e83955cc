#include "journal/JournalSchema.h"

#include "batches/Batch.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

QStringList RecordsStep(const SqlDialect& dialect) {
    return {
        QStringLiteral("CREATE TABLE journal_record ("
                       " id %1,"
                       " recorded_at VARCHAR(24) NOT NULL,"
                       " station VARCHAR(255) NOT NULL,"
                       " login_user VARCHAR(255) NOT NULL,"
                       " source VARCHAR(32) NOT NULL,"
                       " operation VARCHAR(16) NOT NULL,"
                       " identifier BIGINT,"
                       " identifier_text VARCHAR(13),"
                       " result VARCHAR(16) NOT NULL,"
                       " reason TEXT NOT NULL,"
                       " verify_requested INTEGER NOT NULL,"
                       " reader_name VARCHAR(255) NOT NULL,"
                       " reader_version VARCHAR(255) NOT NULL)")
            .arg(dialect.AutoIdColumn()),
        // The duplicate look-up before every Mass Production card, and the window's date range.
        QStringLiteral("CREATE INDEX journal_record_identifier ON journal_record (identifier, operation, result)"),
        QStringLiteral("CREATE INDEX journal_record_time ON journal_record (recorded_at)"),
    };
}

QStringList BatchesStep(const SqlDialect&) {
    return BatchSchemaStatements();
}

// A good card overwritten on the Read/Write page gives its number back to its batch: found by identifier.
QStringList ClaimIdentifierStep(const SqlDialect&) {
    return {QStringLiteral("CREATE INDEX batch_claim_identifier ON batch_claim (identifier)")};
}

// The window's pages and filters on a journal of years: the batch a record's number came from, and
// indexes in the window's order (time, then id) under each filter, so a page or a count of any filter
// seeks instead of reading the journal through.
QStringList FiltersStep(const SqlDialect&) {
    QStringList statements = {
        QStringLiteral("ALTER TABLE journal_record ADD COLUMN batch VARCHAR(128)"),
        QStringLiteral("CREATE INDEX journal_record_order ON journal_record (recorded_at, id)"),
        QStringLiteral("DROP INDEX journal_record_time"), // the index above serves what it did
    };
    for (const char* column : {"station", "source", "result", "batch"})
        statements << QStringLiteral("CREATE INDEX journal_record_%1 ON journal_record (%1, recorded_at, id)")
                          .arg(QLatin1String(column));
    return statements;
}

// Claims that do not wait on each other: numbers made ahead as free rows in claim order.
QStringList ClaimQueueStep(const SqlDialect&) {
    return BatchClaimQueueStatements();
}

const std::vector<SchemaStep> kSteps = {
    {1, "the journal records", RecordsStep},
    {2, "batches and their claims", BatchesStep},
    {3, "claims found by identifier", ClaimIdentifierStep},
    {4, "the journal's batch column and the indexes of its filters", FiltersStep},
    {5, "claims taken from numbers made ahead", ClaimQueueStep},
};

QString SqlErrorText(const QSqlError& error) {
    return error.text().trimmed();
}

bool Exec(QSqlDatabase& db, const QString& sql, QString* error) {
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    *error = SqlErrorText(query.lastError());
    return false;
}

// Applies one step and moves the version on, or nothing at all.
bool ApplyStep(QSqlDatabase& db, const SqlDialect& dialect, const SchemaStep& step, int from, QString* error) {
    if (!db.transaction()) {
        *error = SqlErrorText(db.lastError());
        return false;
    }
    bool ok = true;
    for (const QString& sql : step.statements(dialect)) {
        if (!(ok = Exec(db, sql, error)))
            break;
    }
    if (ok) {
        // Two programs migrating at once: only the one that still finds the old version moves it on.
        QSqlQuery bump(db);
        bump.prepare(QStringLiteral("UPDATE journal_schema SET version = ? WHERE version = ?"));
        bump.addBindValue(step.version);
        bump.addBindValue(from);
        ok = bump.exec() && bump.numRowsAffected() == 1;
        if (!ok)
            *error = bump.lastError().isValid() ? SqlErrorText(bump.lastError())
                                                : QStringLiteral("another program changed the journal's version");
    }
    if (ok && db.commit())
        return true;
    if (ok)
        *error = SqlErrorText(db.lastError());
    db.rollback();
    *error = QStringLiteral("step to version %1 (%2) failed: %3")
                 .arg(step.version)
                 .arg(QLatin1String(step.summary), *error);
    return false;
}

bool CreateVersionTable(QSqlDatabase& db, QString* error) {
    if (!db.transaction()) {
        *error = SqlErrorText(db.lastError());
        return false;
    }
    if (Exec(db, QStringLiteral("CREATE TABLE journal_schema (version INTEGER NOT NULL)"), error) &&
        Exec(db, QStringLiteral("INSERT INTO journal_schema (version) VALUES (0)"), error) && db.commit())
        return true;
    db.rollback();
    return false;
}

} // namespace

QString SqlDialect::AutoIdColumn() const {
    return engine == JournalEngine::PostgreSQL ? QStringLiteral("BIGINT GENERATED BY DEFAULT AS IDENTITY PRIMARY KEY")
                                               : QStringLiteral("INTEGER PRIMARY KEY");
}

const std::vector<SchemaStep>& JournalSchemaSteps() {
    return kSteps;
}

int LatestSchemaVersion(const std::vector<SchemaStep>& steps) {
    return steps.empty() ? 0 : steps.back().version;
}

int ReadSchemaVersion(QSqlDatabase& db, QString* error) {
    if (!db.tables().contains(QStringLiteral("journal_schema"))) {
        if (db.lastError().isValid()) {
            *error = SqlErrorText(db.lastError());
            return -1;
        }
        return 0;
    }
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT version FROM journal_schema")) || !query.next()) {
        *error = query.lastError().isValid() ? SqlErrorText(query.lastError())
                                             : QStringLiteral("the journal has no schema version");
        return -1;
    }
    return query.value(0).toInt();
}

bool MigrateSchema(QSqlDatabase& db, const SqlDialect& dialect, const std::vector<SchemaStep>& steps,
                   QString* error) {
    int version = ReadSchemaVersion(db, error);
    if (version < 0)
        return false;
    if (version > LatestSchemaVersion(steps)) {
        *error = QStringLiteral("the journal has version %1, newer than this program knows (%2)")
                     .arg(version)
                     .arg(LatestSchemaVersion(steps));
        return false;
    }
    // Another program opening the same journal may create the table or take a step first; what it
    // did counts as done.
    if (version == 0 && !db.tables().contains(QStringLiteral("journal_schema")) &&
        !CreateVersionTable(db, error) && !db.tables().contains(QStringLiteral("journal_schema")))
        return false;
    for (const SchemaStep& step : steps) {
        if (step.version <= version)
            continue;
        if (!ApplyStep(db, dialect, step, version, error)) {
            QString ignored;
            if (ReadSchemaVersion(db, &ignored) < step.version)
                return false;
        }
        version = step.version;
    }
    return true;
}
