#pragma once

// A fresh journal database for one test, on either engine:
//
//   CTestDatabase database(DatabaseEngine::PostgreSQL);  // a new database on the process's own server
//   ASSERT_TRUE(database.IsReady()) << database.Error();
//   QSqlDatabase db = database.Open("station-1");         // open, with the batch tables in place
//   database.Text();                                      // what --journal or Database= would say
//   database.Server();                                    // the PostgreSQL server (stop/start it)
//
// SQLite databases are files in a temporary folder. The PostgreSQL server is started once per test
// process and stopped when the process ends.

#include "journal/Database.h"
#include "tests/support/PgServer.h"

#include <QSqlDatabase>
#include <QTemporaryDir>

#include <memory>
#include <ostream>

class CTestDatabase {
public:
    explicit CTestDatabase(DatabaseEngine engine);
    ~CTestDatabase();

    bool IsReady() const { return m_strError.isEmpty(); }
    QString Error() const { return m_strError; }
    QString Text() const { return m_strText; }
    DatabaseEngine Engine() const { return m_engine; }
    CPgServer* Server() const;

    // Opens a connection of the given name, creating the batch tables when they are missing.
    QSqlDatabase Open(const QString& connectionName);

    // The process-wide server (started on first use).
    static CPgServer& SharedServer();

private:
    DatabaseEngine m_engine;
    QTemporaryDir m_folder;
    QString m_strText;
    QString m_strError;
    QStringList m_connections;
};

// "SQLite" or "PostgreSQL", for parameterised test names.
const char* EngineName(DatabaseEngine engine);
inline void PrintTo(DatabaseEngine engine, std::ostream* out) {
    *out << EngineName(engine);
}
