// Mass Production over the in-process reader: writes 10,000 cards with Verify off through the
// real main window and page, and prints the host time per card and whether later cards are
// slower than early ones (the log grows by one line per card). Then checks that the log holds
// every line. It does so twice, with the production journal turned off and on (a fresh journal
// file, each card committed before the next), and prints the median time a card of each and the
// difference. Last, a hands-free run with Verify on: the time the page spends on each card laid, beyond
// the reader's own transfers and the 500 ms verify pause.
//
//   MassProductionBench [cards] [hands-free cards]

#include "language/MultiLanguage.h"
#include "reader/RFIDDevice.h"
#include "shell/RFIDDlg.h"
#include "tools/emureader/FakeUsbBus.h"

#include <QAbstractButton>
#include <QFile>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <numeric>
#include <vector>

namespace {

bool WaitUntilReady(const CRFIDDlg& dlg, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    while (!dlg.m_bDeviceReady && clock.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return dlg.m_bDeviceReady != 0;
}

double MeanMs(const std::vector<qint64>& ns, size_t first, size_t count) {
    const auto begin = ns.begin() + qsizetype(first);
    return std::accumulate(begin, begin + qsizetype(count), 0.0) / double(count) / 1e6;
}

struct Figures {
    std::vector<qint64> writeNs; // the Write button's handler alone
    std::vector<qint64> cycleNs; // the handler and the event processing after it
};

Figures RunCards(CRFIDDlg& dlg, int cards) {
    CMPDlg& page = dlg.m_MPDlg;
    dlg.ShowPage(1);
    qobject_cast<QLineEdit*>(page.GetDlgItem(CMPDlg::IDC_EDIT_VENDORID))->setText(QStringLiteral("1"));
    qobject_cast<QLineEdit*>(page.GetDlgItem(CMPDlg::IDC_EDIT_CARDNO))->setText(QStringLiteral("1"));
    auto* verify = qobject_cast<QAbstractButton*>(page.GetDlgItem(CMPDlg::IDC_CHECK_VERIFY));
    if (verify->isChecked())
        verify->click();
    auto* write = qobject_cast<QAbstractButton*>(page.GetDlgItem(CMPDlg::IDC_BUTTON_WRITE));

    Figures figures;
    QElapsedTimer clock;
    for (int card = 0; card < cards; ++card) {
        clock.start();
        write->click();
        figures.writeNs.push_back(clock.nsecsElapsed());
        QCoreApplication::processEvents();
        figures.cycleNs.push_back(clock.nsecsElapsed());
    }
    return figures;
}

double MedianMs(std::vector<qint64> ns) {
    if (ns.empty())
        return 0.0;
    std::nth_element(ns.begin(), ns.begin() + qsizetype(ns.size() / 2), ns.end());
    return double(ns[ns.size() / 2]) / 1e6;
}

void PrintFigures(const char* what, const std::vector<qint64>& ns) {
    const size_t window = std::min<size_t>(1000, ns.size());
    const double first = MeanMs(ns, 0, window);
    const double last = MeanMs(ns, ns.size() - window, window);
    std::printf(
        "%-22s %8.4f ms/card overall, first %zu: %8.4f ms, last %zu: %8.4f ms, ratio last/first %.2f\n", what,
        MeanMs(ns, 0, ns.size()), window, first, window, last, last / first);
}

struct Batch {
    bool ran = false;
    bool complete = false;
    Figures figures;
};

// One batch in a main window of its own, in a fresh data folder whose setting.ini turns the journal on or off.
Batch RunBatch(CEmulatedReader& reader, int cards, bool journalOn) {
    QTemporaryDir appFolder;
    CMultiLanguage::SetDefaultAppFolder(appFolder.path());
    QFile ini(appFolder.filePath(QStringLiteral("setting.ini")));
    if (ini.open(QIODevice::WriteOnly))
        ini.write(journalOn ? "[Journal]\nEnabled=1\n" : "[Journal]\nEnabled=0\n");
    ini.close();
    reader.PutCard(0);
    const int programmedBefore = reader.ProgrammedCount();

    Batch batch;
    CRFIDDlg dlg;
    QTimer::singleShot(0, &dlg, [&] {
        if (!WaitUntilReady(dlg, 5000)) {
            std::fprintf(stderr, "the emulated reader never became ready\n");
        } else {
            batch.ran = true;
            batch.figures = RunCards(dlg, cards);
            std::printf("Mass Production, %d cards, Verify off, in-process reader, journal %s\n", cards,
                        journalOn ? "on" : "off");
            PrintFigures("write handler:", batch.figures.writeNs);
            PrintFigures("write + events:", batch.figures.cycleNs);

            const QString log = dlg.GetLogText();
            // The log keeps its last LOG_MAX_LINES lines.
            const qsizetype lines = log.count(QStringLiteral("WRITE CARD SUCCESS\u221A"));
            const int programmed = reader.ProgrammedCount() - programmedBefore;
            batch.complete = lines == std::min(cards, LOG_MAX_LINES) && programmed == cards &&
                             reader.CardId() == (1ull << 32) + quint64(cards);
            std::printf("log: %lld lines, %lld success lines for %d cards, %d cards programmed: %s\n",
                        static_cast<long long>(log.count(u'\n') + 1), static_cast<long long>(lines), cards,
                        programmed, batch.complete ? "complete" : "INCOMPLETE");
        }
        dlg.EndDialog(IDCANCEL);
    });
    dlg.DoModal();
    CMultiLanguage::SetDefaultAppFolder(QString());
    return batch;
}

// The median time of one call of action, over count calls.
template <typename Action>
qint64 MedianNs(int count, Action action) {
    std::vector<qint64> ns;
    QElapsedTimer clock;
    for (int i = 0; i < count; ++i) {
        clock.start();
        action();
        ns.push_back(clock.nsecsElapsed());
    }
    std::nth_element(ns.begin(), ns.begin() + qsizetype(ns.size() / 2), ns.end());
    return ns[ns.size() / 2];
}

// Each card of the run is handled by the one poll that finds it; the bench makes those polls itself (the
// run's timer stopped), so it times the page's handling alone and not the operator's hand.
bool RunHandsFree(CRFIDDlg& dlg, CEmulatedReader& emulated, int cards) {
    CMPDlg& page = dlg.m_MPDlg;
    dlg.ShowPage(1);
    qobject_cast<QLineEdit*>(page.GetDlgItem(CMPDlg::IDC_EDIT_VENDORID))->setText(QStringLiteral("2"));
    qobject_cast<QLineEdit*>(page.GetDlgItem(CMPDlg::IDC_EDIT_CARDNO))->setText(QStringLiteral("1"));
    for (int id : {int(CMPDlg::IDC_CHECK_VERIFY), int(CMPDlg::IDC_CHECK_HANDSFREE)}) {
        auto* check = qobject_cast<QAbstractButton*>(page.GetDlgItem(id));
        if (!check->isChecked())
            check->click();
    }
    // The reader's own transfers of one card: the poll that finds it, the write and the read-back.
    CRFIDDevice& reader = dlg.Reader();
    emulated.PutCard(0);
    const qint64 readNs = MedianNs(50, [&] { reader.ReadCardId(true); });
    const qint64 writeNs = MedianNs(50, [&] { reader.WriteCardId(1); });
    const qint64 baseNs = 2 * readNs + writeNs + qint64(CMPDlg::VERIFY_DELAY_MS) * 1000000;
    emulated.RemoveCard();

    page.OnWrite();
    if (!page.IsHandsFreeRunning())
        return false;
    std::vector<qint64> cardNs;
    QElapsedTimer clock;
    for (int card = 0; card < cards && page.IsHandsFreeRunning(); ++card) {
        page.m_RunTimer.stop();
        emulated.PutCard(0);
        clock.start();
        page.OnHandsFreePoll();
        cardNs.push_back(clock.nsecsElapsed());
        page.m_RunTimer.stop();
        emulated.RemoveCard();
        for (int poll = 0; poll < CHandsFreeRun::EMPTY_READS_FOR_REMOVAL; ++poll)
            page.OnHandsFreePoll();
        QCoreApplication::processEvents();
    }
    const bool complete = int(cardNs.size()) == cards && page.IsHandsFreeRunning() &&
                          emulated.ProgrammedCount() >= cards;
    page.OnWrite();
    const double medianMs = MedianMs(cardNs);
    const double baseMs = double(baseNs) / 1e6;
    std::printf("Hands-free, %d cards, Verify on, in-process reader: %.4f ms a card, of which transfers %.4f ms "
                "and the verify pause %d ms\n",
                cards, medianMs, baseMs - CMPDlg::VERIFY_DELAY_MS, CMPDlg::VERIFY_DELAY_MS);
    std::printf("hands-free handling beyond transfers and pause: %.4f ms a card (%.3f %%), %s\n",
                medianMs - baseMs, 100.0 * (medianMs - baseMs) / baseMs, complete ? "complete" : "INCOMPLETE");
    std::printf("(the operator's hand adds up to %d ms to find a card laid and %d ms to see it taken away)\n",
                CHandsFreeRun::POLL_INTERVAL_MS, CHandsFreeRun::EMPTY_READS_FOR_REMOVAL * CHandsFreeRun::POLL_INTERVAL_MS);
    return complete;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int cards = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;

    CFakeUsbBus bus;
    CEmulatedReader& reader = bus.AddReader();
    const Batch off = RunBatch(reader, cards, false);
    const Batch on = RunBatch(reader, cards, true);
    if (!off.ran || !on.ran)
        return 1;
    const int handsFreeCards = argc > 2 ? std::max(1, std::atoi(argv[2])) : 20;
    QTemporaryDir appFolder;
    CMultiLanguage::SetDefaultAppFolder(appFolder.path());
    bool handsFreeComplete = false;
    {
        CRFIDDlg dlg;
        QTimer::singleShot(0, &dlg, [&] {
            handsFreeComplete = WaitUntilReady(dlg, 5000) && RunHandsFree(dlg, reader, handsFreeCards);
            dlg.EndDialog(IDCANCEL);
        });
        dlg.DoModal();
    }
    CMultiLanguage::SetDefaultAppFolder(QString());
    const double offMs = MedianMs(off.figures.writeNs);
    const double onMs = MedianMs(on.figures.writeNs);
    std::printf("median write handler a card: journal off %.4f ms, on %.4f ms, the journal adds %.4f ms\n", offMs,
                onMs, onMs - offMs);
    return off.complete && on.complete && handsFreeComplete ? 0 : 1;
}
