// Batches at speed: what a card costs a station in claim plus record (the claim, then the good card and
// its journal record in one transaction), median and 99th percentile, with 1 and with 8 stations
// writing one batch at once, on an SQLite journal and on a PostgreSQL server over the loopback.
//
//   BatchBench [cards per station] [postgresql://user@host:port/dbname]
//
// Without a URL the benchmark starts a PostgreSQL server of its own, as the tests do, when PostgreSQL
// is installed. Each station is a thread with its own connection, as each station process has.

#include "batches/Batch.h"
#include "batches/BatchStation.h"
#include "journal/Journal.h"
#include "emulator/PgServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kWarmUpCards = 10;

struct Figures {
    std::vector<double> ms; // per card
    int retries = 0;        // busy or away answers that were tried again
    int failures = 0;
};

// One station: claims and records its cards until it has done `cards` or the batch runs out.
void RunStation(const QString& connection, const QString& batch, int number, int cards, Figures* figures,
                std::mutex* lock) {
    JournalStatus status;
    std::unique_ptr<CJournal> journal = CJournal::Open(connection, &status);
    if (!journal) {
        std::lock_guard<std::mutex> guard(*lock);
        std::fprintf(stderr, "station %d: %s\n", number, qPrintable(status.detail));
        ++figures->failures;
        return;
    }
    Figures mine;
    {
        CBatchStation station(journal->Database(), QStringLiteral("bench %1").arg(number));
        if (station.Start().status != BatchStatus::Ok) {
            ++mine.failures;
            cards = 0;
        }
        QElapsedTimer clock;
        for (int card = 0; card < cards + kWarmUpCards; ++card) {
            clock.start();
            const BatchOutcome claimed = station.Claim(batch);
            if (claimed.status == BatchStatus::Exhausted)
                break;
            if (claimed.status != BatchStatus::Ok) {
                ++(claimed.status == BatchStatus::Unavailable ? mine.retries : mine.failures);
                continue;
            }
            const auto record = [&](QSqlDatabase&, QString* error) {
                JournalRecord good;
                good.station = station.StationName();
                good.source = JournalSource::Rfidctl;
                good.operation = JournalOperation::Write;
                good.identifier = claimed.claim->identifier;
                return journal->Add(good, error);
            };
            BatchOutcome recorded;
            while ((recorded = station.RecordGood(*claimed.claim, false, record)).status == BatchStatus::Unavailable)
                ++mine.retries;
            if (recorded.status != BatchStatus::Ok)
                ++mine.failures;
            else if (card >= kWarmUpCards)
                mine.ms.push_back(double(clock.nsecsElapsed()) / 1e6);
        }
    }
    std::lock_guard<std::mutex> guard(*lock);
    figures->ms.insert(figures->ms.end(), mine.ms.begin(), mine.ms.end());
    figures->retries += mine.retries;
    figures->failures += mine.failures;
}

double Percentile(std::vector<double>& ms, double share) {
    if (ms.empty())
        return 0;
    std::sort(ms.begin(), ms.end());
    return ms[std::min(ms.size() - 1, std::size_t(double(ms.size()) * share))];
}

void Measure(const char* engine, const QString& connection, int stations, int cards) {
    static int run = 0;
    const QString batch = QStringLiteral("bench %1").arg(++run);
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
    QElapsedTimer wall;
    wall.start();
    std::vector<std::thread> threads;
    for (int i = 1; i <= stations; ++i)
        threads.emplace_back(RunStation, connection, batch, i, cards, &figures, &lock);
    for (std::thread& thread : threads)
        thread.join();
    const double seconds = double(wall.elapsed()) / 1000;
    const std::size_t measured = figures.ms.size();
    const double median = Percentile(figures.ms, 0.5);
    const double p99 = Percentile(figures.ms, 0.99);
    std::printf("%-10s %d station(s): %6zu cards, claim+record median %7.3f ms, p99 %7.3f ms, %7.0f cards/s;"
                " %d retried, %d failed\n",
                engine, stations, measured, median, p99, seconds > 0 ? double(measured) / seconds : 0.0,
                figures.retries, figures.failures);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int cards = argc > 1 ? std::max(1, std::atoi(argv[1])) : 500;
    QTemporaryDir folder;
    const QString sqlite = folder.filePath(QStringLiteral("journal.sqlite"));
    for (int stations : {1, 8})
        Measure("SQLite", sqlite, stations, cards);

    QString url = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QString();
    std::unique_ptr<CPgServer> server;
    if (url.isEmpty() && CPgServer::IsInstalled()) {
        server = std::make_unique<CPgServer>();
        if (server->IsRunning())
            url = server->CreateDatabase(QStringLiteral("rfid_bench"));
        else
            std::printf("PostgreSQL: the server did not start: %s\n", qPrintable(server->LastError()));
    }
    if (url.isEmpty()) {
        std::printf("PostgreSQL: not measured (not installed, and no URL given)\n");
        return 0;
    }
    for (int stations : {1, 8})
        Measure("PostgreSQL", url, stations, cards);
    return 0;
}
