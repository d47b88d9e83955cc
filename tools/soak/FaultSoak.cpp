// rfid-soak: Mass Production through the real main window against the emulated reader on an emulated
// USB bus (umockdev, the real libusb and libudev), card after card, with faults injected at random:
// stalls and time-outs of transfers, cards that refuse programming, and the reader unplugged and
// plugged again between cards and inside the verify pause. It plays the operator: a new blank card
// for each good one, up to three tries for a failing card before it is thrown away, the reader
// plugged back in when it was pulled out. At the end it compares what every emulated card really
// holds with what the log said of it, and prints the figures.
//
//   rfid-soak [--cards N] [--seed S] [--verify-share PERCENT]
//
// Exit status 0 when every good card holds the number the log gave it, no number is on two good
// cards, none was skipped, the program never had to be helped by a replug (a reader it did not find
// again, or writes on a dead handle) and the number of open files ended where it started; 1 otherwise.

#include "language/MultiLanguage.h"
#include "cards/NumberSequence.h"
#include "reader/RFIDDevice.h"
#include "pages/MPDlg.h"
#include "pages/OPListDlg.h"
#include "pages/OPMainDlg.h"
#include "shell/RFIDDlg.h"
#include "emulator/EmuTestbed.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

// ---- what is asked for ---------------------------------------------------------------------------

struct SoakOptions {
    int cards = 10000;
    unsigned seed = 1;
    int verifySharePercent = 25; // blocks of 50 cards with Verify on; the pause costs 500 ms a card
};

// The rates of the faults.
constexpr double STALL_SHARE = 0.05;          // of all transfers
constexpr double TIMEOUT_SHARE = 0.01;        // of all transfers; each costs the reader's time-out
constexpr double READ_ONLY_CARD_SHARE = 0.005; // of the cards put on the reader
constexpr double UNPLUG_BETWEEN_SHARE = 0.005; // of the tries: unplugged before the Write
constexpr double UNPLUG_IN_PAUSE_SHARE = 0.03; // of the tries with Verify on: unplugged in the pause
constexpr int VERIFY_BLOCK_CARDS = 50;
constexpr int TRIES_PER_CARD = 3;
constexpr int READY_WAIT_MS = 20000;
constexpr int REPLUGS_BEFORE_GIVING_UP = 3;

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
        else
            return std::nullopt;
    }
    if (options.cards < 1 || options.verifySharePercent < 0 || options.verifySharePercent > 100)
        return std::nullopt;
    return options;
}

// ---- what is measured ----------------------------------------------------------------------------

int OpenFileCount() {
    return int(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

long ResidentKiB() {
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

// What the log said of a card and what the card really held after the soak had finished with it.
struct CardRecord {
    quint64 logged = 0;                 // the identifier the page wrote and called good
    std::optional<std::uint64_t> holds; // what the emulated card holds
};

struct Figures {
    int cardsOnReader = 0;
    int readOnlyCards = 0;
    int thrownAway = 0;
    int tries = 0;
    int writeErrors = 0;
    int verifyFailures = 0;
    int unplugsBetween = 0;
    int unplugsInPause = 0;
    int quickReplugsInPause = 0;
    int extraReplugs = 0; // replugs the operator needed because the program did not find the reader again
    int deadHandleReplugs = 0; // ... because the program said ready but its writes never reached the reader
    qint64 longestReadyWaitMs = 0;
    std::vector<CardRecord> good;
    std::vector<std::optional<std::uint64_t>> thrownAwayHolds;
    int fdsStart = 0, fdsEnd = 0;
    long rssStartKiB = 0, rssEndKiB = 0;
    bool readerLost = false;
};

// ---- the faults ----------------------------------------------------------------------------------

// Stalls and time-outs at random, by the seed; called on the emulated reader's thread.
class RandomTransferFaults {
public:
    explicit RandomTransferFaults(unsigned seed) : m_random(seed) {}

    CEmulatedReader::Fault Choose() {
        std::lock_guard lock(m_mutex);
        const double draw = std::uniform_real_distribution<double>(0, 1)(m_random);
        ++m_transfers;
        if (draw < STALL_SHARE) {
            ++m_stalls;
            return CEmulatedReader::Fault::Stall;
        }
        if (draw < STALL_SHARE + TIMEOUT_SHARE) {
            ++m_timeouts;
            return CEmulatedReader::Fault::Timeout;
        }
        return CEmulatedReader::Fault::None;
    }

    void Print() const {
        std::lock_guard lock(m_mutex);
        std::printf("transfers: %ld, stalled %ld, timed out %ld\n", m_transfers, m_stalls, m_timeouts);
    }

private:
    mutable std::mutex m_mutex;
    std::mt19937 m_random;
    long m_transfers = 0, m_stalls = 0, m_timeouts = 0;
};

// Pulls the reader out while the page waits before reading the card back: it waits for the card to be
// programmed (the pause follows at once), then unplugs it some milliseconds into the pause and, for a
// quick replug, plugs it in again before the pause ends. The window's thread sleeps in the pause, so
// nothing else uses the testbed meanwhile.
class PauseUnplug {
public:
    PauseUnplug(CEmuUsbDevice& device, int unplugAfterMs, int replugAfterMs)
        : m_device(device), m_programmedBefore(device.Reader().ProgrammedCount()),
          m_thread([this, unplugAfterMs, replugAfterMs] { Run(unplugAfterMs, replugAfterMs); }) {}

    // Called once the Write handler has returned.
    bool Finish() {
        m_done = true;
        m_thread.join();
        return m_unplugged;
    }

private:
    void Run(int unplugAfterMs, int replugAfterMs) {
        while (!m_done && m_device.Reader().ProgrammedCount() == m_programmedBefore)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (m_done)
            return; // the card was not programmed: there is no pause
        std::this_thread::sleep_for(std::chrono::milliseconds(unplugAfterMs));
        m_device.Unplug();
        m_unplugged = true;
        if (replugAfterMs >= 0) {
            std::this_thread::sleep_for(std::chrono::milliseconds(replugAfterMs));
            m_device.Replug();
        }
    }

    CEmuUsbDevice& m_device;
    const int m_programmedBefore;
    std::atomic<bool> m_done{false};
    bool m_unplugged = false;
    std::thread m_thread;
};

// ---- the watchdog ---------------------------------------------------------------------------------

// Cards finished so far, for the watchdog.
std::atomic<int> g_cardsDone{0};
constexpr int STUCK_AFTER_S = 120;

// A transfer that never comes back blocks the window's thread for good; the watchdog then says so and
// ends the soak, since nothing else can.
void StartWatchdog() {
    std::thread([] {
        int last = -1;
        int still = 0;
        for (;;) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            const int done = g_cardsDone.load();
            still = done == last ? still + 1 : 0;
            last = done;
            if (still >= STUCK_AFTER_S) {
                std::printf("STUCK: no card finished for %d s after %d cards (the window's thread is blocked)\n"
                            "FAULTS FOUND\n", STUCK_AFTER_S, done);
                std::fflush(stdout);
                std::_Exit(1);
            }
        }
    }).detach();
}

// ---- the operator --------------------------------------------------------------------------------

enum class Outcome { Good, WriteError, VerifyFailed, NothingWritten };

Outcome OutcomeOf(const QString& logAdded, bool verify) {
    if (logAdded.contains(QStringLiteral("WRITE CARD ERROR")))
        return Outcome::WriteError;
    if (!logAdded.contains(QStringLiteral("WRITE CARD SUCCESS")))
        return Outcome::NothingWritten;
    if (logAdded.contains(QStringLiteral("VERIFY FAIL")))
        return Outcome::VerifyFailed;
    return !verify || logAdded.contains(QStringLiteral("VERIFY SUCCESS")) ? Outcome::Good : Outcome::VerifyFailed;
}

void PumpEvents(int ms) {
    QElapsedTimer clock;
    clock.start();
    do
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    while (clock.elapsed() < ms);
}

class Operator {
public:
    Operator(const SoakOptions& options, CRFIDDlg& dlg, CEmuUsbDevice& device)
        : m_options(options), m_random(options.seed), m_dlg(dlg), m_device(device), m_page(dlg.MassProductionPage()) {}

    Figures Run() {
        Prepare();
        if (!WaitUntilReady()) {
            m_figures.readerLost = true;
            return m_figures;
        }
        m_figures.fdsStart = OpenFileCount();
        m_figures.rssStartKiB = ResidentKiB();
        for (int card = 0; card < m_options.cards && !m_figures.readerLost; ++card) {
            if (card % VERIFY_BLOCK_CARDS == 0)
                SetVerify(VerifyBlock(card / VERIFY_BLOCK_CARDS));
            ProduceCard();
            g_cardsDone = card + 1;
            if ((card + 1) % 1000 == 0)
                std::fprintf(stderr, "rfid-soak: %d cards\n", card + 1);
        }
        m_figures.fdsEnd = OpenFileCount();
        m_figures.rssEndKiB = ResidentKiB();
        return m_figures;
    }

private:
    bool Chance(double share) { return std::uniform_real_distribution<double>(0, 1)(m_random) < share; }
    int Between(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_random); }

    // Verify is on for the given share of the blocks, spread evenly and from the first block on.
    bool VerifyBlock(int block) const {
        const int share = m_options.verifySharePercent;
        return share > 0 && (block * share) % 100 < share;
    }

    QLineEdit* Edit(int id) const { return qobject_cast<QLineEdit*>(m_page.GetDlgItem(id)); }
    QAbstractButton* Button(int id) const { return qobject_cast<QAbstractButton*>(m_page.GetDlgItem(id)); }

    // Increase mode from vendor 1, card 1, so that good cards carry consecutive numbers.
    void Prepare() {
        m_dlg.ShowPage(1);
        Edit(CMPDlg::IDC_EDIT_VENDORID)->setText(QStringLiteral("1"));
        Edit(CMPDlg::IDC_EDIT_CARDNO)->setText(QStringLiteral("1"));
        Button(CMPDlg::IDC_RADIO_INCREASE)->click();
    }

    void SetVerify(bool on) {
        QAbstractButton* verify = Button(CMPDlg::IDC_CHECK_VERIFY);
        if (verify->isChecked() != on)
            verify->click();
        m_verify = on;
    }

    // A blank writable card, or now and then one that refuses programming; tried until it is good or
    // has failed three times, then taken away.
    void ProduceCard() {
        const bool readOnly = Chance(READ_ONLY_CARD_SHARE);
        m_device.Reader().PutCard(0, readOnly ? CEmulatedReader::CARD_READ_ONLY : CEmulatedReader::CARD_WRITABLE);
        ++m_figures.cardsOnReader;
        m_figures.readOnlyCards += readOnly ? 1 : 0;
        for (int tries = 0; tries < TRIES_PER_CARD && !m_figures.readerLost;) {
            if (!WaitUntilReady()) {
                m_figures.readerLost = true;
                return;
            }
            if (Chance(UNPLUG_BETWEEN_SHARE)) {
                UnplugBetweenCards();
                continue;
            }
            ++tries;
            const quint64 logged = ComposeIdentifier(Edit(CMPDlg::IDC_EDIT_VENDORID)->text(),
                                                    Edit(CMPDlg::IDC_EDIT_CARDNO)->text()).value;
            const Outcome outcome = TryWrite();
            if (outcome == Outcome::Good) {
                m_figures.good.push_back({logged, m_device.Reader().CardId()});
                return;
            }
        }
        ++m_figures.thrownAway;
        m_figures.thrownAwayHolds.push_back(m_device.Reader().CardId());
    }


    Outcome TryWrite() {
        ++m_figures.tries;
        m_device.Reader().ClearTransfers(); // the transfer log would grow for ever
        std::optional<PauseUnplug> pauseUnplug;
        if (m_verify && Chance(UNPLUG_IN_PAUSE_SHARE))
            pauseUnplug.emplace(m_device, Between(20, 300), Chance(0.5) ? Between(10, 100) : -1);
        const QString before = m_dlg.GetLogText();
        Button(CMPDlg::IDC_BUTTON_WRITE)->click();
        const QString after = m_dlg.GetLogText();
        if (pauseUnplug && pauseUnplug->Finish()) {
            ++m_figures.unplugsInPause;
            m_figures.quickReplugsInPause += m_device.IsPlugged() ? 1 : 0;
        }
        const Outcome outcome = OutcomeOf(after.startsWith(before) ? after.mid(before.size()) : after, m_verify);
        NoteWriteReachedReader(outcome);
        m_figures.writeErrors += outcome == Outcome::WriteError ? 1 : 0;
        m_figures.verifyFailures += outcome == Outcome::VerifyFailed ? 1 : 0;
        return outcome;
    }

    // A program that says the reader is ready while none of its writes reaches the plugged-in reader
    // holds a dead handle: after three such writes in a row the operator pulls the reader out and
    // plugs it in again.
    void NoteWriteReachedReader(Outcome outcome) {
        const bool deadWrite = outcome == Outcome::WriteError && m_device.IsPlugged() &&
                               m_device.Reader().CountTransfers(REQUEST_WRITE_CARD) == 0;
        m_deadWritesInARow = deadWrite ? m_deadWritesInARow + 1 : 0;
        if (m_deadWritesInARow < TRIES_PER_CARD)
            return;
        m_deadWritesInARow = 0;
        ++m_figures.deadHandleReplugs;
        m_device.Unplug();
        PumpEvents(300);
        m_device.Replug();
    }

    void UnplugBetweenCards() {
        ++m_figures.unplugsBetween;
        m_device.Unplug();
        PumpEvents(Between(0, 800));
        m_device.Replug();
    }

    // The operator waits for the program to find the reader again, plugs it back in when it is out, and
    // pulls it out and in again when the program does not see it; after three such replugs it is lost.
    bool WaitUntilReady() {
        QElapsedTimer clock;
        clock.start();
        for (int replugs = 0; replugs <= REPLUGS_BEFORE_GIVING_UP; ++replugs) {
            if (!m_device.IsPlugged())
                m_device.Replug();
            QElapsedTimer wait;
            wait.start();
            while (!m_dlg.IsReaderReady() && wait.elapsed() < READY_WAIT_MS)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            if (m_dlg.IsReaderReady()) {
                m_figures.longestReadyWaitMs = std::max(m_figures.longestReadyWaitMs, clock.elapsed());
                return true;
            }
            ++m_figures.extraReplugs;
            m_device.Unplug();
            PumpEvents(300);
        }
        return false;
    }

    const SoakOptions m_options;
    std::mt19937 m_random;
    CRFIDDlg& m_dlg;
    CEmuUsbDevice& m_device;
    CMPDlg& m_page;
    bool m_verify = false;
    int m_deadWritesInARow = 0;
    Figures m_figures;
};

// ---- the report ----------------------------------------------------------------------------------

struct Verdict {
    int wrong = 0;        // good by the log, holding another number
    int onTwoGood = 0;    // numbers held by more than one good card
    int skipped = 0;      // numbers between the first and the last good card that no good card holds
    int alsoThrown = 0;   // numbers of good cards that a thrown-away card holds as well
};

Verdict Judge(const Figures& figures) {
    Verdict verdict;
    std::map<quint64, int> goodHolding;
    for (const CardRecord& card : figures.good) {
        verdict.wrong += card.holds != std::optional<std::uint64_t>(card.logged) ? 1 : 0;
        if (card.holds)
            ++goodHolding[*card.holds];
    }
    for (const auto& [number, count] : goodHolding)
        verdict.onTwoGood += count > 1 ? 1 : 0;
    if (!goodHolding.empty())
        verdict.skipped = int(goodHolding.rbegin()->first - goodHolding.begin()->first + 1 - goodHolding.size());
    for (const auto& holds : figures.thrownAwayHolds)
        verdict.alsoThrown += holds && goodHolding.count(*holds) ? 1 : 0;
    return verdict;
}

void PrintReport(const SoakOptions& options, const Figures& f, const Verdict& v, const RandomTransferFaults& faults,
                 qint64 elapsedMs, int logLines) {
    std::printf("rfid-soak: %d cards, seed %u, Verify on for %d %% of the blocks, %.1f min\n", options.cards,
                options.seed, options.verifySharePercent, double(elapsedMs) / 60000.0);
    faults.Print();
    std::printf("cards on the reader: %d (%d refusing programming), tries: %d, write errors: %d, "
                "verify failures: %d\n",
                f.cardsOnReader, f.readOnlyCards, f.tries, f.writeErrors, f.verifyFailures);
    std::printf("unplugged: %d between cards, %d inside the verify pause (%d plugged in again within it); "
                "extra replugs needed: %d (reader not found again), %d (writes on a dead handle); "
                "longest wait for the reader: %lld ms\n",
                f.unplugsBetween, f.unplugsInPause, f.quickReplugsInPause, f.extraReplugs, f.deadHandleReplugs,
                static_cast<long long>(f.longestReadyWaitMs));
    std::printf("cards written (good by the log): %zu, thrown away: %d\n", f.good.size(), f.thrownAway);
    std::printf("good cards holding another number than the log says: %d\n", v.wrong);
    std::printf("numbers on two good cards: %d\n", v.onTwoGood);
    std::printf("numbers skipped: %d\n", v.skipped);
    std::printf("numbers of good cards also on a thrown-away card: %d\n", v.alsoThrown);
    std::printf("open files: %d at the start, %d at the end\n", f.fdsStart, f.fdsEnd);
    std::printf("resident memory: %ld KiB at the start, %ld KiB at the end (the log holds %d lines)\n",
                f.rssStartKiB, f.rssEndKiB, logLines);
    if (f.readerLost)
        std::printf("THE PROGRAM LOST THE READER: it was not ready again after %d replugs\n",
                    REPLUGS_BEFORE_GIVING_UP);
}

} // namespace

int main(int argc, char** argv) {
    CEmuTestbed::EnsurePreload(argc, argv);
    const std::optional<SoakOptions> options = ParseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: rfid-soak [--cards N] [--seed S] [--verify-share PERCENT]\n");
        return 2;
    }
    // The window's placement goes to a settings folder of its own, not the user's.
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.filePath("config")));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    CMultiLanguage::SetDefaultAppFolder(scratch.path());

    CEmuTestbed testbed; // before any reader object: libusb picks its device folder at start
    std::shared_ptr<CEmuUsbDevice> device = testbed.PlugReader();
    RandomTransferFaults faults(options->seed * 7919u + 1u);
    device->Reader().SetFaultChooser([&faults](int) { return faults.Choose(); });

    QElapsedTimer clock;
    clock.start();
    StartWatchdog();
    int status = 1;
    auto dlg = std::make_unique<CRFIDDlg>();
    QTimer::singleShot(0, dlg.get(), [&] {
        const Figures figures = Operator(*options, *dlg, *device).Run();
        device->Reader().SetFaultChooser(nullptr);
        const Verdict verdict = Judge(figures);
        PrintReport(*options, figures, verdict, faults, clock.elapsed(), int(dlg->GetLogText().count(u'\n') + 1));
        const bool sound = !figures.readerLost && figures.extraReplugs + figures.deadHandleReplugs == 0 &&
                           verdict.wrong == 0 && verdict.onTwoGood == 0 &&
                           verdict.skipped == 0 && figures.fdsEnd <= figures.fdsStart;
        std::printf("%s\n", sound ? "SOUND" : "FAULTS FOUND");
        status = sound ? 0 : 1;
        dlg->EndDialog(IDCANCEL);
    });
    dlg->DoModal();
    dlg.reset();
    CMultiLanguage::SetDefaultAppFolder(QString());
    return status;
}
