#include "journal/DatabaseInit.h"

#include "batches/Batch.h"
#include "journal/Database.h"

#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace {

bool Exec(QSqlDatabase& db, const QString& sql, QString* error) {
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    *error = query.lastError().text().trimmed();
    return false;
}

bool RoleExists(QSqlDatabase& db, const QString& role, bool* exists, QString* error) {
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM pg_roles WHERE rolname = ?"));
    query.addBindValue(role);
    if (!query.exec() || !query.next()) {
        *error = query.lastError().text().trimmed();
        return false;
    }
    *exists = query.value(0).toInt() > 0;
    return true;
}

// Role and table names cannot be bound: the role is checked by IsValidRoleName and the tables are our
// own constants, so the statements below hold no outside text.
QStringList GrantStatements(const QString& role, const QStringList& tables) {
    QStringList statements = {
        QStringLiteral("GRANT USAGE ON SCHEMA public TO %1").arg(role),
        QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO %1").arg(role),
        QStringLiteral("GRANT USAGE ON ALL SEQUENCES IN SCHEMA public TO %1").arg(role),
        QStringLiteral("GRANT UPDATE (next_index) ON batch TO %1").arg(role),
        QStringLiteral("GRANT INSERT, UPDATE ON batch_claim, station_session TO %1").arg(role),
        QStringLiteral("GRANT INSERT ON batch_discard TO %1").arg(role),
    };
    if (tables.contains(QStringLiteral("journal_record")))
        statements << QStringLiteral("GRANT INSERT ON journal_record TO %1").arg(role);
    return statements;
}

// The supervisors read everything and write nothing.
QStringList SupervisorGrants() {
    return {QStringLiteral("GRANT USAGE ON SCHEMA public TO %1").arg(SUPERVISOR_ROLE),
            QStringLiteral("GRANT SELECT ON ALL TABLES IN SCHEMA public TO %1").arg(SUPERVISOR_ROLE)};
}

} // namespace

bool IsValidRoleName(const QString& role) {
    static const QRegularExpression pattern(QStringLiteral("^[a-z_][a-z0-9_]{0,62}$"));
    return pattern.match(role).hasMatch();
}

bool InitDatabase(QSqlDatabase& db, const QString& stationRole, QString* notes, QString* error) {
    if (!MigrateDatabase(db, error))
        return false;
    if (EngineOf(db) == JournalEngine::SQLite) {
        *notes = QStringLiteral("schema ready; an SQLite journal has no roles");
        return true;
    }
    if (!IsValidRoleName(stationRole)) {
        *error = QStringLiteral("a role name is a lower-case letter or \"_\", then lower-case letters, digits "
                                "or \"_\" (at most 63)");
        return false;
    }
    bool exists = false, supervisorExists = false;
    if (!RoleExists(db, stationRole, &exists, error) || !RoleExists(db, SUPERVISOR_ROLE, &supervisorExists, error))
        return false;
    if (!db.transaction()) {
        *error = db.lastError().text().trimmed();
        return false;
    }
    bool ok = exists || Exec(db, QStringLiteral("CREATE ROLE %1 LOGIN").arg(stationRole), error);
    if (ok && !supervisorExists && stationRole != QLatin1String(SUPERVISOR_ROLE))
        ok = Exec(db, QStringLiteral("CREATE ROLE %1 LOGIN").arg(SUPERVISOR_ROLE), error);
    QStringList grants = GrantStatements(stationRole, db.tables());
    if (stationRole != QLatin1String(SUPERVISOR_ROLE))
        grants << SupervisorGrants();
    for (const QString& sql : grants) {
        if (ok)
            ok = Exec(db, sql, error);
    }
    if (ok && db.commit()) {
        *notes = QStringLiteral("schema ready; role %1 %2 and the read-only role %3 %4 (they log in through "
                                "~/.pgpass or PGPASSWORD once a password is set with ALTER ROLE)")
                     .arg(stationRole, exists ? QStringLiteral("updated") : QStringLiteral("created"), SUPERVISOR_ROLE,
                          supervisorExists ? QStringLiteral("updated") : QStringLiteral("created"));
        return true;
    }
    if (ok)
        *error = db.lastError().text().trimmed();
    db.rollback();
    return false;
}
