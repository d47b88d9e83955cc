// One station of a production line for the multi-station tests: writes the cards of a batch on an
// in-process emulated reader until the batch runs out, keeps their journal records as the program
// does, and prints one line per card.
//
//   batch_station DATABASE BATCH STATION [--verify] [--throw-away-every N] [--hold]
//
// Lines: "good ID" (recorded good card), "throw ID" (recorded card to throw away), "away" when the
// database could not be reached (once for every time it went away), with --hold
// "claimed ID" after the first claim, then it waits to be killed. Exit status 0 when the batch ran out,
// 1 for a refusal or database error, 2 for a bad command line, 3 when the database stayed away too long.

#include "batches/BatchCard.h"
#include "station/BatchWriter.h"
#include "journal/Journal.h"
#include "reader/RFIDDevice.h"
#include "emulator/FakeUsbBus.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <cstdio>

namespace {

constexpr int kGiveUpAfterMs = 90000;
constexpr int kRetryPauseMs = 100;

void Say(const char* what, std::uint64_t identifier) {
    std::printf("%s %llu\n", what, static_cast<unsigned long long>(identifier));
    std::fflush(stdout);
}

int Fail(const QString& message, int status) {
    std::fprintf(stderr, "batch_station: %s\n", qPrintable(message));
    return status;
}

// Runs a database step until the database answers, for at most kGiveUpAfterMs in a row.
template <typename Step> bool UntilReachable(CBatchStation& station, Step step) {
    QElapsedTimer away;
    away.start();
    for (bool first = true; step(); first = false) {
        if (first) {
            std::printf("away\n");
            std::fflush(stdout);
        }
        if (away.elapsed() > kGiveUpAfterMs)
            return false;
        QThread::msleep(kRetryPauseMs);
        station.Reconnect();
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 3)
        return Fail("usage: batch_station DATABASE BATCH STATION [--verify] [--throw-away-every N] [--hold]", 2);
    const QString batch = args[1];
    const bool verify = args.contains("--verify");
    const bool hold = args.contains("--hold");
    const qsizetype every = args.indexOf("--throw-away-every");
    const int throwAwayEvery = every > 0 && every + 1 < args.size() ? args[every + 1].toInt() : 0;

    JournalStatus status;
    const std::unique_ptr<CJournal> journal = CJournal::Open(args[0], &status);
    if (!journal)
        return Fail(status.detail, 1);

    CFakeUsbBus bus;
    CEmulatedReader& reader = bus.AddReader();
    reader.PutCard(0);
    CRFIDDevice device;
    if (!device.OpenReader())
        return Fail("no reader", 1);

    CBatchStation station(journal->Database(), args[2]);
    station.SetReconnect([&journal] { return journal->Reconnect(); });
    BatchOutcome started;
    if (!UntilReachable(station, [&] { return (started = station.Start()).status == BatchStatus::Unavailable; }))
        return Fail(started.message, 3);
    if (started.status != BatchStatus::Ok)
        return Fail(started.message, 1);

    if (hold) {
        const BatchOutcome claimed = station.Claim(batch);
        if (claimed.status != BatchStatus::Ok)
            return Fail(claimed.message, 1);
        Say("claimed", claimed.claim->identifier);
        for (;;)
            QThread::sleep(1);
    }

    CBatchWriter writer(station, device);
    JournalRecord base;
    base.station = station.StationName();
    base.source = JournalSource::Rfidctl;
    writer.SetJournalHook(BatchJournalHook(*journal, base));
    for (int card = 1;; ++card) {
        if (throwAwayEvery > 0 && card % throwAwayEvery == 0)
            reader.SetFault(REQUEST_READ_CARD, CEmulatedReader::Fault::ShortReply, 1);
        BatchCardOutcome outcome;
        if (!UntilReachable(station, [&] {
                outcome = writer.HasPendingResult() ? writer.RecordPending() : writer.WriteNext(batch, verify);
                return outcome.result == BatchCardResult::Unavailable || outcome.result == BatchCardResult::NotRecorded;
            }))
            return Fail(outcome.message, 3);
        switch (outcome.result) {
        case BatchCardResult::Verified:
        case BatchCardResult::Written:
            Say("good", outcome.claim->identifier);
            break;
        case BatchCardResult::VerifyFailed:
            Say("throw", outcome.claim->identifier);
            break;
        case BatchCardResult::Exhausted:
            return 0;
        default:
            return Fail(outcome.message, 1);
        }
    }
}
