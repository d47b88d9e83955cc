#pragma once

// The operator the soak plays at the real main window: lays cards on the emulated reader, presses Write
// (or lets a hands-free run see the cards), reads the log and the run's state line, plugs the reader back
// in, and between any two actions lets the window handle its events as long as a person's hand takes.

#include "tools/soak/SoakCards.h"
#include "tools/soak/SoakMemory.h"

#include <QString>

#include <atomic>
#include <optional>
#include <random>

class CEmuUsbDevice;
class CMPDlg;
class CRFIDDlg;
class PauseUnplug;
class QAbstractButton;
class QLineEdit;

struct SoakOptions {
    int cards = 10000;           // cards laid on the reader, new ones and finished ones laid again
    unsigned seed = 1;
    int verifySharePercent = 25; // blocks of 50 cards with Verify on; the pause costs 500 ms a card
    int laidAgainPercent = 3;    // of the cards laid: a finished one instead of a new blank one
    bool handsFree = false;
    bool batch = false;
    int readers = 0; // --readers N: a line of headless stations instead of the window
};

// The batch a --batch soak writes from, in the journal's own database.
inline const QString SOAK_BATCH_NAME = QStringLiteral("soak");

struct Figures {
    int newCards = 0;
    int readOnlyCards = 0;
    int laidAgainGood = 0;   // finished good cards laid on the reader again
    int laidAgainThrown = 0; // thrown-away cards laid again
    int writtenTwice = 0;    // Write pressed a second time on a card just written good
    int tries = 0;
    int writeErrors = 0;
    int verifyFailures = 0;
    int refusals = 0; // the page would not write the card on the reader: it holds a good card's number
    int unplugsBetween = 0;
    int unplugsInPause = 0;
    int quickReplugsInPause = 0;
    int unnoticedUnplugs = 0;  // the window never showed that the reader was gone
    int extraReplugs = 0;      // replugs the operator needed because the program did not find the reader again
    int deadHandleReplugs = 0; // ... because the program said ready but its writes never reached the reader
    qint64 longestReadyWaitMs = 0;
    // Good cards laid again or written twice: each must be refused and left as it was.
    int goodCardsRefused = 0;
    int goodCardsNotRefused = 0;
    int goodCardsReached = 0;     // a frame reached the card
    int goodCardsOverwritten = 0; // the card holds another number now
    int overwrittenAfterFailedRead = 0; // ... after the page's read of the card before writing it failed
    int refusedWithoutGoodNumber = 0; // refused though the card holds no good card's number
    // Hands-free runs.
    int runStarts = 0;
    int runStopsFailures = 0;
    int runStopsReader = 0;
    int cardsNotSeen = 0; // laid on the reader, but the run never finished with it
    int runsStuck = 0;    // a run that went on without ever waiting for a card again
    MemorySample start, end;
    bool readerLost = false;
    bool batchChosen = true;
};

class Operator {
public:
    Operator(const SoakOptions& options, CRFIDDlg& dlg, CEmuUsbDevice& device, std::atomic<int>& cardsDone);

    // Produces the cards; every card it finished is on the shelf afterwards.
    Figures Run(CardShelf& shelf);

private:
    enum class Outcome { Good, Refused, WriteError, VerifyFailed, NothingWritten };
    // What the card was before a try, to tell whether a good card was left alone.
    struct CardBefore {
        std::optional<std::uint64_t> holds;
        int programmed = 0;
    };

    bool Chance(double share);
    int Between(int low, int high);
    bool VerifyBlock(int block) const;
    QLineEdit* Edit(int id) const;
    QAbstractButton* Button(int id) const;

    bool Prepare();
    bool ChooseBatch();
    void SetVerify(bool on);

    void LayNextCard();
    void ProduceNewCard();
    void LayAgain(FinishedCard& card);
    void WriteUntilFinished(FinishedCard& card);
    void PressWriteAgain(FinishedCard& card);
    void ExpectLeftAlone(FinishedCard& card, const CardBefore& before, Outcome outcome);
    CardBefore Before(const FinishedCard& card) const;
    bool FirstCardReadFailed() const;

    Outcome Try(FinishedCard& card);
    Outcome PressWrite(FinishedCard& card);
    Outcome LayOnRun(FinishedCard& card);
    int LogEnd() const;
    QString LogAddedSince(int logEnd) const;
    Outcome Classify(int logEnd, bool runSaysAlreadyWritten);
    void MaybeUnplugInPause(std::optional<PauseUnplug>& pauseUnplug);
    bool FinishPauseUnplug(std::optional<PauseUnplug>& pauseUnplug);
    void NoteOutcome(Outcome outcome, const FinishedCard& card);
    void NoteWriteReachedReader(Outcome outcome);

    bool EnsureRunWaitsForACard();
    void NoteRunStop();
    bool RunWaitsForACard() const;
    QString RunState() const;

    void PauseLikeAPerson(bool readerWasPulled);
    bool WaitUntilWindowNoticedUnplug();
    void UnplugBetweenCards();
    bool WaitUntilReady();

    const SoakOptions m_options;
    std::mt19937 m_random;
    CRFIDDlg& m_dlg;
    CEmuUsbDevice& m_device;
    CMPDlg& m_page;
    std::atomic<int>& m_cardsDone;
    CardShelf* m_shelf = nullptr;
    bool m_verify = false;
    bool m_runStarted = false;
    int m_deadWritesInARow = 0;
    Figures m_figures;
};
