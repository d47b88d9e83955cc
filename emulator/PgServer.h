#pragma once

// A PostgreSQL 15 server of the test's own, in a scratch folder, on 127.0.0.1 and a free port.
//
//   CPgServer server;                      // initdb (or a copy of a cached cluster), then pg_ctl start
//   ASSERT_TRUE(server.IsRunning()) << server.LastError();
//   QString url = server.CreateDatabase("rfid");   // postgresql://postgres@127.0.0.1:PORT/rfid
//   server.Stop(); server.Start();         // the same cluster on the same port again
//
// initdb refuses to run as root, and tests run as root in CI: the cluster then belongs to the
// unprivileged "postgres" account, which runs initdb, pg_ctl and the server. Authentication is "trust"
// for this scratch cluster only; it listens on the loopback address and its own socket folder, never on
// the system's. The server is stopped and its folder removed when the object goes; a cluster left by a
// test process that died is stopped and removed by the next fixture.

#include <QString>
#include <QStringList>

#include <memory>

class CPgServer {
public:
    CPgServer();
    ~CPgServer();
    CPgServer(const CPgServer&) = delete;
    CPgServer& operator=(const CPgServer&) = delete;

    // Whether the PostgreSQL server programs are on this machine (tests skip only when they are not).
    static bool IsInstalled();
    static QString BinDir(); // /usr/lib/postgresql/15/bin

    bool IsRunning() const { return m_bRunning; }
    QString LastError() const { return m_strError; }
    int Port() const { return m_nPort; }
    QString Folder() const { return m_strFolder; }

    // Creates a database (the superuser "postgres" owns it) and returns its URL.
    QString CreateDatabase(const QString& name);
    QString Url(const QString& database) const;

    // Runs SQL as the superuser through psql; returns psql's standard output (empty on failure).
    QString Psql(const QString& database, const QString& sql);

    bool Stop();  // fast shutdown: open connections are cut, as when a server goes away
    bool Start(); // the same cluster, the same port

private:
    bool PrepareCluster();
    bool RunServerTool(const QString& program, const QStringList& arguments, int timeoutMs,
                       QString* output = nullptr);

    QString m_strFolder;
    QString m_strError;
    int m_nPort = 0;
    bool m_bRunning = false;
};

class CPgServer;
// A benchmark's PostgreSQL database: the URL it was given, else a database on a server of its own,
// started into *server. Empty, with the reason printed, when no server is installed or it does not start,
// or when the text given is not a postgresql:// URL.
QString BenchmarkDatabase(const QString& given, const QString& name, std::unique_ptr<CPgServer>* server);
