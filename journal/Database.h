#pragma once

// Where the journal and its batches live, and opening that database through Qt SQL.
//
// The text that names the database comes from "[Journal] Database=" in setting.ini or from
// "rfidctl --journal": a file path for the local SQLite journal (one station), or
// postgresql://user@host:port/dbname for a PostgreSQL server shared by several stations. Passwords are
// never part of that text: they come the way every libpq program takes them (~/.pgpass, PGPASSWORD), so
// they never reach setting.ini, the log, the journal or a message.

#include "journal/JournalSchema.h"

#include <QSqlDatabase>
#include <QString>

#include <optional>

// How long a connection to an SQLite journal waits for another connection's write lock before its
// statement fails as busy: several station processes on one file, on a loaded computer, may wait seconds.
inline constexpr int SQLITE_BUSY_TIMEOUT_MS = 30000;

struct DatabaseLocation {
    JournalEngine engine = JournalEngine::SQLite;
    QString path;     // SQLite: the journal file
    QString user;     // PostgreSQL: empty means libpq's default (the login name)
    QString host;
    int port = 5432;
    QString database;
    QString sslMode;  // PostgreSQL: "?sslmode=..." when given

    // The location as a person may see it in a message or the log (it holds no password).
    QString DisplayText() const;
};

// Parses the text naming a database; nullopt with *error set for text that names none, a password in
// the URL included (the error never repeats it).
std::optional<DatabaseLocation> ParseDatabaseLocation(const QString& text, QString* error);

// Text naming a database as it may be shown: the location without a password, or for text that names
// no database only its scheme ("postgresql://…"), since a malformed URL may still hold a password.
QString DatabaseDisplayText(const QString& text);

// The database the program uses: "[Journal] Database=" of setting.ini in dataFolder, else
// journal.sqlite in that folder. A command line's --journal, when given, wins over both.
QString ConfiguredDatabaseText(const QString& dataFolder, const QString& commandLineText = QString());

// Opens the database under the given Qt SQL connection name (replacing one of that name). Returns the
// open connection, or an invalid/closed one with *error set.
QSqlDatabase OpenDatabase(const DatabaseLocation& location, const QString& connectionName, QString* error);

JournalEngine EngineOf(const QSqlDatabase& db);

// Brings the database to the journal's latest schema (the records and the batches).
bool MigrateDatabase(QSqlDatabase& db, QString* error);

// Starts a transaction that will write. SQLite takes its write lock at once, so two processes never
// both read and then deadlock on upgrading; PostgreSQL locks the rows each statement touches.
bool BeginWrite(QSqlDatabase& db, QString* error = nullptr);

// Whether the connection still reaches its server (a trivial query gets through).
bool DatabaseReachable(QSqlDatabase& db);

// Closes and opens the connection again with the settings it had; true when it is open again.
bool ReopenDatabase(QSqlDatabase& db);
