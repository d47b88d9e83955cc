#pragma once

// The batch's side of the card routine: the station's claim is the card's number, and the card's result
// is recorded in the same transaction as its journal records and the claim's new state. rfidctl, the Mass
// Production page and the station tests all write batch cards through it.
//
// A written card whose result cannot be recorded (the server went away after the write) is kept as a
// pending result: the next card records it first and none is written before it has. Given a file
// (KeepPendingIn), the pending result is kept there too, so a run that ends while it waits for the
// database leaves it to the station's next run.

#include "batches/BatchCard.h"
#include "station/CardRoutine.h"

#include <optional>

class CRFIDDevice;

class CBatchWriter : public CCardSource {
public:
    CBatchWriter(CBatchStation& station, CRFIDDevice& device) : m_station(station), m_routine(device) {}

    void SetJournalHook(BatchJournalHook hook) { m_journal = std::move(hook); }
    // With a look-up, the card on the reader is read before a number is claimed for it: a finished card (its
    // identifier on record as a good card) is not written (AlreadyWritten), unless force is set; then the
    // records say it holds that identifier no longer.
    void SetFinishedCardLookup(FinishedCardLookup lookup, bool force = false) {
        m_fnFindFinished = std::move(lookup);
        m_bForce = force;
    }

    // Writes the next card of the batch through the writer's own card routine. verifyDelayMs: the pause
    // before reading back. laidCard: what was just read of the card on the reader.
    BatchCardOutcome WriteNext(const QString& batch, bool verify, int verifyDelayMs = 0,
                               std::optional<std::uint64_t> laidCard = std::nullopt);
    // The same through the caller's routine, which tells the request's steps as they happen.
    BatchCardOutcome WriteNext(CCardRoutine& routine, const QString& batch, CardRequest request);

    // Keeps the pending result in path from now on, and takes over the one an earlier run of the
    // station left there. Returns what must be said of a file that cannot be used, else empty.
    QString KeepPendingIn(const QString& path);
    // Whether the pending result is in that file, so it outlives this process.
    bool PendingIsKept() const { return m_bPendingKept; }

    bool HasPendingResult() const { return m_pending.has_value(); }
    // Records a pending result; Verified, Written or VerifyFailed when it got through.
    BatchCardOutcome RecordPending();

    // The card routine's source.
    std::optional<CardOutcome> Prepare() override;
    bool GuardsCardOnReader() override { return bool(m_fnFindFinished); }
    std::optional<JournalRecord> FindFinishedCard(std::uint64_t identifier, QString* error) override;
    CardOutcome Unanswered(std::uint64_t held, const QString& error) override;
    void RecordFinishedCard(std::uint64_t held, const JournalRecord& goodCard) override;
    std::variant<std::uint64_t, CardOutcome> Take() override;
    void RecordWriteError(std::uint64_t cardId) override;
    bool RecordWritten(std::uint64_t cardId, bool verifyRequested, std::optional<std::uint64_t> overwritten) override;
    CardOutcome RecordResult(CardOutcome written, bool verifyRequested) override;

private:
    // Ends the card with a batch outcome that the routine knows only as NoNumber.
    CardOutcome Stop(BatchCardOutcome outcome);
    BatchCardOutcome OutcomeOf(const CardOutcome& card) const;
    BatchCardOutcome Record(const BatchCardEvent& event);
    void StorePending();

    CBatchStation& m_station;
    CCardRoutine m_routine;
    BatchJournalHook m_journal;
    FinishedCardLookup m_fnFindFinished;
    bool m_bForce = false;
    std::optional<BatchCardEvent> m_pending;
    QString m_strPendingPath;
    bool m_bPendingKept = false;
    // The card in hand.
    QString m_strBatch;
    bool m_bVerify = false;
    std::optional<BatchClaim> m_claim;
    std::optional<std::uint64_t> m_overwritten;
    BatchCardOutcome m_last;
};
