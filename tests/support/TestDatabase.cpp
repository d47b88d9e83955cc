#include "tests/support/TestDatabase.h"

#include "batches/Batch.h"

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
    QString error;
    const std::optional<DatabaseLocation> location = ParseDatabaseLocation(m_strText, &error);
    if (!location) {
        m_strError = error;
        return QSqlDatabase();
    }
    QSqlDatabase db = OpenDatabase(*location, connectionName, &error);
    m_connections << connectionName;
    if (!db.isOpen() || !MigrateDatabase(db, &error))
        m_strError = error;
    return db;
}

const char* EngineName(JournalEngine engine) {
    return engine == JournalEngine::PostgreSQL ? "PostgreSQL" : "SQLite";
}
