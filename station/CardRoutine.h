#pragma once

// The one card routine. Every card the program and rfidctl write goes through CCardRoutine::WriteCard,
// whatever started it (Write on a page, a hands-free run, rfidctl write or batch next, the soak), so a rule
// about cards holds for all of them:
//
//   1. the source says whether a card may be written now (the journal holds every earlier record, a
//      batch's waiting result is recorded first, the fields hold a number);
//   2. with the journal on, the card on the reader is read (or what a hands-free poll just read of it is
//      taken) and a finished card, one whose identifier is on record as a good card, is not written again
//      (unless the request overwrites on purpose, which is then recorded);
//   3. the source gives the number (the fields' number cleared of duplicates, or a batch's claim);
//   4. the card is written; a failed write is recorded and the number stays;
//   5. the source records the written card (the fields at once, so a program killed in the pause keeps it);
//   6. with Verify, after the pause the card is read back;
//   7. the source records the result and advances (the next number, or the batch's claim done).

#include "journal/JournalRecord.h"
#include "reader/RFIDDevice.h"

#include <QElapsedTimer>
#include <QString>

#include <cstdint>
#include <functional>
#include <optional>
#include <variant>

struct CardOutcome;

// The steps of a card that its caller is told of as they happen, before what follows them is recorded:
// a window shows each at once (its log line before the journal's word on it).
enum class CardStep { WriteFailed, Written, ReadBack };

struct CardRequest {
    bool verify = false;
    int verifyDelayMs = CARD_SETTLE_MS;        // the pause before the card is read back
    std::optional<std::uint64_t> laidCard;     // what was just read of the card on the reader
    bool overwriteFinished = false;            // write over a finished card, and record that it holds its number no longer
    std::function<void(CardStep, const CardOutcome&)> onStep;
};

enum class CardResult {
    NotWritten,     // nothing to write (both fields empty): nothing sent, nothing recorded
    Refused,        // not written, see the refusal: nothing sent
    AlreadyWritten, // the card on the reader is a finished card: nothing written (recorded as refused)
    WriteError,     // the reader did not take the frame; the number stays for the next card
    VerifyFailed,   // written, but the card read back holds something else (or nothing): to throw away
    Good,
    NoNumber,       // the source has no number, or cannot record the card (a batch's reasons)
};

enum class CardRefusal { None, NotANumber, OutOfRange, NotRecorded, Duplicate };

struct CardOutcome {
    CardResult result = CardResult::NotWritten;
    CardRefusal refusal = CardRefusal::None;
    std::optional<std::uint64_t> cardId;   // the number for the card (written, or refused)
    std::optional<std::uint64_t> readBack; // what verification read, when it ran and read something
    std::optional<std::uint64_t> held;     // what the card held before: a finished card, or one written over
    std::optional<JournalRecord> goodCard; // AlreadyWritten: the finished card; Duplicate: the card with the number
    bool overwrote = false;                // held was on record as good and is recorded as overwritten now
    bool recorded = true;                  // every record of the card is committed
    QString message;                       // the source's own words, where it has some
};

// Where the numbers come from and where the cards go on record.
class CCardSource {
public:
    virtual ~CCardSource() = default;
    // Whether a card may be written now; an outcome ends the card before the reader is touched.
    virtual std::optional<CardOutcome> Prepare() = 0;
    // Whether the card on the reader is read first and checked against the journal.
    virtual bool GuardsCardOnReader() = 0;
    // The good card on record that holds an identifier; error set when the journal cannot be asked.
    virtual std::optional<JournalRecord> FindFinishedCard(std::uint64_t identifier, QString* error) = 0;
    // The journal could not be asked about the card on the reader: nothing is written.
    virtual CardOutcome Unanswered(std::uint64_t held, const QString& error) = 0;
    // A finished card on the reader, left as it is.
    virtual void RecordFinishedCard(std::uint64_t held, const JournalRecord& goodCard) = 0;
    // The number for this card, or the outcome that ends it.
    virtual std::variant<std::uint64_t, CardOutcome> Take() = 0;
    virtual void RecordWriteError(std::uint64_t cardId) = 0;
    // The card took the frame: what is recorded of it before its verification. overwritten: the good
    // card's number the card held, which it holds no longer. False when not committed.
    virtual bool RecordWritten(std::uint64_t cardId, bool verifyRequested, std::optional<std::uint64_t> overwritten) = 0;
    // The written card's result (Good or VerifyFailed, its read-back), recorded; the source advances after
    // a good card on record.
    virtual CardOutcome RecordResult(CardOutcome written, bool verifyRequested) = 0;
};

class CCardRoutine {
public:
    // How often the card on the reader is read before it is taken for a blank that reads nothing.
    static constexpr int READS_BEFORE_WRITING = 3;

    explicit CCardRoutine(CRFIDDevice& reader) : m_reader(reader) {}

    CardOutcome WriteCard(CCardSource& source, const CardRequest& request);

private:
    std::optional<std::uint64_t> ReadCardBeforeWriting(int settleMs);

    CRFIDDevice& m_reader;
    // Since the last card written without a read back: such a card does not answer reads for a moment.
    QElapsedTimer m_writtenClock;
};
