#pragma once

// A fresh journal database for one test, on either engine:
//
//   CTestDatabase database(JournalEngine::PostgreSQL);  // a new database on the process's own server
//   ASSERT_TRUE(database.IsReady()) << database.Error();
//   QSqlDatabase db = database.Open("station-1");         // open, at the journal's latest schema
//   database.Text();                                      // what --journal or Database= would say
//   database.Server();                                    // the PostgreSQL server (stop/start it)
//
// SQLite databases are files in a temporary folder. The PostgreSQL server is started once per test
// process and stopped when the process ends.

#include "journal/Database.h"
#include "emulator/PgServer.h"

#include <QSqlDatabase>
#include <QTemporaryDir>

#include <memory>
#include <ostream>

class CTestDatabase {
public:
    explicit CTestDatabase(JournalEngine engine);
    ~CTestDatabase();

    bool IsReady() const { return m_strError.isEmpty(); }
    QString Error() const { return m_strError; }
    QString Text() const { return m_strText; }
    JournalEngine Engine() const { return m_engine; }
    CPgServer* Server() const;

    // Opens a connection of the given name, bringing it to the journal's latest schema.
    QSqlDatabase Open(const QString& connectionName);
    // Opens a connection and brings the database only as far as the schema version given, as an
    // earlier version of the program left it.
    QSqlDatabase OpenAtVersion(const QString& connectionName, int version);

    // The process-wide server (started on first use).
    static CPgServer& SharedServer();

private:
    JournalEngine m_engine;
    QTemporaryDir m_folder;
    QString m_strText;
    QString m_strError;
    QStringList m_connections;
};

// "SQLite" or "PostgreSQL", for parameterised test names.
const char* EngineName(JournalEngine engine);
inline void PrintTo(JournalEngine engine, std::ostream* out) {
    *out << EngineName(engine);
}
