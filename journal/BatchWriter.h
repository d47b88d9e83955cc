#pragma once

// One card of a batch, from claim to record: claims the station's number, writes it on the card on the
// reader, reads it back when asked, and records the result in the same transaction as its journal
// record. rfidctl, the Mass Production page and the station tests all write batch cards through it.
//
// A written card whose result cannot be recorded (the server went away after the write) is kept as a
// pending result: the next WriteNext() records it first and writes no other card before it has. Given a
// file (KeepPendingIn), the pending result is kept there too, so a run that ends while it waits for
// the database leaves it to the station's next run.

#include "journal/BatchStation.h"
#include "journal/JournalRecord.h"

#include <functional>
#include <optional>

class CJournal;
class CRFIDDevice;
struct JournalRecord;

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

// Adds the journal record(s) of a card inside the transaction given by db.
using BatchJournalHook = std::function<bool(QSqlDatabase& db, const BatchCardEvent& event, QString* error)>;

// The journal records of a batch card, as rfidctl and the pages keep them: a write record (ok or
// error) and, with Verify, its verification record. base gives source, station, user and reader. The
// station must run on journal.Database(), so that the records commit or roll back with the claim.
BatchJournalHook MakeBatchJournalHook(CJournal& journal, const JournalRecord& base);

class CBatchWriter {
public:
    CBatchWriter(CBatchStation& station, CRFIDDevice& device) : m_station(station), m_device(device) {}

    void SetJournalHook(BatchJournalHook hook) { m_journal = std::move(hook); }
    // With a look-up, the card on the reader is read before a number is claimed for it: a finished card (its
    // identifier on record as a good card) is not written (AlreadyWritten), unless force is set; then the
    // records say it holds that identifier no longer.
    void SetFinishedCardLookup(FinishedCardLookup lookup, bool force = false) {
        m_fnFindFinished = std::move(lookup);
        m_bForce = force;
    }

    // verifyDelayMs: the pause before reading back (the page waits as it does for every card). laidCard:
    // what was just read of the card on the reader, so that it is not read again.
    BatchCardOutcome WriteNext(const QString& batch, bool verify, int verifyDelayMs = 0,
                               std::optional<std::uint64_t> laidCard = std::nullopt);

    // Keeps the pending result in path from now on, and takes over the one an earlier run of the
    // station left there. Returns what must be said of a file that cannot be used, else empty.
    QString KeepPendingIn(const QString& path);
    // Whether the pending result is in that file, so it outlives this process.
    bool PendingIsKept() const { return m_bPendingKept; }

    bool HasPendingResult() const { return m_pending.has_value(); }
    // Records a pending result; Verified, Written or VerifyFailed when it got through.
    BatchCardOutcome RecordPending();

private:
    // The guard before a claim: Ok to go on (*overwritten set when a finished card is forced), else the
    // outcome that ends the card.
    std::optional<BatchCardOutcome> CheckCardOnReader(const QString& batch, std::optional<std::uint64_t> laidCard,
                                                      std::optional<std::uint64_t>* overwritten);
    BatchCardOutcome Record(const BatchCardEvent& event);
    void StorePending();

    CBatchStation& m_station;
    CRFIDDevice& m_device;
    BatchJournalHook m_journal;
    FinishedCardLookup m_fnFindFinished;
    bool m_bForce = false;
    std::optional<BatchCardEvent> m_pending;
    QString m_strPendingPath;
    bool m_bPendingKept = false;
};

// The result a claim or record outcome stands for.
BatchCardResult CardResultOf(BatchStatus status);
