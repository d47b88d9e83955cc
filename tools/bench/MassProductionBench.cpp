// Mass Production through the real main window and page against the emulated reader, by default on an
// emulated USB bus (umockdev) through the real libusb, drawn on an X display when there is one. Each
// card's time is split into the time inside the reader's USB transfers and the host time (the rest:
// fields, log line, repaint, journal), and medians with the 90th and 99th percentile are printed, the
// first cards of each window left out as cold.
//
// Five windows take turns card by card, each round starting with the next one, so that the machine's
// noise and the order fall on all of them alike: three main windows (an empty log with the journal off,
// a log already holding 10,000 lines with the journal off, an empty log with the journal on) and the
// minimal Qt card display the host time is held against, with an empty and a 10,000-line log. Then a hands-free run with Verify on: what the
// page spends on a card beyond the reader's transfers and the verify pause.
//
//   MassProductionBench [--cards N] [--cold N] [--hands-free N]
//                       [--display best|xvfb|current|offscreen] [--in-process]
//
// --in-process puts an in-process bus in place of libusb and umockdev: transfers become function calls,
// which shows the host time without the emulation's cost but is not what the program meets on a reader.
// Exit status 0 when every window wrote every card and logged it; the goals are reported, not enforced.

#include "language/MultiLanguage.h"
#include "reader/RFIDDevice.h"
#include "resources/DialogTemplates.h"
#include "pages/MPDlg.h"
#include "pages/OPListDlg.h"
#include "pages/OPMainDlg.h"
#include "shell/RFIDDlg.h"
#include "tools/bench/BenchDisplay.h"
#include "tools/bench/CardTimes.h"
#include "tools/bench/MinimalCardWindow.h"
#include "tools/bench/TransferClock.h"
#include "emulator/EmuTestbed.h"
#include "emulator/FakeUsbBus.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

constexpr double GROWTH_GOAL = 1.05;
constexpr int READY_WAIT_MS = 10000;
const QString kSuccessLine = QStringLiteral("WRITE CARD SUCCESS\u221A");

struct Options {
    int cards = 2000;
    int cold = 100;
    int handsFreeCards = 20;
    bool inProcess = false;
    CBenchDisplay::Choice display = CBenchDisplay::Choice::Best;
};

std::optional<CBenchDisplay::Choice> DisplayChoice(const std::string& name) {
    if (name == "best")
        return CBenchDisplay::Choice::Best;
    if (name == "xvfb")
        return CBenchDisplay::Choice::Xvfb;
    if (name == "current")
        return CBenchDisplay::Choice::Current;
    if (name == "offscreen")
        return CBenchDisplay::Choice::Offscreen;
    return std::nullopt;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        const bool hasValue = i + 1 < argc;
        if (arg == "--cards" && hasValue)
            options.cards = std::atoi(argv[++i]);
        else if (arg == "--cold" && hasValue)
            options.cold = std::atoi(argv[++i]);
        else if (arg == "--hands-free" && hasValue)
            options.handsFreeCards = std::atoi(argv[++i]);
        else if (arg == "--in-process")
            options.inProcess = true;
        else if (const auto choice = hasValue && arg == "--display" ? DisplayChoice(argv[++i]) : std::nullopt)
            options.display = *choice;
        else
            return std::nullopt;
    }
    if (options.cards < 1 || options.cold < 0 || options.cold >= options.cards || options.handsFreeCards < 0)
        return std::nullopt;
    return options;
}

// ---- the reader ----------------------------------------------------------------------------------

// The emulated reader the windows talk to: on the umockdev bus through the real libusb, or on the
// in-process bus.
class CBenchReader {
public:
    explicit CBenchReader(bool inProcess) {
        if (inProcess) {
            m_pBus = std::make_unique<CFakeUsbBus>();
            m_pReader = &m_pBus->AddReader();
        } else {
            m_pTestbed = std::make_unique<CEmuTestbed>();
            m_pDevice = m_pTestbed->PlugReader();
            m_pReader = &m_pDevice->Reader();
        }
    }
    CEmulatedReader& Reader() { return *m_pReader; }
    const char* Description() const {
        return m_pBus ? "IN-PROCESS BUS: no libusb, no umockdev, transfers are function calls"
                      : "the emulated reader on a umockdev bus, through the real libusb";
    }

private:
    std::unique_ptr<CEmuTestbed> m_pTestbed;
    std::shared_ptr<CEmuUsbDevice> m_pDevice;
    std::unique_ptr<CFakeUsbBus> m_pBus;
    CEmulatedReader* m_pReader = nullptr;
};

// ---- the windows ---------------------------------------------------------------------------------

struct CardTimes {
    std::vector<qint64> totalNs;
    std::vector<qint64> transferNs;
    std::vector<qint64> HostNs() const {
        std::vector<qint64> host(totalNs.size());
        for (size_t i = 0; i < host.size(); ++i)
            host[i] = totalNs[i] - transferNs[i];
        return host;
    }
};

// One main window in a data folder of its own, whose setting.ini turns the journal on or off.
struct BenchWindow {
    const char* name;
    int vendorId;
    bool journalOn;
    int prefilledLines;
    QTemporaryDir folder;
    std::unique_ptr<CRFIDDlg> dlg;
    QAbstractButton* write = nullptr;
    CardTimes times;

    BenchWindow(const char* what, int vendor, bool journal, int lines)
        : name(what), vendorId(vendor), journalOn(journal), prefilledLines(lines) {}
    CMPDlg& Page() { return dlg->MassProductionPage(); }
};

void Open(BenchWindow& window, int index) {
    QFile ini(window.folder.filePath(QStringLiteral("setting.ini")));
    if (ini.open(QIODevice::WriteOnly))
        ini.write(window.journalOn ? "[Journal]\nEnabled=1\n" : "[Journal]\nEnabled=0\n");
    ini.close();
    CMultiLanguage::SetDefaultAppFolder(window.folder.path());
    window.dlg = std::make_unique<CRFIDDlg>();
    window.dlg->CreateTopLevel();
    window.dlg->move(40 + 60 * index, 40 + 60 * index);
    window.dlg->show();
    CMultiLanguage::SetDefaultAppFolder(QString());
}

bool WaitUntilReady(std::vector<std::unique_ptr<BenchWindow>>& windows) {
    QElapsedTimer clock;
    clock.start();
    const auto allReady = [&] {
        for (const auto& window : windows)
            if (!window->dlg->IsReaderReady())
                return false;
        return true;
    };
    while (!allReady() && clock.elapsed() < READY_WAIT_MS)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return allReady();
}

void SetCheck(CDialog& page, int id, bool checked) {
    auto* check = qobject_cast<QAbstractButton*>(page.GetDlgItem(id));
    if (check->isChecked() != checked)
        check->click();
}

void SetField(CDialog& page, int id, const QString& text) {
    qobject_cast<QLineEdit*>(page.GetDlgItem(id))->setText(text);
}

// The Mass Production page with the window's vendor ID, card number 1, Verify and Hands-free off, and
// the log filled with earlier lines where the window asks for them.
void Prepare(BenchWindow& window) {
    window.dlg->ShowPage(1);
    CMPDlg& page = window.Page();
    SetField(page, CMPDlg::IDC_EDIT_VENDORID, QString::number(window.vendorId));
    SetField(page, CMPDlg::IDC_EDIT_CARDNO, QStringLiteral("1"));
    SetCheck(page, CMPDlg::IDC_CHECK_VERIFY, false);
    SetCheck(page, CMPDlg::IDC_CHECK_HANDSFREE, false);
    window.write = qobject_cast<QAbstractButton*>(page.GetDlgItem(CMPDlg::IDC_BUTTON_WRITE));
    for (int line = 0; line < window.prefilledLines; ++line)
        window.dlg->AppendLog(QStringLiteral("\r\nEARLIER CARD %1").arg(line), false);
    QCoreApplication::processEvents();
}

// One card: the Write button and the events after it (the repaint among them).
void WriteOneCard(BenchWindow& window, const CTransferClock& transfers) {
    const qint64 transfersBefore = transfers.TotalNs();
    QElapsedTimer clock;
    clock.start();
    window.write->click();
    QCoreApplication::processEvents();
    window.times.totalNs.push_back(clock.nsecsElapsed());
    window.times.transferNs.push_back(transfers.TotalNs() - transfersBefore);
}

bool LoggedEveryCard(BenchWindow& window, int cards) {
    const QString log = window.dlg->GetLogText();
    const qsizetype lines = log.count(kSuccessLine);
    const bool complete = lines == std::min(cards, LOG_MAX_LINES) && !log.contains(QStringLiteral("ERROR"));
    if (!complete)
        std::printf("%s: %lld success lines for %d cards: INCOMPLETE\n", window.name, static_cast<long long>(lines),
                    cards);
    return complete;
}

// ---- hands-free ----------------------------------------------------------------------------------

struct HandsFreeFigures {
    bool complete = false;
    TimeSpread beyond; // the card's time less its transfers and the verify pause
    TimeSpread transfers;
};

// Each card of the run is handled by the one poll that finds it; the bench makes those polls itself (the
// run's timer stopped), so it times the page's handling alone and not the operator's hand.
HandsFreeFigures RunHandsFree(BenchWindow& window, CEmulatedReader& emulated, const CTransferClock& transfers,
                              int cards) {
    CMPDlg& page = window.Page();
    SetCheck(page, CMPDlg::IDC_CHECK_VERIFY, true);
    SetCheck(page, CMPDlg::IDC_CHECK_HANDSFREE, true);
    emulated.RemoveCard();
    page.OnWrite();
    HandsFreeFigures figures;
    if (!page.IsHandsFreeRunning())
        return figures;
    std::vector<qint64> beyondNs;
    std::vector<qint64> transferNs;
    const int programmedBefore = emulated.ProgrammedCount();
    QElapsedTimer clock;
    for (int card = 0; card < cards && page.IsHandsFreeRunning(); ++card) {
        page.m_RunTimer.stop();
        emulated.PutCard(0);
        const qint64 transfersBefore = transfers.TotalNs();
        clock.start();
        page.OnHandsFreePoll();
        const qint64 cardNs = clock.nsecsElapsed();
        transferNs.push_back(transfers.TotalNs() - transfersBefore);
        beyondNs.push_back(cardNs - transferNs.back() - qint64(CMPDlg::VERIFY_DELAY_MS) * 1000000);
        page.m_RunTimer.stop();
        emulated.RemoveCard();
        for (int poll = 0; poll < CHandsFreeRun::EMPTY_READS_FOR_REMOVAL; ++poll)
            page.OnHandsFreePoll();
        QCoreApplication::processEvents();
    }
    figures.complete = int(beyondNs.size()) == cards && page.IsHandsFreeRunning() &&
                       emulated.ProgrammedCount() - programmedBefore >= cards;
    page.OnWrite();
    figures.beyond = SpreadOf(beyondNs, 0);
    figures.transfers = SpreadOf(transferNs, 0);
    return figures;
}

// ---- the report ----------------------------------------------------------------------------------

void PrintRow(const char* name, const std::vector<qint64>& totalNs, const std::vector<qint64>& transferNs,
              const std::vector<qint64>& hostNs, size_t cold) {
    const TimeSpread total = SpreadOf(totalNs, cold);
    const TimeSpread transfer = SpreadOf(transferNs, cold);
    const TimeSpread host = SpreadOf(hostNs, cold);
    std::printf("  %-30s %8.4f %8.4f %8.4f | %8.4f %8.4f | %8.4f %8.4f %8.4f\n", name, total.medianMs, total.p90Ms,
                total.p99Ms, transfer.medianMs, transfer.p99Ms, host.medianMs, host.p90Ms, host.p99Ms);
}

// The minimal card display, with an empty log or one already at the main window's line limit.
struct MinimalTurn {
    const char* name;
    std::unique_ptr<CMinimalCardWindow> window;
    std::vector<qint64> ns;
};

void PrintTable(std::vector<std::unique_ptr<BenchWindow>>& windows, const std::vector<MinimalTurn>& minimal,
                size_t cold) {
    std::printf("\n  %-30s %8s %8s %8s | %8s %8s | %8s %8s %8s\n", "ms a card", "card", "p90", "p99", "transfer",
                "p99", "host", "p90", "p99");
    for (const auto& window : windows)
        PrintRow(window->name, window->times.totalNs, window->times.transferNs, window->times.HostNs(), cold);
    for (const MinimalTurn& turn : minimal)
        PrintRow(turn.name, turn.ns, std::vector<qint64>(turn.ns.size(), 0), turn.ns, cold);
}

const char* Verdict(bool met) {
    return met ? "met" : "NOT MET";
}

// The ratio of two windows' host medians over the cards from `first` to `last` (not included), the
// cards of both taken at the same rounds.
double RatioOver(const std::vector<qint64>& numeratorNs, const std::vector<qint64>& denominatorNs, size_t first,
                 size_t last) {
    const auto part = [&](const std::vector<qint64>& ns) {
        return std::vector<qint64>(ns.begin() + qsizetype(first), ns.begin() + qsizetype(last));
    };
    return SpreadOf(part(numeratorNs), 0).medianMs / SpreadOf(part(denominatorNs), 0).medianMs;
}

void PrintGoals(const BenchWindow& empty, const BenchWindow& full, const BenchWindow& journal,
                const std::vector<MinimalTurn>& minimal, size_t cold) {
    const double emptyMs = SpreadOf(empty.times.HostNs(), cold).medianMs;
    const double fullMs = SpreadOf(full.times.HostNs(), cold).medianMs;
    const double journalMs = SpreadOf(journal.times.HostNs(), cold).medianMs;
    const double minimalMs = SpreadOf(minimal[0].ns, cold).medianMs;
    const double minimalFullMs = SpreadOf(minimal[1].ns, cold).medianMs;
    std::printf("\nGoals (host medians, journal off):\n");
    std::printf("  host time a card %.4f ms, minimal Qt program %.4f ms (%.2f times): goal no more than the "
                "minimal program: %s\n",
                emptyMs, minimalMs, emptyMs / minimalMs, Verdict(emptyMs <= minimalMs));
    std::printf("  10,000-line log %.4f ms against empty log %.4f ms: ratio %.3f, goal at most %.2f: %s\n", fullMs,
                emptyMs, fullMs / emptyMs, GROWTH_GOAL, Verdict(fullMs / emptyMs <= GROWTH_GOAL));
    // The same ratio in each half of the run says how far the machine's noise moves it.
    const size_t cards = empty.times.totalNs.size();
    const size_t middle = cold + (cards - cold) / 2;
    std::printf("  (the ratio in the first and second half of the cards: %.3f and %.3f; the minimal program's own "
                "ratio, 10,000-line log against empty: %.3f)\n",
                RatioOver(full.times.HostNs(), empty.times.HostNs(), cold, middle),
                RatioOver(full.times.HostNs(), empty.times.HostNs(), middle, cards), minimalFullMs / minimalMs);
    std::printf("Journal: host time a card %.4f ms on, %.4f ms off: the journal adds %.4f ms a card (median)\n",
                journalMs, emptyMs, journalMs - emptyMs);
}

void PrintHandsFree(const HandsFreeFigures& figures, int cards) {
    std::printf("\nHands-free, %d cards, Verify on: transfers %.4f ms a card (median), verify pause %d ms; "
                "the page's handling beyond them: median %.4f ms, p90 %.4f ms, p99 %.4f ms a card, %s\n",
                cards, figures.transfers.medianMs, CMPDlg::VERIFY_DELAY_MS, figures.beyond.medianMs,
                figures.beyond.p90Ms, figures.beyond.p99Ms, figures.complete ? "complete" : "INCOMPLETE");
    std::printf("(the operator's hand adds up to %d ms to find a card laid and %d ms to see it taken away)\n",
                CHandsFreeRun::POLL_INTERVAL_MS,
                CHandsFreeRun::EMPTY_READS_FOR_REMOVAL * CHandsFreeRun::POLL_INTERVAL_MS);
}

// ---- the run -------------------------------------------------------------------------------------

std::vector<std::unique_ptr<BenchWindow>> MakeWindows() {
    std::vector<std::unique_ptr<BenchWindow>> windows;
    windows.push_back(std::make_unique<BenchWindow>("empty log, journal off", 1, false, 0));
    windows.push_back(std::make_unique<BenchWindow>("10,000-line log, journal off", 2, false, LOG_MAX_LINES));
    windows.push_back(std::make_unique<BenchWindow>("empty log, journal on", 3, true, 0));
    return windows;
}

// Minimal card displays with the field and log sizes of a main window, so they repaint as many pixels.
std::vector<MinimalTurn> MakeMinimalWindows(BenchWindow& window) {
    QWidget* field = window.Page().GetDlgItem(CMPDlg::IDC_EDIT_CARDNO);
    QWidget* log = window.dlg->GetDlgItem(IDC_LOG);
    std::vector<MinimalTurn> minimal;
    minimal.push_back({"minimal Qt, empty log", nullptr, {}});
    minimal.push_back({"minimal Qt, 10,000-line log", nullptr, {}});
    for (size_t i = 0; i < minimal.size(); ++i) {
        auto shown = std::make_unique<CMinimalCardWindow>(field->size(), log ? log->size() : QSize(600, 300));
        shown->move(400 + 60 * int(i), 400 + 60 * int(i));
        shown->show();
        minimal[i].window = std::move(shown);
    }
    minimal[1].window->FillLog(LOG_MAX_LINES);
    std::printf("minimal Qt card display: a %dx%d field and a %dx%d log, as in the main window\n",
                minimal[0].window->FieldSize().width(), minimal[0].window->FieldSize().height(),
                minimal[0].window->LogSize().width(), minimal[0].window->LogSize().height());
    return minimal;
}

int Run(const Options& options, CEmulatedReader& reader) {
    CTransferClock transfers;
    reader.PutCard(0);
    auto windows = MakeWindows();
    for (size_t i = 0; i < windows.size(); ++i)
        Open(*windows[i], int(i));
    if (!WaitUntilReady(windows)) {
        std::fprintf(stderr, "the emulated reader never became ready in every window\n");
        return 1;
    }
    for (const auto& window : windows)
        Prepare(*window);
    std::vector<MinimalTurn> minimal = MakeMinimalWindows(*windows.front());
    QCoreApplication::processEvents();

    const int programmedBefore = reader.ProgrammedCount();
    // Each round starts with the next window, so that none always comes first after the others.
    const int turns = int(windows.size() + minimal.size());
    for (int card = 0; card < options.cards; ++card) {
        for (int turn = 0; turn < turns; ++turn) {
            const int who = (card + turn) % turns;
            if (who < int(windows.size())) {
                WriteOneCard(*windows[size_t(who)], transfers);
            } else {
                MinimalTurn& display = minimal[size_t(who) - windows.size()];
                display.ns.push_back(display.window->ShowCard());
            }
        }
    }
    bool complete = reader.ProgrammedCount() - programmedBefore == options.cards * int(windows.size());
    for (const auto& window : windows)
        complete = LoggedEveryCard(*window, options.cards) && complete;

    const size_t cold = size_t(options.cold);
    std::printf("%d cards a window, written in turn, Verify off; the first %d of each left out as cold; "
                "%d transfers timed\n",
                options.cards, options.cold, transfers.Count());
    PrintTable(windows, minimal, cold);
    PrintGoals(*windows[0], *windows[1], *windows[2], minimal, cold);
    if (options.handsFreeCards > 0) {
        const HandsFreeFigures handsFree = RunHandsFree(*windows[0], reader, transfers, options.handsFreeCards);
        PrintHandsFree(handsFree, options.handsFreeCards);
        complete = complete && handsFree.complete;
    }
    std::printf("\n%s\n", complete ? "every card written and logged" : "INCOMPLETE: see above");
    return complete ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const std::optional<Options> options = ParseOptions(argc, argv);
    if (!options) {
        std::fprintf(stderr, "usage: MassProductionBench [--cards N] [--cold N] [--hands-free N] "
                             "[--display best|xvfb|current|offscreen] [--in-process]\n");
        return 2;
    }
    if (!options->inProcess)
        CEmuTestbed::EnsurePreload(argc, argv);
    // The windows' placement goes to a settings folder of the run's own, not the user's.
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(scratch.filePath(QStringLiteral("config"))));
    CBenchDisplay display(options->display);
    if (!display.IsUsable()) {
        std::fprintf(stderr, "the display asked for is not there\n");
        return 2;
    }
    QApplication app(argc, argv);
    CBenchReader reader(options->inProcess); // before any reader object: libusb picks its device folder at start
    std::printf("Mass Production benchmark\nreader: %s\ndisplay: %s\n", reader.Description(),
                qPrintable(display.Description()));
    return Run(*options, reader.Reader());
}
