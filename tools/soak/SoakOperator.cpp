#include "tools/soak/SoakOperator.h"

#include "cards/NumberSequence.h"
#include "reader/RFIDDevice.h"
#include "pages/MPDlg.h"
#include "shell/RFIDDlg.h"
#include "tools/soak/SoakFaults.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

constexpr double READ_ONLY_CARD_SHARE = 0.005; // of the new cards
constexpr double UNPLUG_BETWEEN_SHARE = 0.005; // of the tries: unplugged before the card
constexpr double UNPLUG_IN_PAUSE_SHARE = 0.03; // of the tries with Verify on: unplugged in the pause
constexpr double WRITE_TWICE_SHARE = 0.02;     // of the good cards written with the Write button
constexpr int VERIFY_BLOCK_CARDS = 50;
constexpr int TRIES_PER_CARD = 3;
constexpr int READY_WAIT_MS = 20000;
constexpr int REPLUGS_BEFORE_GIVING_UP = 3;
// How long a person's hand takes between a click and the next action.
constexpr int HAND_MIN_MS = 150;
constexpr int HAND_MAX_MS = 400;
// How long the operator watches for the window to show that the reader is gone.
constexpr int NOTICE_WAIT_MS = 5000;
// How long the operator waits for a hands-free run to finish with a card laid on the reader, and to see
// it taken away (reads that time out cost a second each).
constexpr int RUN_CARD_WAIT_MS = 10000;
constexpr int RUN_REMOVAL_WAIT_MS = 10000;

// The log's words for the outcome of a card, and the run's state lines the operator reads.
const QString kWriteError = QStringLiteral("WRITE CARD ERROR");
const QString kWriteSuccess = QStringLiteral("WRITE CARD SUCCESS");
const QString kVerifyFail = QStringLiteral("VERIFY FAIL");
const QString kVerifySuccess = QStringLiteral("VERIFY SUCCESS");
const QString kAlreadyHolds = QStringLiteral("already holds");
const QString kRunWaiting = QStringLiteral("Waiting for a card");
const QString kRunAlreadyWritten = QStringLiteral("Already written");
const QString kRunStoppedFailures = QStringLiteral("Stopped: three failed cards in a row");
const QString kRunStoppedReader = QStringLiteral("Stopped: the reader is gone");

// Handles the window's events until the condition holds or the time is up; whether it holds. The
// loop sleeps while the window has nothing to do; a timer of its own wakes it to look again.
bool PumpUntil(const std::function<bool()>& condition, int timeoutMs) {
    constexpr int LOOK_EVERY_MS = 5;
    QElapsedTimer clock;
    clock.start();
    QTimer look;
    look.start(LOOK_EVERY_MS);
    while (!condition()) {
        if (clock.elapsed() >= timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
    return true;
}

void PumpEvents(int ms) {
    PumpUntil([] { return false; }, ms);
}

} // namespace

Operator::Operator(const SoakOptions& options, CRFIDDlg& dlg, CEmuUsbDevice& device, std::atomic<int>& cardsDone)
    : m_options(options), m_random(options.seed), m_dlg(dlg), m_device(device), m_page(dlg.MassProductionPage()),
      m_cardsDone(cardsDone) {}

Figures Operator::Run(CardShelf& shelf) {
    m_shelf = &shelf;
    // Room for every card up front: cards are worked on in place, and the soak's own bookkeeping stays
    // out of the memory it measures.
    shelf.reserve(std::size_t(m_options.cards));
    if (!Prepare())
        return m_figures;
    m_figures.start = SampleMemory();
    for (int card = 0; card < m_options.cards && !m_figures.readerLost; ++card) {
        if (card % VERIFY_BLOCK_CARDS == 0)
            SetVerify(VerifyBlock(card / VERIFY_BLOCK_CARDS));
        LayNextCard();
        m_cardsDone = card + 1;
        if ((card + 1) % 1000 == 0)
            std::fprintf(stderr, "rfid-soak: %d cards\n", card + 1);
    }
    m_figures.end = SampleMemory();
    return m_figures;
}

bool Operator::Chance(double share) {
    return std::uniform_real_distribution<double>(0, 1)(m_random) < share;
}

int Operator::Between(int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(m_random);
}

// Verify is on for the given share of the blocks, spread evenly and from the first block on.
bool Operator::VerifyBlock(int block) const {
    const int share = m_options.verifySharePercent;
    return share > 0 && (block * share) % 100 < share;
}

QLineEdit* Operator::Edit(int id) const {
    return qobject_cast<QLineEdit*>(m_page.GetDlgItem(id));
}

QAbstractButton* Operator::Button(int id) const {
    return qobject_cast<QAbstractButton*>(m_page.GetDlgItem(id));
}

// ---- setting the page up ---------------------------------------------------------------------------

// Increase mode from vendor 1, card 1, so that good cards carry consecutive numbers; or the soak's batch,
// whose numbers run the same way.
bool Operator::Prepare() {
    m_dlg.ShowPage(1);
    Edit(CMPDlg::IDC_EDIT_VENDORID)->setText(QStringLiteral("1"));
    Edit(CMPDlg::IDC_EDIT_CARDNO)->setText(QStringLiteral("1"));
    Button(CMPDlg::IDC_RADIO_INCREASE)->click();
    if (m_options.handsFree && !Button(CMPDlg::IDC_CHECK_HANDSFREE)->isChecked())
        Button(CMPDlg::IDC_CHECK_HANDSFREE)->click();
    if (!WaitUntilReady()) {
        m_figures.readerLost = true;
        return false;
    }
    if (m_options.batch && !ChooseBatch()) {
        m_figures.batchChosen = false;
        return false;
    }
    return true;
}

// Picks the soak's batch in the page's Batch box, as the operator does from its list.
bool Operator::ChooseBatch() {
    auto* box = qobject_cast<QComboBox*>(m_page.GetDlgItem(CMPDlg::IDC_COMBO_BATCH));
    m_page.RefreshBatchList();
    const int index = box ? box->findText(SOAK_BATCH_NAME, Qt::MatchExactly) : -1;
    if (index <= 0)
        return false;
    box->setCurrentIndex(index);
    m_page.OnBatchChosen(index);
    PauseLikeAPerson(false);
    return m_page.ChosenBatch() != nullptr;
}

void Operator::SetVerify(bool on) {
    QAbstractButton* verify = Button(CMPDlg::IDC_CHECK_VERIFY);
    if (verify->isChecked() != on)
        verify->click();
    m_verify = on;
}

// ---- the cards -------------------------------------------------------------------------------------

// A new blank card, or now and then one the operator finished before.
void Operator::LayNextCard() {
    if (!m_shelf->empty() && Chance(m_options.laidAgainPercent / 100.0))
        LayAgain((*m_shelf)[std::size_t(Between(0, int(m_shelf->size()) - 1))]);
    else
        ProduceNewCard();
}

// A blank writable card, or now and then one that refuses programming; tried until it is good or has
// failed three times. With the Write button, a good card is now and then pressed Write on once more.
void Operator::ProduceNewCard() {
    const bool readOnly = Chance(READ_ONLY_CARD_SHARE);
    ++m_figures.newCards;
    m_figures.readOnlyCards += readOnly ? 1 : 0;
    m_shelf->push_back({readOnly ? CEmulatedReader::CARD_READ_ONLY : CEmulatedReader::CARD_WRITABLE,
                        CardFate::ThrownAway, std::uint64_t(0), 0});
    FinishedCard& card = m_shelf->back();
    if (!m_options.handsFree)
        m_device.Reader().PutCard(0, card.kind);
    WriteUntilFinished(card);
    if (!m_options.handsFree && card.fate == CardFate::Good && Chance(WRITE_TWICE_SHARE))
        PressWriteAgain(card);
    m_device.Reader().RemoveCard();
}

// A finished card back on the reader. A good one must come off it as it was: the page refuses to write a
// card that holds a good card's number. A thrown-away one is written like a new card (or refused, when it
// holds a number that another card holds as a good card).
void Operator::LayAgain(FinishedCard& card) {
    if (!m_options.handsFree)
        m_device.Reader().PutCard(card.holds.value_or(0), card.kind);
    if (card.fate == CardFate::Good) {
        ++m_figures.laidAgainGood;
        const CardBefore before = Before(card);
        const Outcome outcome = Try(card);
        ExpectLeftAlone(card, before, outcome);
    } else {
        ++m_figures.laidAgainThrown;
        WriteUntilFinished(card);
    }
    m_device.Reader().RemoveCard();
}

void Operator::WriteUntilFinished(FinishedCard& card) {
    card.fate = CardFate::ThrownAway;
    for (int tries = 0; tries < TRIES_PER_CARD && !m_figures.readerLost; ++tries) {
        const std::uint64_t fieldsId = ComposeIdentifier(Edit(CMPDlg::IDC_EDIT_VENDORID)->text(),
                                                         Edit(CMPDlg::IDC_EDIT_CARDNO)->text()).value;
        const Outcome outcome = Try(card);
        if (outcome == Outcome::Good) {
            card.fate = CardFate::Good;
            card.logged = fieldsId;
            return;
        }
        if (outcome == Outcome::Refused)
            return; // the page will not write this card: it goes aside as it is
    }
}

// The operator is not sure the card was written and presses Write once more, a moment later.
void Operator::PressWriteAgain(FinishedCard& card) {
    ++m_figures.writtenTwice;
    const CardBefore before = Before(card);
    const Outcome outcome = Try(card);
    ExpectLeftAlone(card, before, outcome);
}

Operator::CardBefore Operator::Before(const FinishedCard& card) const {
    return {card.holds, m_device.Reader().ProgrammedCount()};
}

void Operator::ExpectLeftAlone(FinishedCard& card, const CardBefore& before, Outcome outcome) {
    const bool reached = m_device.Reader().ProgrammedCount() != before.programmed;
    const bool overwritten = card.holds != before.holds;
    m_figures.goodCardsRefused += outcome == Outcome::Refused ? 1 : 0;
    m_figures.goodCardsNotRefused += outcome == Outcome::Refused ? 0 : 1;
    m_figures.goodCardsReached += reached ? 1 : 0;
    m_figures.goodCardsOverwritten += overwritten ? 1 : 0;
    m_figures.overwrittenAfterFailedRead += overwritten && FirstCardReadFailed() ? 1 : 0;
    // A card that got another number is what the log says of it now.
    if (overwritten && outcome != Outcome::Good)
        card.fate = CardFate::ThrownAway;
    if (overwritten && outcome == Outcome::Good)
        card.logged = *card.holds;
}

// Whether the first read of the card in this try failed (a stall or a time-out): the page then takes the
// card for one that reads nothing.
bool Operator::FirstCardReadFailed() const {
    for (const CEmulatedReader::Transfer& transfer : m_device.Reader().Transfers())
        if (transfer.request == REQUEST_READ_CARD)
            return transfer.result < 0;
    return false;
}

// ---- one try ---------------------------------------------------------------------------------------

Operator::Outcome Operator::Try(FinishedCard& card) {
    while (!m_figures.readerLost) {
        if (!WaitUntilReady()) {
            m_figures.readerLost = true;
            break;
        }
        if (!Chance(UNPLUG_BETWEEN_SHARE))
            return m_options.handsFree ? LayOnRun(card) : PressWrite(card);
        UnplugBetweenCards();
    }
    return Outcome::NothingWritten;
}

// Write with the card on the reader; the card stays there.
Operator::Outcome Operator::PressWrite(FinishedCard& card) {
    ++m_figures.tries;
    m_device.Reader().ClearTransfers(); // the transfer log would grow for ever
    std::optional<PauseUnplug> pauseUnplug;
    MaybeUnplugInPause(pauseUnplug);
    const int logEnd = LogEnd();
    Button(CMPDlg::IDC_BUTTON_WRITE)->click();
    const Outcome outcome = Classify(logEnd, false);
    card.holds = m_device.Reader().CardId();
    const bool pulled = FinishPauseUnplug(pauseUnplug);
    NoteOutcome(outcome, card);
    PauseLikeAPerson(pulled);
    return outcome;
}

// The card laid on the reader while a hands-free run goes; the operator reads the run's state line to
// know when the run has finished with it, then takes it away and waits until the run has seen that.
Operator::Outcome Operator::LayOnRun(FinishedCard& card) {
    if (!EnsureRunWaitsForACard())
        return Outcome::NothingWritten;
    ++m_figures.tries;
    m_device.Reader().ClearTransfers();
    std::optional<PauseUnplug> pauseUnplug;
    MaybeUnplugInPause(pauseUnplug);
    const int logEnd = LogEnd();
    m_device.Reader().PutCard(card.holds.value_or(0), card.kind);
    const bool finished = PumpUntil([this] { return !RunWaitsForACard(); }, RUN_CARD_WAIT_MS);
    m_figures.cardsNotSeen += finished ? 0 : 1;
    const Outcome outcome = Classify(logEnd, RunState().startsWith(kRunAlreadyWritten));
    const bool pulled = FinishPauseUnplug(pauseUnplug);
    card.holds = m_device.Reader().CardId();
    NoteOutcome(outcome, card);
    PauseLikeAPerson(pulled);
    m_device.Reader().RemoveCard();
    return outcome;
}

// Where the log's text ends now.
int Operator::LogEnd() const {
    return m_dlg.Log()->document()->characterCount() - 1;
}

// What the log added after `logEnd`, as the operator reads its last lines; the whole log when it was
// emptied meanwhile (the reader going away replaces it).
QString Operator::LogAddedSince(int logEnd) const {
    QTextDocument* document = m_dlg.Log()->document();
    QTextCursor cursor(document);
    cursor.setPosition(LogEnd() >= logEnd ? logEnd : 0);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    return cursor.selectedText();
}

// What the log added after `logEnd` says of the card (and the run's state line, for a hands-free run).
Operator::Outcome Operator::Classify(int logEnd, bool runSaysAlreadyWritten) {
    const QString added = LogAddedSince(logEnd);
    if (runSaysAlreadyWritten || added.contains(kAlreadyHolds))
        return Outcome::Refused;
    if (added.contains(kWriteError))
        return Outcome::WriteError;
    if (!added.contains(kWriteSuccess))
        return Outcome::NothingWritten;
    if (added.contains(kVerifyFail))
        return Outcome::VerifyFailed;
    return !m_verify || added.contains(kVerifySuccess) ? Outcome::Good : Outcome::VerifyFailed;
}

void Operator::MaybeUnplugInPause(std::optional<PauseUnplug>& pauseUnplug) {
    if (m_verify && Chance(UNPLUG_IN_PAUSE_SHARE))
        pauseUnplug.emplace(m_device, Between(20, 300), Chance(0.5) ? Between(10, 100) : -1);
}

bool Operator::FinishPauseUnplug(std::optional<PauseUnplug>& pauseUnplug) {
    if (!pauseUnplug || !pauseUnplug->Finish())
        return false;
    ++m_figures.unplugsInPause;
    m_figures.quickReplugsInPause += m_device.IsPlugged() ? 1 : 0;
    return true;
}

void Operator::NoteOutcome(Outcome outcome, const FinishedCard& card) {
    m_figures.writeErrors += outcome == Outcome::WriteError ? 1 : 0;
    m_figures.verifyFailures += outcome == Outcome::VerifyFailed ? 1 : 0;
    if (outcome == Outcome::Refused) {
        ++m_figures.refusals;
        m_figures.refusedWithoutGoodNumber += card.holds && IsOnAGoodCard(*m_shelf, *card.holds) ? 0 : 1;
    }
    NoteWriteReachedReader(outcome);
}

// A program that says the reader is ready while none of its writes reaches the plugged-in reader
// holds a dead handle: after three such writes in a row the operator pulls the reader out and
// plugs it in again.
void Operator::NoteWriteReachedReader(Outcome outcome) {
    const bool deadWrite = outcome == Outcome::WriteError && m_device.IsPlugged() &&
                           m_device.Reader().CountTransfers(REQUEST_WRITE_CARD) == 0;
    m_deadWritesInARow = deadWrite ? m_deadWritesInARow + 1 : 0;
    if (m_deadWritesInARow < TRIES_PER_CARD)
        return;
    m_deadWritesInARow = 0;
    ++m_figures.deadHandleReplugs;
    m_device.Unplug();
    WaitUntilWindowNoticedUnplug();
    m_device.Replug();
}

// ---- hands-free runs -------------------------------------------------------------------------------

// The run waits for a card: the one going, once it has seen the last card taken away, or a new one
// started with Write when none goes (the reader ready first).
bool Operator::EnsureRunWaitsForACard() {
    for (int presses = 0; presses <= TRIES_PER_CARD; ++presses) {
        PumpUntil([this] { return RunWaitsForACard() || !m_page.IsHandsFreeRunning(); }, RUN_REMOVAL_WAIT_MS);
        if (RunWaitsForACard())
            return true;
        if (m_page.IsHandsFreeRunning()) {
            ++m_figures.runsStuck;
            return false;
        }
        NoteRunStop();
        if (!WaitUntilReady()) {
            m_figures.readerLost = true;
            return false;
        }
        Button(CMPDlg::IDC_BUTTON_WRITE)->click();
        PauseLikeAPerson(false);
        m_runStarted = m_page.IsHandsFreeRunning();
        m_figures.runStarts += m_runStarted ? 1 : 0;
    }
    return false;
}

void Operator::NoteRunStop() {
    if (!m_runStarted)
        return;
    m_runStarted = false;
    m_figures.runStopsFailures += RunState() == kRunStoppedFailures ? 1 : 0;
    m_figures.runStopsReader += RunState() == kRunStoppedReader ? 1 : 0;
}

bool Operator::RunWaitsForACard() const {
    return m_page.IsHandsFreeRunning() && RunState().startsWith(kRunWaiting);
}

QString Operator::RunState() const {
    return m_page.m_labelRunState ? m_page.m_labelRunState->text() : QString();
}

// ---- the reader and the window ---------------------------------------------------------------------

// Lets the window handle its events while the hand moves; after the reader was pulled out, first until
// the window shows it, as a person would see it before going on.
void Operator::PauseLikeAPerson(bool readerWasPulled) {
    if (readerWasPulled)
        WaitUntilWindowNoticedUnplug();
    PumpEvents(Between(HAND_MIN_MS, HAND_MAX_MS));
}

// The window shows that the reader went (not ready, "Disconnect!"), also when it is back already:
// a replug leaves a handle on a node that is gone, which the window must give up.
bool Operator::WaitUntilWindowNoticedUnplug() {
    if (PumpUntil([this] { return !m_dlg.IsReaderReady(); }, NOTICE_WAIT_MS))
        return true;
    ++m_figures.unnoticedUnplugs;
    return false;
}

void Operator::UnplugBetweenCards() {
    ++m_figures.unplugsBetween;
    m_device.Unplug();
    WaitUntilWindowNoticedUnplug();
    PumpEvents(Between(0, 800));
    m_device.Replug();
}

// The operator waits for the program to find the reader again, plugs it back in when it is out, and
// pulls it out and in again when the program does not see it; after three such replugs it is lost.
bool Operator::WaitUntilReady() {
    QElapsedTimer clock;
    clock.start();
    for (int replugs = 0; replugs <= REPLUGS_BEFORE_GIVING_UP; ++replugs) {
        if (!m_device.IsPlugged())
            m_device.Replug();
        if (PumpUntil([this] { return m_dlg.IsReaderReady() != 0; }, READY_WAIT_MS)) {
            m_figures.longestReadyWaitMs = std::max(m_figures.longestReadyWaitMs, clock.elapsed());
            return true;
        }
        ++m_figures.extraReplugs;
        m_device.Unplug();
        PumpEvents(300);
    }
    return false;
}
