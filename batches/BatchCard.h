#pragma once

// One card of a batch as the batches and the journal see it: what became of it, what is recorded of it,
// and the journal records that go into the transaction that records its result. The writer that drives
// the reader for it is the station library's (station/BatchWriter.h).

#include "batches/BatchStation.h"
#include "journal/JournalRecord.h"

#include <QSqlDatabase>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class CJournal;

enum class BatchCardResult {
    Verified,     // good card, read back
    Written,      // good card, Verify off
    WriteFailed,  // the reader did not take the card; the claim stays for the next card
    VerifyFailed, // recorded as a card to throw away; the claim stays for the next card
    NotRecorded,  // the card is written, but its result waits for the database (pending)
    Exhausted,
    NoBatch,
    Refused,
    Unavailable,  // nothing was claimed and no card written
    Failed,
    AlreadyWritten, // the card on the reader is a finished card: nothing claimed or written (recorded as refused)
};

struct BatchCardOutcome {
    BatchCardOutcome() = default;
    BatchCardOutcome(BatchCardResult result_, std::optional<BatchClaim> claim_, QString readBack_, QString message_)
        : result(result_), claim(std::move(claim_)), readBack(std::move(readBack_)), message(std::move(message_)) {}

    BatchCardResult result = BatchCardResult::Failed;
    std::optional<BatchClaim> claim;
    QString readBack; // what the card gave back on verification
    QString message;  // for every result but Verified and Written
    // AlreadyWritten: what the card on the reader holds, and the good card on record that holds it.
    std::optional<std::uint64_t> held;
    std::optional<JournalRecord> finishedCard;
};

// What the journal is told about one card of a batch.
struct BatchCardEvent {
    BatchCardEvent() = default;
    BatchCardEvent(BatchClaim claim_, BatchCardResult result_, bool verifyRequested_, QString readBack_)
        : claim(std::move(claim_)), result(result_), verifyRequested(verifyRequested_), readBack(std::move(readBack_)) {}

    BatchClaim claim;
    BatchCardResult result = BatchCardResult::Written;
    bool verifyRequested = false;
    QString readBack;
    // A good card written over on purpose: the number it held, which it holds no longer once written.
    std::optional<std::uint64_t> overwritten;
    // AlreadyWritten: the good card on record that holds claim.identifier (the card's own number).
    std::optional<JournalRecord> finishedCard;
};

// The good card on record that holds an identifier; error set when the journal could not be asked.
using FinishedCardLookup = std::function<std::optional<JournalRecord>(std::uint64_t identifier, QString* error)>;

// The journal records of a card of a batch, as rfidctl and the pages keep them: a write record (ok or
// error), before it the record of a good card written over, and with Verify the verification record.
// base gives source, station, user and reader.
std::vector<JournalRecord> BatchCardRecords(const JournalRecord& base, const BatchCardEvent& event);

// Adds the records of a card to the journal with the station's record of it. The station must run on
// the journal's connection, so that the records commit or roll back with the claim.
class BatchJournalHook {
public:
    BatchJournalHook() = default;
    BatchJournalHook(CJournal& journal, const JournalRecord& base) : m_pJournal(&journal), m_base(base) {}
    explicit operator bool() const { return m_pJournal != nullptr; }

    // The records of event inside the transaction given by db.
    bool AddInTransaction(QSqlDatabase& db, const BatchCardEvent& event, QString* error) const;
    // The same as a step of the station's transaction, for a result that is not a good card.
    RecordInTransaction InTransaction(const BatchCardEvent& event) const;
    // The records of event as the station adds them with its result: in the statement that records a good
    // card where the journal can, else in the result's transaction.
    ResultJournal For(const BatchCardEvent& event) const;

private:
    CJournal* m_pJournal = nullptr;
    JournalRecord m_base;
};

// The result a claim or record outcome stands for.
BatchCardResult CardResultOf(BatchStatus status);
