#include "tests/support/TestDatabase.h"

#include "batches/Batch.h"

#include <algorithm>

CTestDatabase::CTestDatabase(JournalEngine engine) : m_engine(engine) {
    if (engine == JournalEngine::SQLite) {
        m_strText = m_folder.filePath("journal.sqlite");
        return;
    }
    if (!CPgServer::IsInstalled()) {
        m_strError = "PostgreSQL 15 is not installed";
        return;
    }
    CPgServer& server = SharedServer();
    if (!server.IsRunning()) {
        m_strError = "the test server did not start: " + server.LastError();
        return;
    }
    static int count = 0;
    m_strText = server.CreateDatabase(QString("rfid_%1").arg(++count));
}

CTestDatabase::~CTestDatabase() {
    for (const QString& name : m_connections) {
        if (QSqlDatabase::contains(name)) {
            QSqlDatabase::database(name, false).close();
            QSqlDatabase::removeDatabase(name);
        }
    }
}

CPgServer* CTestDatabase::Server() const {
    return m_engine == JournalEngine::PostgreSQL ? &SharedServer() : nullptr;
}

CPgServer& CTestDatabase::SharedServer() {
    static CPgServer server;
    return server;
}

QSqlDatabase CTestDatabase::Open(const QString& connectionName) {
    return OpenAtVersion(connectionName, LatestSchemaVersion());
}

QSqlDatabase CTestDatabase::OpenAtVersion(const QString& connectionName, int version) {
    QString error;
    const std::optional<DatabaseLocation> location = ParseDatabaseLocation(m_strText, &error);
    if (!location) {
        m_strError = error;
        return QSqlDatabase();
    }
    QSqlDatabase db = OpenDatabase(*location, connectionName, &error);
    m_connections << connectionName;
    std::vector<SchemaStep> steps = JournalSchemaSteps();
    steps.erase(std::remove_if(steps.begin(), steps.end(), [&](const SchemaStep& step) { return step.version > version; }),
                steps.end());
    SqlDialect dialect;
    dialect.engine = m_engine;
    if (!db.isOpen() || !MigrateSchema(db, dialect, steps, &error))
        m_strError = error;
    return db;
}

const char* EngineName(JournalEngine engine) {
    return engine == JournalEngine::PostgreSQL ? "PostgreSQL" : "SQLite";
}
