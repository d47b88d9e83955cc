#include "emulator/PgServer.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>

#include <cstdio>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

constexpr int kToolTimeoutMs = 120000;
const char kScratchPrefix[] = "rfid-pg-";
const char kServerAccount[] = "postgres";

bool RunningAsRoot() {
    return geteuid() == 0;
}

// The scratch area: /tmp rather than TMPDIR, since the server account must reach the folder and
// test binaries point TMPDIR at folders of their own.
QString ScratchRoot() {
    return QStringLiteral("/tmp");
}

QString TemplateFolder() {
    return ScratchRoot() + "/rfid-pg-template-15-uid" + QString::number(geteuid());
}

int FreeLoopbackPort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    close(fd);
    return port;
}

bool GiveToServerAccount(const QString& path) {
    if (!RunningAsRoot())
        return true;
    const passwd* account = getpwnam(kServerAccount);
    return account && chown(QFile::encodeName(path).constData(), account->pw_uid, account->pw_gid) == 0;
}

// The server tools run without the test's preloads (umockdev, sanitizers), which they do not need.
QProcessEnvironment ToolEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.remove("LD_PRELOAD");
    environment.remove("PGPASSWORD");
    environment.insert("LC_ALL", "C");
    return environment;
}

bool ProcessAlive(qint64 pid) {
    return pid > 0 && (kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM);
}

} // namespace

bool CPgServer::IsInstalled() {
    return QFileInfo(BinDir() + "/initdb").isExecutable() && QFileInfo(BinDir() + "/pg_ctl").isExecutable();
}

QString CPgServer::BinDir() {
    return QStringLiteral("/usr/lib/postgresql/15/bin");
}

bool CPgServer::RunServerTool(const QString& program, const QStringList& arguments, int timeoutMs,
                              QString* output) {
    QProcess process;
    process.setProcessEnvironment(ToolEnvironment());
    process.setWorkingDirectory(m_strFolder.isEmpty() ? ScratchRoot() : m_strFolder);
    process.setProcessChannelMode(QProcess::MergedChannels);
    const QString tool = program.startsWith('/') ? program : BinDir() + "/" + program;
    if (RunningAsRoot())
        process.start("runuser", QStringList{"-u", kServerAccount, "--", tool} + arguments);
    else
        process.start(tool, arguments);
    const bool finished = process.waitForFinished(timeoutMs);
    const QString text = QString::fromLocal8Bit(process.readAll());
    if (output)
        *output = text;
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        m_strError = program + " failed: " + text.trimmed();
        return false;
    }
    return true;
}

// Stops and removes clusters whose test process has died (its pid is in the folder's "owner" file).
static void RemoveAbandonedClusters() {
    const QDir root(ScratchRoot());
    for (const QString& name : root.entryList({QString(kScratchPrefix) + "run-*"}, QDir::Dirs)) {
        const QString folder = root.filePath(name);
        QFile owner(folder + "/owner");
        if (!owner.open(QIODevice::ReadOnly) || ProcessAlive(owner.readAll().trimmed().toLongLong()))
            continue;
        QProcess stop;
        stop.setProcessEnvironment(ToolEnvironment());
        const QStringList arguments{"-D", folder + "/data", "-m", "immediate", "-w", "stop"};
        if (RunningAsRoot())
            stop.start("runuser", QStringList{"-u", kServerAccount, "--", CPgServer::BinDir() + "/pg_ctl"} +
                                      arguments);
        else
            stop.start(CPgServer::BinDir() + "/pg_ctl", arguments);
        stop.waitForFinished(30000);
        QDir(folder).removeRecursively();
    }
}

// initdb is the slow part (seconds); a cluster made once is copied for every later fixture.
bool CPgServer::PrepareCluster() {
    const QString templateFolder = TemplateFolder();
    QLockFile lock(templateFolder + ".lock");
    lock.setStaleLockTime(0);
    if (!lock.lock()) {
        m_strError = "cannot lock " + templateFolder;
        return false;
    }
    if (!QFileInfo::exists(templateFolder + "/PG_VERSION")) {
        const QString building = templateFolder + ".new";
        QDir(building).removeRecursively();
        if (!QDir().mkpath(building) || !GiveToServerAccount(building) ||
            !QFile::setPermissions(building, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner))
            return (m_strError = "cannot create " + building), false;
        if (!RunServerTool("initdb", {"-D", building, "-U", kServerAccount, "--auth=trust", "--no-sync",
                                      "--no-locale", "-E", "UTF8"},
                           kToolTimeoutMs))
            return false;
        if (!QDir().rename(building, templateFolder))
            return (m_strError = "cannot keep the cluster template"), false;
    }
    QProcess copy;
    copy.start("cp", {"-a", templateFolder, m_strFolder + "/data"});
    if (!copy.waitForFinished(kToolTimeoutMs) || copy.exitCode() != 0)
        return (m_strError = "cannot copy the cluster template"), false;
    return true;
}

CPgServer::CPgServer() {
    if (!IsInstalled()) {
        m_strError = "PostgreSQL 15 is not installed (" + BinDir() + ")";
        return;
    }
    RemoveAbandonedClusters();
    QByteArray pattern = QFile::encodeName(ScratchRoot() + "/" + kScratchPrefix + "run-XXXXXX");
    if (!mkdtemp(pattern.data())) {
        m_strError = "cannot create a scratch folder";
        return;
    }
    m_strFolder = QFile::decodeName(pattern);
    QFile owner(m_strFolder + "/owner");
    if (owner.open(QIODevice::WriteOnly))
        owner.write(QByteArray::number(qint64(getpid())));
    owner.close();
    if (!GiveToServerAccount(m_strFolder)) {
        m_strError = "cannot give the scratch folder to the postgres account";
        return;
    }
    m_nPort = FreeLoopbackPort();
    if (PrepareCluster())
        Start();
}

CPgServer::~CPgServer() {
    if (m_bRunning)
        RunServerTool("pg_ctl", {"-D", m_strFolder + "/data", "-m", "immediate", "-w", "stop"}, kToolTimeoutMs);
    if (!m_strFolder.isEmpty())
        QDir(m_strFolder).removeRecursively();
}

bool CPgServer::Start() {
    const QString options = QString("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off "
                                    "-c max_connections=120")
                                .arg(m_nPort)
                                .arg(m_strFolder);
    m_bRunning = RunServerTool("pg_ctl", {"-D", m_strFolder + "/data", "-l", m_strFolder + "/server.log",
                                          "-w", "-t", "60", "-o", options, "start"},
                               kToolTimeoutMs);
    return m_bRunning;
}

bool CPgServer::Stop() {
    if (!RunServerTool("pg_ctl", {"-D", m_strFolder + "/data", "-m", "fast", "-w", "stop"}, kToolTimeoutMs))
        return false;
    m_bRunning = false;
    return true;
}

QString CPgServer::Url(const QString& database) const {
    return QString("postgresql://%1@127.0.0.1:%2/%3").arg(kServerAccount).arg(m_nPort).arg(database);
}

QString CPgServer::Psql(const QString& database, const QString& sql) {
    QString output;
    if (!RunServerTool(BinDir() + "/psql", {"-h", "127.0.0.1", "-p", QString::number(m_nPort), "-U",
                                            kServerAccount, "-d", database, "-X", "-A", "-t", "-v",
                                            "ON_ERROR_STOP=1", "-c", sql},
                       kToolTimeoutMs, &output))
        return QString();
    return output;
}

QString CPgServer::CreateDatabase(const QString& name) {
    // The name comes from the test itself; quoted as an identifier all the same.
    QString quoted = name;
    quoted.replace('"', "\"\"");
    Psql("postgres", "CREATE DATABASE \"" + quoted + "\"");
    return Url(name);
}

QString BenchmarkDatabase(const QString& given, const QString& name, std::unique_ptr<CPgServer>* server) {
    if (!given.isEmpty()) {
        // Anything else would be opened as an SQLite file of that name and measured as the server.
        if (given.startsWith(QLatin1String("postgresql://")) || given.startsWith(QLatin1String("postgres://")))
            return given;
        std::printf("PostgreSQL: not measured (%s is not a postgresql://user@host:port/dbname URL)\n",
                    qPrintable(given));
        return QString();
    }
    if (!CPgServer::IsInstalled()) {
        std::printf("PostgreSQL: not measured (not installed, and no URL given)\n");
        return QString();
    }
    *server = std::make_unique<CPgServer>();
    if (!(*server)->IsRunning()) {
        std::printf("PostgreSQL: the server did not start: %s\n", qPrintable((*server)->LastError()));
        return QString();
    }
    return (*server)->CreateDatabase(name);
}
