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
};

struct BatchCardOutcome {
    BatchCardResult result = BatchCardResult::Failed;
    std::optional<BatchClaim> claim;
    QString readBack; // what the card gave back on verification
    QString message;  // for every result but Verified and Written
};

// What the journal is told about one card of a batch.
struct BatchCardEvent {
    BatchClaim claim;
    BatchCardResult result = BatchCardResult::Written;
    bool verifyRequested = false;
    QString readBack;
};

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

    // verifyDelayMs: the pause before reading back (the page waits as it does for every card).
    BatchCardOutcome WriteNext(const QString& batch, bool verify, int verifyDelayMs = 0);

    // Keeps the pending result in path from now on, and takes over the one an earlier run of the
    // station left there. Returns what must be said of a file that cannot be used, else empty.
    QString KeepPendingIn(const QString& path);
    // Whether the pending result is in that file, so it outlives this process.
    bool PendingIsKept() const { return m_bPendingKept; }

    bool HasPendingResult() const { return m_pending.has_value(); }
    // Records a pending result; Verified, Written or VerifyFailed when it got through.
    BatchCardOutcome RecordPending();

private:
    BatchCardOutcome Record(const BatchCardEvent& event);
    void StorePending();

    CBatchStation& m_station;
    CRFIDDevice& m_device;
    BatchJournalHook m_journal;
    std::optional<BatchCardEvent> m_pending;
    QString m_strPendingPath;
    bool m_bPendingKept = false;
};

// The result a claim or record outcome stands for.
BatchCardResult CardResultOf(BatchStatus status);
