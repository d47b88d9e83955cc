// The Batches window at scale: one refresh (every batch's figures, the chosen batch's stations and its
// chart) with 100 batches and 1,000,000 claims, on an SQLite journal and on a PostgreSQL server over the
// loopback; and the delivery report of a batch of 20,000 good cards: its time, its size and the memory
// it took. Goals: a refresh under 200 ms, the report under 10 s and 100 MB.
//
//   BatchesWindowBench [postgresql://user@host:port/dbname]
//
// Without a URL the benchmark starts a PostgreSQL server of its own when PostgreSQL is installed.

#include "batches/Batch.h"
#include "batches/BatchSql.h"
#include "emulator/PgServer.h"
#include "journal/Database.h"
#include "language/MultiLanguage.h"
#include "shell/BatchesDlg.h"
#include "shell/DeliveryReport.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kBatches = 100;
constexpr int kClaimsPerBatch = 10000;
constexpr int kStations = 8;
constexpr int kActive = 3; // batches the stations fill now
constexpr int kReportCards = 20000;
constexpr int kRowsPerInsert = 500;
constexpr int kTicks = 10;

// The process's peak resident memory so far, in MB.
double PeakMegabytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024;
    }
    return 0;
}

// Claims of one batch: every tenth held by a station, the others good, finished evenly from `from` over
// `seconds`.
bool FillClaims(QSqlDatabase& db, const QString& batch, int claims, const QDateTime& from, int seconds, QString* error) {
    for (int start = 0; start < claims; start += kRowsPerInsert) {
        const int count = std::min(kRowsPerInsert, claims - start);
        QStringList rows;
        for (int i = 0; i < count; ++i)
            rows << QStringLiteral("(?, ?, ?, ?, ?, ?, ?, ?)");
        QSqlQuery insert(db);
        insert.prepare(QStringLiteral("INSERT INTO batch_claim (batch_name, idx, identifier, state, station, session,"
                                      " claimed_at, done_at) VALUES ") +
                       rows.join(QStringLiteral(", ")));
        for (int i = start; i < start + count; ++i) {
            const bool held = i % 10 == 9;
            const QString time = BatchTimeText(from.addSecs(qint64(i) * seconds / claims));
            insert.addBindValue(batch);
            insert.addBindValue(qint64(i));
            insert.addBindValue(qint64((18ull << 32) | std::uint64_t(i)));
            insert.addBindValue(QString(held ? CLAIM_CLAIMED : CLAIM_VERIFIED));
            insert.addBindValue(QStringLiteral("station %1").arg(i % kStations));
            insert.addBindValue(QStringLiteral("bench"));
            insert.addBindValue(time);
            insert.addBindValue(held ? QVariant(QMetaType(QMetaType::QString)) : QVariant(time));
        }
        if (!insert.exec()) {
            *error = insert.lastError().text();
            return false;
        }
    }
    QSqlQuery next(db);
    next.prepare(QStringLiteral("UPDATE batch SET next_index = ? WHERE name = ?"));
    next.addBindValue(qint64(claims));
    next.addBindValue(batch);
    if (!next.exec()) {
        *error = next.lastError().text();
        return false;
    }
    return true;
}

// The line's history: each batch filled during an hour of its own over the last days, except the last
// kActive batches, which the stations are filling now (their cards over the last ten minutes).
bool Fill(QSqlDatabase& db, QString* error) {
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (int b = 0; b < kBatches; ++b) {
        const QString name = QStringLiteral("order %1").arg(b, 3, 10, QChar('0'));
        const bool active = b >= kBatches - kActive;
        const QDateTime from = active ? now.addSecs(-600) : now.addSecs(-3600 * qint64(kBatches + 1 - b));
        if (!CreateRangeBatch(db, name, {18, 0, 2 * kClaimsPerBatch, BatchOrder::InOrder}, error) || !db.transaction())
            return false;
        if (!FillClaims(db, name, kClaimsPerBatch, from, active ? 600 : 3600, error) || !db.commit())
            return false;
    }
    if (!CreateRangeBatch(db, QStringLiteral("report"), {18, 0, kReportCards - 1, BatchOrder::Random}, error) ||
        !db.transaction())
        return false;
    return FillClaims(db, QStringLiteral("report"), kReportCards, now.addSecs(-7200), 3600, error) && db.commit();
}

void Measure(const char* engine, const QString& connection, const QString& folder) {
    QString error;
    const std::optional<DatabaseLocation> location = ParseDatabaseLocation(connection, &error);
    QSqlDatabase db = location ? OpenDatabase(*location, QStringLiteral("bench-%1").arg(engine), &error) : QSqlDatabase();
    QElapsedTimer clock;
    clock.start();
    if (!db.isOpen() || !MigrateDatabase(db, &error) || !Fill(db, &error)) {
        std::printf("%-10s cannot set up: %s\n", engine, qPrintable(error));
        return;
    }
    std::printf("%-10s %d batches, %d claims made in %.1f s (%d batches filled now, %d cards each in the last 10 min)\n",
                engine, kBatches + 1, kBatches * kClaimsPerBatch + kReportCards, double(clock.elapsed()) / 1000, kActive,
                kClaimsPerBatch * 9 / 10);

    CMultiLanguage language(folder);
    {
        CBatchesDlg window(connection, language);
        window.SelectBatch(QStringLiteral("order %1").arg(kBatches - 1, 3, 10, QChar('0')));
        std::vector<double> ms;
        for (int tick = 0; tick < kTicks; ++tick) {
            clock.start();
            window.Tick();
            ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
        std::sort(ms.begin(), ms.end());
        std::printf("%-10s a refresh of the Batches window: median %.1f ms, slowest %.1f ms (goal < 200 ms); %d rows,"
                    " %d stations\n",
                    engine, ms[ms.size() / 2], ms.back(), int(window.Batches().size()), int(window.Stations().size()));
    }

    const double before = PeakMegabytes();
    const QString pdf = folder + QStringLiteral("/report-%1.pdf").arg(engine);
    clock.start();
    const bool written = WriteDeliveryReport(db, QStringLiteral("report"), NUMBER_FORMS_ALL, pdf, &error);
    const double seconds = double(clock.elapsed()) / 1000;
    if (!written) {
        std::printf("%-10s the delivery report failed: %s\n", engine, qPrintable(error));
        return;
    }
    std::printf("%-10s the delivery report of %d cards, every form: %.2f s (goal < 10 s), %.1f MB on disk, peak memory"
                " %.0f MB (before it %.0f MB; goal < 100 MB)\n",
                engine, kReportCards, seconds, double(QFileInfo(pdf).size()) / 1e6, PeakMegabytes(), before);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir folder;
    Measure("SQLite", folder.filePath(QStringLiteral("journal.sqlite")), folder.path());

    std::unique_ptr<CPgServer> server;
    const QString given = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    const QString url = BenchmarkDatabase(given, QStringLiteral("rfid_bench"), &server);
    if (url.isEmpty())
        return given.isEmpty() ? 0 : 1; // no server here is not a fault; a wrong URL is
    Measure("PostgreSQL", url, folder.path());
    return 0;
}
