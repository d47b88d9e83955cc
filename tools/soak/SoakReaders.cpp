#include "tools/soak/SoakReaders.h"

#include "batches/Batch.h"
#include "journal/Journal.h"
#include "emulator/EmuTestbed.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <map>
#include <memory>
#include <random>
#include <vector>

namespace {

constexpr int kStartMs = 1500;       // the stations open their readers and the journal
constexpr int kRunTimeoutMs = 600000; // a line that takes longer than this has stopped
constexpr std::uint64_t kVendor = 1;
// A station sees a card taken away after this long without it (the card settling, then three reads that
// find none); a blank laid sooner reads as the blank it just wrote and waits. The operator lays the next
// blank only on a reader that has been empty this long.
constexpr qint64 kEmptyBeforeNextMs = 1200;

struct LineFigures {
    int cards = 0;        // taken away written
    qint64 ms = 0;
    int stationFailures = 0;
    int twice = 0;        // numbers on more than one card
    int missing = 0;      // numbers of the batch on no card
};

// One station of the line: `rfidctl run` on its own reader.
std::unique_ptr<QProcess> StartStation(const CEmuTestbed& testbed, const QString& journal, const QString& reader) {
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(testbed.ChildEnvironment());
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->start(QStringLiteral(RFIDCTL_PATH),
                   {"run", "--batch", "soak", "--journal", journal, "--reader", reader});
    return process;
}

LineFigures RunLine(int readers, int cards, std::mt19937& random) {
    LineFigures figures;
    QTemporaryDir folder;
    const QString journal = folder.filePath("journal.sqlite");
    {
        JournalStatus status;
        std::unique_ptr<CJournal> opened = CJournal::Open(journal, &status);
        QString error;
        if (!opened || !CreateRangeBatch(opened->Database(), "soak", {int(kVendor), 1, std::uint32_t(cards)}, &error)) {
            std::printf("cannot make the batch: %s%s\n", qPrintable(status.detail), qPrintable(error));
            figures.stationFailures = readers;
            return figures;
        }
    }
    CEmuTestbed testbed;
    std::vector<std::shared_ptr<CEmuUsbDevice>> plugged;
    std::vector<std::unique_ptr<QProcess>> stations;
    for (int i = 0; i < readers; ++i) {
        plugged.push_back(testbed.PlugReaderWithSerial(QString("SOAK-%1").arg(i + 1)));
        plugged.back()->Reader().RemoveCard();
        stations.push_back(StartStation(testbed, journal, QString("SOAK-%1").arg(i + 1)));
    }
    QThread::msleep(kStartMs);
    std::map<std::uint64_t, int> onCards;
    std::uniform_int_distribution<int> hand(150, 400); // a person's hand between two actions
    QElapsedTimer clock;
    clock.start();
    const auto running = [&] {
        for (const auto& station : stations) {
            // Without an event loop a process is seen to end only when asked.
            if (station->state() != QProcess::NotRunning && !station->waitForFinished(0))
                return true;
        }
        return false;
    };
    std::vector<qint64> emptySince(plugged.size(), -kEmptyBeforeNextMs);
    for (std::size_t next = 0; running() && clock.elapsed() < kRunTimeoutMs; next = (next + 1) % plugged.size()) {
        CEmulatedReader& reader = plugged[next]->Reader();
        const std::optional<std::uint64_t> card = reader.CardId();
        if (card && *card != 0) { // written: taken away to the shelf
            ++onCards[*card];
            ++figures.cards;
            reader.RemoveCard();
            emptySince[next] = clock.elapsed();
            QThread::msleep(std::uint64_t(hand(random)));
        } else if (!card && clock.elapsed() - emptySince[next] >= kEmptyBeforeNextMs) {
            reader.PutCard(0);
            QThread::msleep(std::uint64_t(hand(random)));
        } else if (next + 1 == plugged.size()) {
            QThread::msleep(20); // nothing to do at any reader yet
        }
    }
    figures.ms = clock.elapsed();
    for (std::size_t i = 0; i < plugged.size(); ++i) {
        // The last cards: written, but their station ended before the operator came back.
        if (const std::optional<std::uint64_t> card = plugged[i]->Reader().CardId(); card && *card != 0) {
            ++onCards[*card];
            ++figures.cards;
        }
        QProcess& station = *stations[i];
        if (!station.waitForFinished(5000))
            station.kill();
        station.waitForFinished();
        figures.stationFailures += station.exitStatus() != QProcess::NormalExit || station.exitCode() != 0;
    }
    for (std::uint64_t number = 1; number <= std::uint64_t(cards); ++number) {
        const auto found = onCards.find((kVendor << 32) | number);
        figures.missing += found == onCards.end();
        figures.twice += found != onCards.end() && found->second > 1;
    }
    return figures;
}

double PerHour(const LineFigures& figures) {
    return figures.ms > 0 ? double(figures.cards) * 3600000.0 / double(figures.ms) : 0.0;
}

bool Print(const char* what, int readers, const LineFigures& figures) {
    std::printf("%s: %d reader(s), %d cards in %.1f s, %.0f cards/hour; %d on two cards, %d missing, "
                "%d station(s) not ending with the batch done\n",
                what, readers, figures.cards, double(figures.ms) / 1000, PerHour(figures), figures.twice,
                figures.missing, figures.stationFailures);
    return figures.twice == 0 && figures.missing == 0 && figures.stationFailures == 0;
}

} // namespace

int RunReaderLine(int readers, int cards, unsigned seed) {
    std::mt19937 random(seed);
    const LineFigures line = RunLine(readers, cards, random);
    const bool lineSound = Print("line", readers, line);
    const LineFigures alone = RunLine(1, cards, random);
    const bool aloneSound = Print("one reader", 1, alone);
    if (PerHour(alone) > 0)
        std::printf("%d readers: %.2f times the cards per hour of one reader\n", readers, PerHour(line) / PerHour(alone));
    const bool sound = lineSound && aloneSound;
    std::printf("%s\n", sound ? "SOUND" : "FAULTS FOUND");
    return sound ? 0 : 1;
}
