#pragma once

// The journal's schema and its migrations, for every engine the journal runs on.
//
// The schema has a version, kept in the table journal_schema. Each step of the table below takes a
// journal from the version before it to its own version, in one transaction, so a journal is always at
// one version or the next and never between. A journal newer than this program knows is left as it is.
// Later features append their steps to the table; a step that is released is never changed.

#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

class QSqlDatabase;

enum class JournalEngine { SQLite, PostgreSQL };

// What a step needs to say the same thing on each engine. Everything else is portable SQL.
struct SqlDialect {
    JournalEngine engine = JournalEngine::SQLite;
    // The column definition of an automatically numbered 64-bit primary key.
    QString AutoIdColumn() const;
};

struct SchemaStep {
    int version;         // the version the journal has after this step
    const char* summary; // what the step adds, for messages
    // The statements of the step on the given engine.
    std::function<QStringList(const SqlDialect&)> statements;
};

// The steps of the journal, in version order.
const std::vector<SchemaStep>& JournalSchemaSteps();
int LatestSchemaVersion(const std::vector<SchemaStep>& steps = JournalSchemaSteps());

// The version of the journal in db: 0 for an empty database, -1 with error set when it cannot be read.
int ReadSchemaVersion(QSqlDatabase& db, QString* error);

// Brings db to the last version of steps. False with error set when a step fails (the journal then stays
// at the version before that step) or the journal is newer than the steps know.
bool MigrateSchema(QSqlDatabase& db, const SqlDialect& dialect, const std::vector<SchemaStep>& steps,
                   QString* error);
