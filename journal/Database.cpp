#include "journal/Database.h"

#include "journal/JournalSettings.h"
#include "platform/PrivateProfile.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace {

constexpr int kConnectTimeoutSeconds = 5;
constexpr int kSettingMaxChars = 4096;

bool Fail(QString* error, const QString& message) {
    if (error)
        *error = message;
    return false;
}

QString Decoded(const QString& text) {
    return QUrl::fromPercentEncoding(text.toUtf8());
}

// "host", "host:port", "[v6]" or "[v6]:port".
bool ParseHostPort(const QString& text, DatabaseLocation* location, QString* error) {
    QString host = text;
    QString port;
    if (text.startsWith('[')) {
        const qsizetype close = text.indexOf(']');
        if (close < 0)
            return Fail(error, QStringLiteral("the server address has no closing \"]\""));
        host = text.mid(1, close - 1);
        const QString rest = text.mid(close + 1);
        if (!rest.isEmpty() && !rest.startsWith(':'))
            return Fail(error, QStringLiteral("unexpected text after the server address"));
        port = rest.mid(1);
    } else if (const qsizetype colon = text.lastIndexOf(':'); colon >= 0) {
        host = text.left(colon);
        port = text.mid(colon + 1);
    }
    if (host.isEmpty())
        return Fail(error, QStringLiteral("the database URL names no server"));
    location->host = Decoded(host);
    if (!port.isEmpty()) {
        bool ok = false;
        const int number = port.toInt(&ok);
        if (!ok || number < 1 || number > 65535)
            return Fail(error, QStringLiteral("the port must be a number from 1 to 65535"));
        location->port = number;
    }
    return true;
}

bool ParseQuery(const QString& query, DatabaseLocation* location, QString* error) {
    for (const QString& pair : query.split('&', Qt::SkipEmptyParts)) {
        const qsizetype equals = pair.indexOf('=');
        const QString key = pair.left(equals);
        const QString value = equals < 0 ? QString() : Decoded(pair.mid(equals + 1));
        static const QStringList kSslModes = {"disable", "allow", "prefer", "require", "verify-ca", "verify-full"};
        if (key != QLatin1String("sslmode"))
            return Fail(error, QStringLiteral("unknown database URL option \"%1\" (only sslmode is taken)").arg(key));
        if (!kSslModes.contains(value))
            return Fail(error, QStringLiteral("sslmode must be one of %1").arg(kSslModes.join(", ")));
        location->sslMode = value;
    }
    return true;
}

std::optional<DatabaseLocation> ParsePostgresUrl(const QString& rest, QString* error) {
    DatabaseLocation location;
    location.engine = JournalEngine::PostgreSQL;
    QString main = rest;
    const qsizetype question = main.indexOf('?');
    if (question >= 0) {
        if (!ParseQuery(main.mid(question + 1), &location, error))
            return std::nullopt;
        main = main.left(question);
    }
    const qsizetype slash = main.indexOf('/');
    if (slash < 0 || slash == main.size() - 1) {
        Fail(error, QStringLiteral("the database URL names no database (postgresql://user@host:port/dbname)"));
        return std::nullopt;
    }
    location.database = Decoded(main.mid(slash + 1));
    QString authority = main.left(slash);
    const qsizetype at = authority.lastIndexOf('@');
    if (at >= 0) {
        const QString userInfo = authority.left(at);
        // The error says where the password goes instead, and never repeats the URL.
        if (userInfo.contains(':')) {
            Fail(error, QStringLiteral("a password in the database URL is not taken; put it in ~/.pgpass or "
                                       "PGPASSWORD"));
            return std::nullopt;
        }
        location.user = Decoded(userInfo);
        authority = authority.mid(at + 1);
    }
    if (!ParseHostPort(authority, &location, error))
        return std::nullopt;
    return location;
}

} // namespace

QString DatabaseLocation::DisplayText() const {
    if (engine == JournalEngine::SQLite)
        return path;
    const QString hostText = host.contains(':') ? "[" + host + "]" : host;
    return QStringLiteral("postgresql://%1%2:%3/%4")
        .arg(user.isEmpty() ? QString() : user + "@", hostText)
        .arg(port)
        .arg(database);
}

std::optional<DatabaseLocation> ParseDatabaseLocation(const QString& text, QString* error) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        Fail(error, QStringLiteral("no database given"));
        return std::nullopt;
    }
    for (const QLatin1String scheme : {QLatin1String("postgresql://"), QLatin1String("postgres://")}) {
        if (trimmed.startsWith(scheme, Qt::CaseInsensitive))
            return ParsePostgresUrl(trimmed.mid(scheme.size()), error);
    }
    if (trimmed.contains(QLatin1String("://"))) {
        Fail(error, QStringLiteral("unknown kind of database (a file path or postgresql://user@host:port/dbname)"));
        return std::nullopt;
    }
    DatabaseLocation location;
    location.path = trimmed;
    return location;
}

QString DatabaseDisplayText(const QString& text) {
    QString ignored;
    if (const std::optional<DatabaseLocation> location = ParseDatabaseLocation(text, &ignored))
        return location->DisplayText();
    const QString trimmed = text.trimmed();
    const qsizetype scheme = trimmed.indexOf(QLatin1String("://"));
    return scheme < 0 ? trimmed : trimmed.left(scheme + 3) + QChar(0x2026);
}

QString ConfiguredDatabaseText(const QString& dataFolder, const QString& commandLineText) {
    if (!commandLineText.isEmpty())
        return commandLineText;
    const QString setting = GetPrivateProfileString(QStringLiteral("Journal"), QStringLiteral("Database"),
                                                    QString(), kSettingMaxChars, dataFolder + "/setting.ini");
    return setting.trimmed().isEmpty() ? dataFolder + "/" + JOURNAL_FILE_NAME : setting.trimmed();
}

QSqlDatabase OpenDatabase(const DatabaseLocation& location, const QString& connectionName, QString* error) {
    if (QSqlDatabase::contains(connectionName))
        QSqlDatabase::removeDatabase(connectionName);
    const bool postgres = location.engine == JournalEngine::PostgreSQL;
    QSqlDatabase db = QSqlDatabase::addDatabase(postgres ? "QPSQL" : "QSQLITE", connectionName);
    if (!db.isValid()) {
        Fail(error, QStringLiteral("the Qt SQL driver for %1 is not installed").arg(postgres ? "PostgreSQL" : "SQLite"));
        return db;
    }
    if (postgres) {
        db.setHostName(location.host);
        db.setPort(location.port);
        db.setDatabaseName(location.database);
        if (!location.user.isEmpty())
            db.setUserName(location.user);
        QString options = QStringLiteral("connect_timeout=%1;application_name=rfid").arg(kConnectTimeoutSeconds);
        if (!location.sslMode.isEmpty())
            options += ";sslmode=" + location.sslMode;
        db.setConnectOptions(options);
    } else {
        db.setDatabaseName(location.path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(SQLITE_BUSY_TIMEOUT_MS));
    }
    if (!db.open()) {
        Fail(error, QStringLiteral("cannot open the journal %1: %2")
                        .arg(location.DisplayText(), db.lastError().text().trimmed()));
        return db;
    }
    if (!postgres) {
        QSqlQuery pragma(db);
        pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    }
    return db;
}

JournalEngine EngineOf(const QSqlDatabase& db) {
    return db.driverName() == QLatin1String("QPSQL") ? JournalEngine::PostgreSQL : JournalEngine::SQLite;
}

bool MigrateDatabase(QSqlDatabase& db, QString* error) {
    SqlDialect dialect;
    dialect.engine = EngineOf(db);
    return MigrateSchema(db, dialect, JournalSchemaSteps(), error);
}

bool BeginWrite(QSqlDatabase& db, QString* error) {
    if (EngineOf(db) == JournalEngine::PostgreSQL)
        return db.transaction() || Fail(error, db.lastError().text().trimmed());
    QSqlQuery begin(db);
    return begin.exec(QStringLiteral("BEGIN IMMEDIATE")) || Fail(error, begin.lastError().text().trimmed());
}

bool DatabaseReachable(QSqlDatabase& db) {
    if (!db.isOpen())
        return false;
    QSqlQuery probe(db);
    return probe.exec(QStringLiteral("SELECT 1")) && probe.next();
}

bool ReopenDatabase(QSqlDatabase& db) {
    db.close();
    return db.open();
}
