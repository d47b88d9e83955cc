// Batches at speed: what a card costs a station in claim plus record (the claim, then the good card and
// its journal record together: one statement on PostgreSQL, one transaction on SQLite), median and 99th
// percentile, the cards per second of all stations together and the statements each card sends
// (transaction begin and commit included), with 1, 8, 32 and 64 stations writing one batch at once, on an
// SQLite journal and on a PostgreSQL server over the loopback.
//
//   BatchBench [cards per station] [postgresql://user@host:port/dbname] [--stations 1,8,...] [--card-ms MS]
//              [--folder DIR]
//
// Without a URL the benchmark measures an SQLite journal, then starts a PostgreSQL server of its own, as
// the tests do, when PostgreSQL is installed; with one it measures that server only. Each station is a
// thread with its own connection, as each station process has. By default a station claims its next
// card as soon as it recorded the last, which measures the database alone; --card-ms gives each card
// that long on the reader between its claim and its record, as on a line (the median and percentile
// stay those of the claim and the record). --folder puts the SQLite journal on another disk: its tail is
// the checkpoint's flush to the disk, which a folder in memory (/dev/shm) leaves out.

#include "batches/Batch.h"
#include "batches/BatchCard.h"
#include "batches/BatchStation.h"
#include "journal/Journal.h"
#include "emulator/PgServer.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <latch>
#include <optional>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kWarmUpCards = 10;

struct Figures {
    std::vector<double> ms; // per card
    int retries = 0;        // busy or away answers that were tried again
    int failures = 0;
    std::int64_t statements = 0; // of the measured cards
    std::int64_t transactionStatements = 0; // their transactions' begin and commit
    std::int64_t cards = 0;
    // From the first measured card's start to the last one's end, over all stations.
    std::optional<Clock::time_point> begin, end;
};

// One station: claims and records its cards until it has done `cards` or the batch runs out.
// Every station connects and starts first, then all write at once.
void RunStation(const QString& connection, const QString& batch, int number, int cards, int cardMs, Figures* figures,
                std::mutex* lock, std::latch* ready) {
    JournalStatus status;
    std::unique_ptr<CJournal> journal = CJournal::Open(connection, &status);
    if (!journal) {
        ready->count_down();
        std::lock_guard<std::mutex> guard(*lock);
        std::fprintf(stderr, "station %d: %s\n", number, qPrintable(status.detail));
        ++figures->failures;
        return;
    }
    Figures mine;
    {
        CBatchStation station(journal->Database(), QStringLiteral("bench %1").arg(number));
        JournalRecord base;
        base.station = station.StationName();
        base.source = JournalSource::Rfidctl;
        const BatchJournalHook hook(*journal, base);
        if (station.Start().status != BatchStatus::Ok) {
            ++mine.failures;
            cards = 0;
        }
        ready->arrive_and_wait();
        QElapsedTimer clock;
        for (int card = 0; card < cards + kWarmUpCards; ++card) {
            const Clock::time_point cardBegins = Clock::now();
            clock.start();
            const std::int64_t statementsBefore = station.StatementCount();
            const std::int64_t transactionsBefore = station.TransactionStatementCount();
            int journalStatements = 0;
            const BatchOutcome claimed = station.Claim(batch);
            if (claimed.status == BatchStatus::Exhausted)
                break;
            if (claimed.status != BatchStatus::Ok) {
                ++(claimed.status == BatchStatus::Unavailable ? mine.retries : mine.failures);
                continue;
            }
            qint64 onDatabaseNs = clock.nsecsElapsed();
            if (cardMs > 0)
                std::this_thread::sleep_for(std::chrono::milliseconds(cardMs));
            // The card's records as the stations keep them; an insert made inside the transaction is a
            // statement of its own, one joined to the claim's update is counted by the station.
            ResultJournal record = hook.For(BatchCardEvent(*claimed.claim, BatchCardResult::Written, false, QString()));
            record.inTransaction = [&, add = record.inTransaction](QSqlDatabase& db, QString* error) {
                ++journalStatements;
                return add(db, error);
            };
            clock.start();
            BatchOutcome recorded;
            while ((recorded = station.RecordGood(*claimed.claim, false, record)).status == BatchStatus::Unavailable)
                ++mine.retries;
            if (recorded.status != BatchStatus::Ok)
                ++mine.failures;
            else if (card >= kWarmUpCards) {
                onDatabaseNs += clock.nsecsElapsed();
                if (!mine.begin)
                    mine.begin = cardBegins;
                mine.end = Clock::now();
                mine.ms.push_back(double(onDatabaseNs) / 1e6);
                mine.statements += station.StatementCount() - statementsBefore + journalStatements;
                mine.transactionStatements += station.TransactionStatementCount() - transactionsBefore;
                ++mine.cards;
            }
        }
    }
    std::lock_guard<std::mutex> guard(*lock);
    figures->ms.insert(figures->ms.end(), mine.ms.begin(), mine.ms.end());
    figures->retries += mine.retries;
    figures->failures += mine.failures;
    figures->statements += mine.statements;
    figures->transactionStatements += mine.transactionStatements;
    figures->cards += mine.cards;
    if (mine.begin && (!figures->begin || *mine.begin < *figures->begin))
        figures->begin = mine.begin;
    if (mine.end && (!figures->end || *mine.end > *figures->end))
        figures->end = mine.end;
}

double Percentile(std::vector<double>& ms, double share) {
    if (ms.empty())
        return 0;
    std::sort(ms.begin(), ms.end());
    return ms[std::min(ms.size() - 1, std::size_t(double(ms.size()) * share))];
}

void Measure(const char* engine, const QString& connection, int stations, int cards, int cardMs) {
    static int run = 0;
    // Named after the process too, so runs against one server never meet.
    const QString batch = QStringLiteral("bench %1-%2").arg(QCoreApplication::applicationPid()).arg(++run);
    {
        JournalStatus status;
        std::unique_ptr<CJournal> journal = CJournal::Open(connection, &status);
        QString error;
        const std::uint32_t count = std::uint32_t(stations * (cards + kWarmUpCards));
        if (!journal || !CreateRangeBatch(journal->Database(), batch, {18, 1, count, BatchOrder::Random}, &error)) {
            std::printf("%-10s %d station(s): cannot set up (%s%s)\n", engine, stations, qPrintable(status.detail),
                        qPrintable(error));
            return;
        }
    }
    Figures figures;
    std::mutex lock;
    std::latch ready(stations);
    std::vector<std::thread> threads;
    for (int i = 1; i <= stations; ++i)
        threads.emplace_back(RunStation, connection, batch, i, cards, cardMs, &figures, &lock, &ready);
    for (std::thread& thread : threads)
        thread.join();
    const double seconds =
        figures.begin && figures.end ? std::chrono::duration<double>(*figures.end - *figures.begin).count() : 0.0;
    const std::size_t measured = figures.ms.size();
    const double median = Percentile(figures.ms, 0.5);
    const double p99 = Percentile(figures.ms, 0.99);
    const double cardsDone = double(std::max<std::int64_t>(1, figures.cards));
    std::printf("%-10s %2d station(s): %6zu cards, claim+record median %7.3f ms, p99 %7.3f ms, %7.0f cards/s,"
                " %.2f statements/card (%.2f with transaction begin and commit); %d retried, %d failed\n",
                engine, stations, measured, median, p99, seconds > 0 ? double(measured) / seconds : 0.0,
                double(figures.statements - figures.transactionStatements) / cardsDone,
                double(figures.statements) / cardsDone, figures.retries, figures.failures);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("What claim plus record costs a batch card."));
    parser.addHelpOption();
    parser.addPositionalArgument(QStringLiteral("cards"), QStringLiteral("Cards per station (500)."));
    parser.addPositionalArgument(QStringLiteral("url"), QStringLiteral("A PostgreSQL server to measure alone."));
    const QCommandLineOption stationsOption(QStringLiteral("stations"), QStringLiteral("Station counts to run."),
                                            QStringLiteral("1,8,32,64"), QStringLiteral("1,8,32,64"));
    const QCommandLineOption cardMsOption(QStringLiteral("card-ms"),
                                          QStringLiteral("Time a card takes on the reader (0)."), QStringLiteral("ms"),
                                          QStringLiteral("0"));
    const QCommandLineOption folderOption(QStringLiteral("folder"),
                                          QStringLiteral("Folder of the SQLite journal (a temporary one)."),
                                          QStringLiteral("dir"));
    parser.addOptions({stationsOption, cardMsOption, folderOption});
    parser.process(app);
    const QStringList positional = parser.positionalArguments();
    const int cards = positional.size() > 0 ? std::max(1, positional[0].toInt()) : 500;
    const QString given = positional.size() > 1 ? positional[1] : QString();
    const int cardMs = std::max(0, parser.value(cardMsOption).toInt());
    std::vector<int> counts;
    for (const QString& count : parser.value(stationsOption).split(',', Qt::SkipEmptyParts))
        counts.push_back(std::max(1, count.toInt()));

    if (given.isEmpty()) {
        QTemporaryDir folder(parser.isSet(folderOption)
                                 ? QDir(parser.value(folderOption)).filePath(QStringLiteral("BatchBench-XXXXXX"))
                                 : QDir::tempPath() + QStringLiteral("/BatchBench-XXXXXX"));
        if (!folder.isValid()) {
            std::fprintf(stderr, "cannot make a folder for the SQLite journal: %s\n", qPrintable(folder.errorString()));
            return 1;
        }
        const QString sqlite = folder.filePath(QStringLiteral("journal.sqlite"));
        for (int stations : counts)
            Measure("SQLite", sqlite, stations, cards, cardMs);
    }

    std::unique_ptr<CPgServer> server;
    const QString url = BenchmarkDatabase(given, QStringLiteral("rfid_bench"), &server);
    if (url.isEmpty())
        return given.isEmpty() ? 0 : 1; // no server here is not a fault; a wrong URL is
    for (int stations : counts)
        Measure("PostgreSQL", url, stations, cards, cardMs);
    return 0;
}
