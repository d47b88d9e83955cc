// The journal of years: fills a journal with ten million records (or the count given) in SQLite, or with
// --postgres on a PostgreSQL server of its own, then prints what a supervisor waits for: the window shown
// with its first rows, one Ctrl+End to the oldest record, filter changes, the program's resident memory
// after scrolling through the whole journal, and rfidctl journal's records a second and memory for CSV
// and JSON. Counts and totals come from the window's counter thread after the rows: when they came is
// printed beside each figure.
//
//   JournalBench [records] [--postgres] [--export-only] [--callgrind] [--journal FILE]
//
// --export-only measures rfidctl journal alone; --callgrind also runs each export under valgrind's
// callgrind and prints the instructions a record costs, a figure that other work on the machine leaves
// as it is; --journal fills (or, when it holds records already, reuses) that SQLite file and keeps it.

#include "emulator/PgServer.h"
#include "journal/Database.h"
#include "language/MultiLanguage.h"
#include "shell/JournalDlg.h"

#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QScrollBar>
#include <QSqlError>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr qint64 kFirstTime = 1700000000; // seconds since 1970, UTC; a record every 1.5 s from there

// The whole journal in one statement a few million rows at a time: stations line-1 to line-8, every
// source, mostly good writes with some refusals and failures, three records of four from a batch, and
// vendor 18 on every fourth card.
QString FillSql(JournalEngine engine) {
    const bool sqlite = engine == JournalEngine::SQLite;
    const QString series = sqlite ? QStringLiteral("WITH RECURSIVE n(i) AS (SELECT ? UNION ALL SELECT i + 1 FROM n WHERE i < ?)")
                                  : QStringLiteral("WITH n(i) AS (SELECT generate_series(?::bigint, ?::bigint))");
    const QString time = sqlite ? QStringLiteral("strftime('%Y-%m-%dT%H:%M:%fZ', %1 + i * 1.5, 'unixepoch')")
                                : QStringLiteral("to_char(to_timestamp(%1 + i * 1.5) AT TIME ZONE 'UTC',"
                                                 " 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')");
    const QString identifier = QStringLiteral("((CASE WHEN i % 4 = 0 THEN 18 ELSE 0 END) * 4294967296 + 100000 + i / 2)");
    const QString text = sqlite ? QStringLiteral("printf('%013d', %1)").arg(identifier)
                                : QStringLiteral("lpad((%1)::text, 13, '0')").arg(identifier);
    const QString concat = sqlite ? QStringLiteral("'line-' || (1 + i % 8)") : QStringLiteral("'line-' || (1 + i % 8)::text");
    const QString batch = sqlite ? QStringLiteral("CASE WHEN i % 4 = 3 THEN NULL ELSE 'order-' || (i / 100000) END")
                                 : QStringLiteral("CASE WHEN i % 4 = 3 THEN NULL ELSE 'order-' || (i / 100000)::text END");
    return series +
           QStringLiteral(" INSERT INTO journal_record (recorded_at, station, login_user, source, operation, identifier,"
                          " identifier_text, result, reason, verify_requested, reader_name, reader_version, batch)"
                          " SELECT %1, %2, 'operator',"
                          " CASE i % 3 WHEN 0 THEN 'mass-production' WHEN 1 THEN 'read-write' ELSE 'rfidctl' END,"
                          " 'write', %3, %4,"
                          " CASE WHEN i % 50 = 0 THEN 'refused' WHEN i % 97 = 0 THEN 'error' ELSE 'ok' END,"
                          " CASE WHEN i % 50 = 0 THEN 'already on a good card' ELSE '' END,"
                          " 0, 'RFID Reader', '1.0.2', %5 FROM n")
               .arg(time.arg(kFirstTime), concat, identifier, text, batch);
}

bool Fill(const QString& connection, qint64 records) {
    JournalStatus status;
    auto journal = CJournal::Open(connection, &status);
    if (!journal) {
        std::fprintf(stderr, "cannot open the journal: %s\n", qPrintable(status.detail));
        return false;
    }
    const QString sql = FillSql(journal->Engine());
    constexpr qint64 kStep = 1000000;
    for (qint64 first = 0; first < records; first += kStep) {
        QSqlQuery fill(journal->Database());
        fill.prepare(sql);
        fill.addBindValue(first);
        fill.addBindValue(std::min(records, first + kStep) - 1);
        if (!journal->Database().transaction() || !fill.exec() || !journal->Database().commit()) {
            std::fprintf(stderr, "cannot fill the journal: %s\n", qPrintable(fill.lastError().text()));
            return false;
        }
    }
    QSqlQuery analyse(journal->Database());
    analyse.exec(journal->Engine() == JournalEngine::SQLite ? QStringLiteral("PRAGMA optimize")
                                                             : QStringLiteral("ANALYZE journal_record"));
    return true;
}

// The records of a journal file kept from an earlier run, 0 for none.
qint64 RecordsIn(const QString& connection) {
    if (!QFile::exists(connection))
        return 0;
    JournalStatus status;
    auto journal = CJournal::Open(connection, &status);
    QString error;
    return journal ? journal->Count(JournalFilter(), &error).value_or(0) : 0;
}

double Ms(const QElapsedTimer& clock) {
    return double(clock.nsecsElapsed()) / 1e6;
}

long ResidentKb() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// The rows in view painted, each fetched as the view asks for it.
void Paint(CJournalDlg& dlg) {
    dlg.m_table->viewport()->repaint();
    QCoreApplication::processEvents();
}

// The rows counted, or estimated while the counter counts.
QString CountText(CJournalDlg& dlg) {
    return QStringLiteral("%1%2 records").arg(dlg.Model().CountIsEstimate() ? QStringLiteral("about ") : QString()).arg(dlg.Model().rowCount());
}

// Runs the window until the counter's exact count and totals came: when each came on clock.
QString WaitForFigures(CJournalDlg& dlg, const QElapsedTimer& clock) {
    double counted = dlg.Model().CountIsEstimate() ? -1 : 0;
    while (dlg.FiguresPending()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        if (counted < 0 && !dlg.Model().CountIsEstimate())
            counted = Ms(clock);
    }
    const QString count = counted > 0 ? QStringLiteral("exact count at %1 ms, ").arg(counted, 0, 'f', 0) : QString();
    return count + QStringLiteral("totals at %1 ms").arg(Ms(clock), 0, 'f', 0);
}

void TimeFilter(CJournalDlg& dlg, const char* what, const std::function<void()>& change) {
    QElapsedTimer clock;
    clock.start();
    change();
    dlg.Refresh();
    Paint(dlg);
    const double rows = Ms(clock);
    const QString shown = CountText(dlg);
    const QString figures = WaitForFigures(dlg, clock);
    std::printf("  filter %-38s %8.1f ms  (%s; %s)\n", what, rows, qPrintable(shown), qPrintable(figures));
}

void MeasureWindow(const QString& connection) {
    CMultiLanguage language;
    QElapsedTimer clock;
    const long startKb = ResidentKb();
    clock.start();
    CJournalDlg dlg(connection, language);
    dlg.show();
    Paint(dlg);
    std::printf("window shown with its first rows:          %8.1f ms  (%s)\n", Ms(clock), qPrintable(CountText(dlg)));
    std::printf("  its count and totals from the counter:   %s\n", qPrintable(WaitForFigures(dlg, clock)));

    clock.start();
    QKeyEvent end(QEvent::KeyPress, Qt::Key_End, Qt::ControlModifier);
    QCoreApplication::sendEvent(dlg.m_table, &end);
    Paint(dlg);
    const JournalRecord* oldest = dlg.Model().RecordAt(dlg.Model().rowCount() - 1);
    std::printf("one Ctrl+End to the oldest record:         %8.1f ms  (%s)\n", Ms(clock),
                oldest ? qPrintable(JournalTimeText(oldest->time)) : "not fetched");

    // Dragged through the whole journal: the view stops at 400 places from the top to the bottom.
    clock.start();
    QScrollBar* scroll = dlg.m_table->verticalScrollBar();
    for (int stop = 0; stop <= 400; ++stop) {
        scroll->setValue(int(qint64(scroll->maximum()) * stop / 400));
        Paint(dlg);
    }
    std::printf("dragged through 400 places:                %8.1f ms a place\n", Ms(clock) / 401);
    std::printf("resident memory after scrolling through:   %8ld MB  (%ld MB before the window)\n",
                ResidentKb() / 1024, startKb / 1024);

    TimeFilter(dlg, "station line-3", [&] { dlg.m_editStation->setText(QStringLiteral("line-3")); });
    TimeFilter(dlg, "+ result refused", [&] { dlg.m_comboResult->setCurrentIndex(1 + int(JournalResult::Refused)); });
    TimeFilter(dlg, "card number 123456 (any vendor)", [&] {
        dlg.m_editStation->clear();
        dlg.m_comboResult->setCurrentIndex(0);
        dlg.m_editIdentifier->setText(QStringLiteral("123456"));
    });
    TimeFilter(dlg, "18:300000", [&] { dlg.m_editIdentifier->setText(QStringLiteral("18:300000")); });
    TimeFilter(dlg, "batch order-7", [&] {
        dlg.m_editIdentifier->clear();
        dlg.m_editBatch->setText(QStringLiteral("order-7"));
    });
    TimeFilter(dlg, "source rfidctl", [&] {
        dlg.m_editBatch->clear();
        dlg.m_comboSource->setCurrentIndex(3);
    });
    TimeFilter(dlg, "dates 2023-11-15 to 2023-11-16", [&] {
        dlg.m_comboSource->setCurrentIndex(0);
        dlg.m_dateFrom->setDate(QDate(2023, 11, 15));
        dlg.m_dateTo->setDate(QDate(2023, 11, 16));
    });
    TimeFilter(dlg, "none again", [&] {
        dlg.m_dateFrom->setDate(dlg.m_dateFrom->minimumDate());
        dlg.m_dateTo->setDate(dlg.m_dateTo->minimumDate());
    });
    std::printf("resident memory at the end:                %8ld MB\n", ResidentKb() / 1024);
}

// A program started with its output thrown away, or 0 when it could not be started.
pid_t Start(const std::vector<std::string>& arguments) {
    std::vector<char*> argv;
    for (const std::string& argument : arguments)
        argv.push_back(const_cast<char*>(argument.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t child = 0;
    if (posix_spawnp(&child, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        child = 0;
    posix_spawn_file_actions_destroy(&actions);
    return child;
}

// rfidctl journal run as its own process, its output thrown away: records a second and peak memory.
void MeasureRfidctl(const QString& connection, qint64 records, const char* form) {
    QElapsedTimer clock;
    clock.start();
    const pid_t child = Start({RFIDCTL_PATH, "journal", form, "--journal", connection.toStdString()});
    if (child == 0) {
        std::printf("rfidctl could not be started\n");
        return;
    }
    // Its peak memory read while it runs: the rusage of a spawned child also counts the parent's pages it
    // started with.
    const QString statusFile = QStringLiteral("/proc/%1/status").arg(child);
    long peakKb = 0;
    int status = 0;
    rusage usage{};
    while (wait4(child, &status, WNOHANG, &usage) == 0) {
        QFile file(statusFile);
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray& line : file.readAll().split('\n'))
                if (line.startsWith("VmHWM:"))
                    peakKb = std::max(peakKb, line.mid(6).trimmed().split(' ').value(0).toLong());
        usleep(50000);
    }
    const double seconds = Ms(clock) / 1000;
    // Its own processor time too: on a machine busy with other work the clock says more about the others.
    const double cpu = double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                       double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    std::printf("rfidctl journal %-6s %9.0f records/s  %6.1f s (%.0f records a processor second)  peak %ld MB"
                "  (exit %d)\n",
                form, double(records) / seconds, seconds, double(records) / cpu, peakKb / 1024,
                WEXITSTATUS(status));
}

// The instructions rfidctl journal executes under callgrind for the first `records` records, or -1.
double Instructions(const QString& connection, qint64 records, const char* form, const QString& folder) {
    const QString outFile = folder + QStringLiteral("/callgrind.out");
    QFile::remove(outFile);
    const pid_t child = Start({"valgrind", "--tool=callgrind", "--callgrind-out-file=" + outFile.toStdString(),
                               RFIDCTL_PATH, "journal", form, "--limit", std::to_string(records), "--journal",
                               connection.toStdString()});
    int status = 0;
    if (child == 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return -1;
    QFile out(outFile);
    if (!out.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : out.readAll().split('\n'))
        if (line.startsWith("summary:"))
            return line.mid(8).trimmed().toDouble();
    return -1;
}

// The instructions a record costs, the program's start and end (one record's run) taken off.
void MeasureInstructions(const QString& connection, qint64 records, const char* form, const QString& folder) {
    const double all = Instructions(connection, records, form, folder);
    const double one = Instructions(connection, 1, form, folder);
    if (all < 0 || one < 0) {
        std::printf("rfidctl journal %-6s could not be run under callgrind\n", form);
        return;
    }
    std::printf("rfidctl journal %-6s %9.0f instructions a record  (%.2f G for %lld records, %.0f M to start and end)\n",
                form, (all - one) / double(std::max<qint64>(1, records - 1)), all / 1e9, records, one / 1e6);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is measured
    qint64 records = 10000000;
    bool postgres = false;
    bool exportOnly = false;
    bool callgrind = false;
    QString file;
    for (int i = 1; i < argc; ++i) {
        const QByteArray argument(argv[i]);
        if (argument == "--postgres")
            postgres = true;
        else if (argument == "--export-only")
            exportOnly = true;
        else if (argument == "--callgrind")
            callgrind = true;
        else if (argument == "--journal" && i + 1 < argc)
            file = QString::fromLocal8Bit(argv[++i]);
        else
            records = std::max<qint64>(1, argument.toLongLong());
    }
    QTemporaryDir folder;
    CMultiLanguage::SetDefaultAppFolder(folder.path());
    QString connection = file.isEmpty() ? folder.filePath(QStringLiteral("journal.sqlite")) : file;
    std::unique_ptr<CPgServer> server;
    if (postgres) {
        server = std::make_unique<CPgServer>();
        connection = server->IsRunning() ? server->CreateDatabase(QStringLiteral("rfid_journal_bench")) : QString();
        if (connection.isEmpty()) {
            std::fprintf(stderr, "no PostgreSQL server: %s\n", qPrintable(server->LastError()));
            return 1;
        }
    }

    QElapsedTimer clock;
    clock.start();
    const qint64 held = postgres ? 0 : RecordsIn(connection);
    if (held > 0)
        records = held;
    else if (!Fill(connection, records))
        return 1;
    std::printf("%s journal of %lld records %s in %.0f s\n", postgres ? "PostgreSQL" : "SQLite", records,
                held > 0 ? "opened" : "filled", Ms(clock) / 1000);
    if (!exportOnly)
        MeasureWindow(connection);
    for (const char* form : {"--csv", "--json"}) {
        MeasureRfidctl(connection, records, form);
        if (callgrind)
            MeasureInstructions(connection, records, form, folder.path());
    }
    CMultiLanguage::SetDefaultAppFolder(QString());
    return 0;
}
