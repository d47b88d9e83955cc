// rfid-soak: Mass Production through the real main window against the emulated reader on an emulated
// USB bus (umockdev, the real libusb and libudev), card after card, with faults injected at random:
// stalls and time-outs of transfers, cards that refuse programming, the reader unplugged and plugged
// again between cards and inside the verify pause, finished cards laid on the reader again, and Write
// pressed a second time on a card just written good.
//
// It plays the operator, who acts as a person can: between a click and the next action the window
// handles its events for 150 to 400 ms, and after the reader was pulled out the operator waits until the
// window shows it before going on. A new blank card for each good one, up to three tries for a failing
// card before it is thrown away, and every finished card kept on a shelf so that it can be laid again.
// With --hands-free the operator checks Hands-free, starts a run with Write and then only lays cards and
// takes them away, reading the run's state line to know when a card is done, and starts the run again
// when it stops. With --batch the numbers come from a range batch that the soak creates in the journal's
// database and chooses in the page's Batch box.
//
// At the end it holds every card it produced against what the log said of it, against the production
// journal (every number on record as good is on a good card, every good card's number is on record as
// good, no number put on two good cards) and, with --batch, against the batch report; a good card laid
// again or written twice must have been refused and left as it was. It prints the figures, open files and
// memory at the start and the end.
//
//   rfid-soak [--cards N] [--seed S] [--verify-share PERCENT] [--laid-again PERCENT] [--hands-free] [--batch]
//   rfid-soak --readers N [--cards N] [--seed S]     (a line of headless stations: SoakReaders.h)
//
// Exit status 0 when all of that holds, the program never had to be helped by a replug (a reader it did
// not find again, or writes on a dead handle), the number of open files ended where it started and the
// heap grew by no more than the log's text and SQLite's page cache account for; 1 otherwise.

#include "batches/Batch.h"
#include "journal/Journal.h"
#include "journal/JournalSettings.h"
#include "language/MultiLanguage.h"
#include "pages/MPDlg.h"
#include "shell/RFIDDlg.h"
#include "emulator/EmuTestbed.h"
#include "tools/soak/SoakFaults.h"
#include "tools/soak/SoakOperator.h"
#include "tools/soak/SoakReaders.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>
#include <string>

namespace {

// The heap may grow by this much beyond what the log and SQLite hold: allocator and Qt caches that
// settle, not anything that grows with the cards.
constexpr long long HEAP_SLACK_BYTES = 1024 * 1024;
// SQLite's page cache is bounded (2,000 KiB a connection by default); more than this is no cache.
constexpr long long SQLITE_BOUND_BYTES = 6 * 1024 * 1024;

const char* const USAGE = "usage: rfid-soak [--cards N] [--seed S] [--verify-share PERCENT] "
                          "[--laid-again PERCENT] [--hands-free] [--batch]\n"
                          "       rfid-soak --readers N [--cards N] [--seed S]\n";

bool IsPercent(int value) {
    return value >= 0 && value <= 100;
}

std::optional<SoakOptions> ParseOptions(int argc, char** argv) {
    SoakOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--cards" && hasValue)
            options.cards = std::atoi(argv[++i]);
        else if (arg == "--seed" && hasValue)
            options.seed = unsigned(std::strtoul(argv[++i], nullptr, 10));
        else if (arg == "--verify-share" && hasValue)
            options.verifySharePercent = std::atoi(argv[++i]);
        else if (arg == "--laid-again" && hasValue)
            options.laidAgainPercent = std::atoi(argv[++i]);
        else if (arg == "--hands-free")
            options.handsFree = true;
        else if (arg == "--batch")
            options.batch = true;
        else if (arg == "--readers" && hasValue)
            options.readers = std::atoi(argv[++i]);
        else
            return std::nullopt;
    }
    if (options.readers < 0 || options.readers > 16)
        return std::nullopt;
    if (options.cards < 1 || !IsPercent(options.verifySharePercent) || !IsPercent(options.laidAgainPercent))
        return std::nullopt;
    return options;
}

// The journal the window will open, made first so that the soak's batch is in it: numbers in order from
// vendor 1, card 1, as many as the soak can use.
bool PrepareJournal(const QString& connection, const SoakOptions& options) {
    JournalStatus status;
    const std::unique_ptr<CJournal> journal = CJournal::Open(connection, &status);
    if (!journal) {
        std::printf("the journal cannot be opened: %s\n", qPrintable(status.detail));
        return false;
    }
    if (!options.batch)
        return true;
    QString error;
    const BatchRange range{1, 1, std::uint32_t(options.cards) * 2 + 100, BatchOrder::InOrder};
    if (!CreateRangeBatch(journal->Database(), SOAK_BATCH_NAME, range, &error)) {
        std::printf("the batch cannot be created: %s\n", qPrintable(error));
        return false;
    }
    return true;
}

// ---- the judgement -------------------------------------------------------------------------------

struct MemoryVerdict {
    long long heapGrowth = 0;
    long long logBytes = 0;
    long long sqliteGrowth = 0;
    long long Unexplained() const { return heapGrowth - logBytes - sqliteGrowth; }
};

struct Verdict {
    LogVerdict log;
    RecordVerdict journal;
    std::optional<RecordVerdict> batch;
    MemoryVerdict memory;
};

RecordVerdict JudgeRecord(const CardShelf& shelf, const std::optional<std::map<std::uint64_t, int>>& good,
                          const QString& error, const char* what) {
    if (good)
        return JudgeAgainstRecord(shelf, *good);
    std::printf("%s cannot be read: %s\n", what, qPrintable(error));
    return RecordVerdict();
}

Verdict Judge(const SoakOptions& options, const CardShelf& shelf, const QString& connection) {
    Verdict verdict;
    verdict.log = JudgeAgainstLog(shelf);
    JournalStatus status;
    const std::unique_ptr<CJournal> journal = CJournal::Open(connection, &status);
    if (!journal) {
        std::printf("the journal cannot be opened: %s\n", qPrintable(status.detail));
        return verdict;
    }
    QString error;
    verdict.journal = JudgeRecord(shelf, JournalGoodNumbers(*journal, &error), error, "the journal");
    if (options.batch) {
        error.clear();
        verdict.batch =
            JudgeRecord(shelf, BatchGoodNumbers(*journal, SOAK_BATCH_NAME, &error), error, "the batch report");
    }
    return verdict;
}

MemoryVerdict JudgeMemory(const Figures& f, QPlainTextEdit& log) {
    MemoryVerdict memory;
    if (f.start.heapBytes < 0)
        return memory;
    memory.heapGrowth = f.end.heapBytes - f.start.heapBytes;
    if (f.start.sqliteBytes >= 0 && f.end.sqliteBytes >= 0)
        memory.sqliteGrowth = f.end.sqliteBytes - f.start.sqliteBytes;
    memory.logBytes = EmptyLogAndMeasure(log);
    return memory;
}

bool Sound(const SoakOptions& options, const Figures& f, const Verdict& v) {
    const bool program = !f.readerLost && f.batchChosen && f.extraReplugs + f.deadHandleReplugs == 0 &&
                         f.unnoticedUnplugs == 0 && f.cardsNotSeen == 0 && f.runsStuck == 0;
    const bool againAndTwice = f.goodCardsNotRefused == 0 && f.goodCardsReached == 0 &&
                               f.goodCardsOverwritten == 0 && f.refusedWithoutGoodNumber == 0;
    const bool log = v.log.wrong == 0 && v.log.onTwoGood == 0 && v.log.skipped == 0;
    const bool records = v.journal.Sound() && (!options.batch || (v.batch && v.batch->Sound()));
    const bool resources = f.end.openFiles <= f.start.openFiles &&
                           v.memory.Unexplained() <= HEAP_SLACK_BYTES && f.end.sqliteBytes <= SQLITE_BOUND_BYTES;
    return program && againAndTwice && log && records && resources;
}

// ---- the report ----------------------------------------------------------------------------------

void PrintRun(const SoakOptions& o, const Figures& f, const RandomTransferFaults& faults, qint64 elapsedMs) {
    std::printf("rfid-soak: %d cards, seed %u, Verify on for %d %% of the blocks, %d %% laid again, %s, "
                "numbers from %s, %.1f min\n",
                o.cards, o.seed, o.verifySharePercent, o.laidAgainPercent,
                o.handsFree ? "hands-free runs" : "the Write button",
                o.batch ? "the batch \"soak\"" : "the fields", double(elapsedMs) / 60000.0);
    faults.Print();
    std::printf("cards on the reader: %d new (%d refusing programming), finished cards laid again: %d good, "
                "%d thrown away; Write pressed twice on a good card: %d\n",
                f.newCards, f.readOnlyCards, f.laidAgainGood, f.laidAgainThrown, f.writtenTwice);
    std::printf("tries: %d, write errors: %d, verify failures: %d, refused as holding a good card's number: %d\n",
                f.tries, f.writeErrors, f.verifyFailures, f.refusals);
    if (o.handsFree)
        std::printf("hands-free runs started: %d, stopped after three failed cards: %d, stopped as the reader "
                    "went: %d; cards a run never finished with: %d; runs that never waited for a card "
                    "again: %d\n",
                    f.runStarts, f.runStopsFailures, f.runStopsReader, f.cardsNotSeen, f.runsStuck);
    std::printf("unplugged: %d between cards, %d inside the verify pause (%d plugged in again within it); "
                "unplugs the window never showed: %d; extra replugs needed: %d (reader not found again), "
                "%d (writes on a dead handle); longest wait for the reader: %lld ms\n",
                f.unplugsBetween, f.unplugsInPause, f.quickReplugsInPause, f.unnoticedUnplugs, f.extraReplugs,
                f.deadHandleReplugs, static_cast<long long>(f.longestReadyWaitMs));
}

void PrintCards(const CardShelf& shelf, const Figures& f, const Verdict& v) {
    const std::size_t good = std::size_t(std::count_if(shelf.begin(), shelf.end(), [](const FinishedCard& card) {
        return card.fate == CardFate::Good;
    }));
    std::printf("cards kept: %zu good, %zu thrown away\n", good, shelf.size() - good);
    std::printf("good cards holding another number than the log says: %d\n", v.log.wrong);
    std::printf("numbers on two good cards: %d\n", v.log.onTwoGood);
    std::printf("numbers skipped: %d\n", v.log.skipped);
    std::printf("numbers of good cards also on a thrown-away card: %d\n", v.log.alsoThrown);
    std::printf("good cards laid again or written twice: %d refused, %d not refused, %d reached by a frame; "
                "good cards overwritten: %d (%d after the page's read of the card before writing failed)\n",
                f.goodCardsRefused, f.goodCardsNotRefused, f.goodCardsReached, f.goodCardsOverwritten,
                f.overwrittenAfterFailedRead);
    std::printf("refusals of cards holding no good card's number: %d\n", f.refusedWithoutGoodNumber);
}

void PrintRecord(const char* what, const RecordVerdict& r) {
    if (!r.read)
        return;
    std::printf("%s: %d numbers on record as good; not on a good card the soak has: %d (on no card at all: "
                "%d); good cards whose number is not on record as good: %d; numbers put on a good card "
                "twice: %d\n",
                what, r.goodNumbers, r.notOnAGoodCard, r.onNoCardAtAll, r.cardsNotOnRecord, r.recordedTwice);
}

void PrintResources(const Figures& f, const MemoryVerdict& m, int cards, int logLines) {
    const double perCard = double(std::max(cards, 1));
    std::printf("open files: %d at the start, %d at the end\n", f.start.openFiles, f.end.openFiles);
    std::printf("resident memory: %ld KiB at the start, %ld KiB at the end (%.0f bytes a card); not backed by a "
                "file: %ld KiB, %ld KiB (%.0f bytes a card)\n",
                f.start.residentKiB, f.end.residentKiB, double(f.end.residentKiB - f.start.residentKiB) * 1024 / perCard,
                f.start.anonymousKiB, f.end.anonymousKiB,
                double(f.end.anonymousKiB - f.start.anonymousKiB) * 1024 / perCard);
    if (f.start.heapBytes < 0) {
        std::printf("heap in use: not known (the allocator is not glibc's, as under the sanitizers)\n");
        return;
    }
    std::printf("heap in use: %lld KiB at the start, %lld KiB at the end (%.0f bytes a card); of the growth, the "
                "log's %d lines hold %lld KiB (%.0f bytes a card), SQLite %lld KiB (%lld KiB at the end); "
                "unexplained: %lld KiB\n",
                f.start.heapBytes / 1024, f.end.heapBytes / 1024, double(m.heapGrowth) / perCard, logLines,
                m.logBytes / 1024, double(m.logBytes) / perCard, m.sqliteGrowth / 1024, f.end.sqliteBytes / 1024,
                m.Unexplained() / 1024);
}

void PrintVerdict(const SoakOptions& options, const CardShelf& shelf, const Figures& f, const Verdict& v,
                  int logLines) {
    PrintCards(shelf, f, v);
    PrintRecord("journal", v.journal);
    if (v.batch)
        PrintRecord("batch report", *v.batch);
    PrintResources(f, v.memory, options.cards, logLines);
    if (f.readerLost)
        std::printf("THE PROGRAM LOST THE READER: it was not ready again after several replugs\n");
    if (!f.batchChosen)
        std::printf("THE BATCH COULD NOT BE CHOSEN in the page's Batch box\n");
}

} // namespace

int main(int argc, char** argv) {
    CEmuTestbed::EnsurePreload(argc, argv);
    const std::optional<SoakOptions> options = ParseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "%s", USAGE);
        return 2;
    }
    if (options->readers > 0) {
        QCoreApplication app(argc, argv);
        return RunReaderLine(options->readers, options->cards, options->seed);
    }
    // The window's placement goes to a settings folder of its own, not the user's; its data folder, with
    // the journal, is the scratch folder.
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.filePath("config")));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CMultiLanguage::SetDefaultAppFolder(scratch.path());
    const QString journal = ReadJournalSettings(scratch.path()).connection;
    if (!PrepareJournal(journal, *options))
        return 1;

    CEmuTestbed testbed; // before any reader object: libusb picks its device folder at start
    std::shared_ptr<CEmuUsbDevice> device = testbed.PlugReader();
    RandomTransferFaults faults(options->seed * 7919u + 1u);
    device->Reader().SetFaultChooser([&faults](int) { return faults.Choose(); });

    QElapsedTimer clock;
    clock.start();
    std::atomic<int> cardsDone{0};
    StartWatchdog(cardsDone);
    int status = 1;
    auto dlg = std::make_unique<CRFIDDlg>();
    QTimer::singleShot(0, dlg.get(), [&] {
        CardShelf shelf;
        const Figures figures = Operator(*options, *dlg, *device, cardsDone).Run(shelf);
        device->Reader().SetFaultChooser(nullptr);
        dlg->MassProductionPage().EndBatch();
        const int logLines = int(dlg->GetLogText().count(u'\n') + 1);
        Verdict verdict = Judge(*options, shelf, journal);
        verdict.memory = JudgeMemory(figures, *dlg->Log());
        PrintRun(*options, figures, faults, clock.elapsed());
        PrintVerdict(*options, shelf, figures, verdict, logLines);
        const bool sound = Sound(*options, figures, verdict);
        std::printf("%s\n", sound ? "SOUND" : "FAULTS FOUND");
        status = sound ? 0 : 1;
        dlg->EndDialog(IDCANCEL);
    });
    dlg->DoModal();
    dlg.reset();
    CMultiLanguage::SetDefaultAppFolder(QString());
    return status;
}
