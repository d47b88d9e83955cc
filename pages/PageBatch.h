#pragma once

// A batch chosen on the Mass Production page: the station's run under its name on the journal's own
// database connection, the number it holds for the next card, and each card written from it through
// CBatchWriter, so a card's batch result and its journal records are committed together.
//
// The station is started when the batch is chosen and stopped when the choice goes back to none or the
// page goes away; its claim stays with the station name for its next run.

#include "batches/BatchStatus.h"
#include "station/BatchWriter.h"
#include "language/MultiLanguage.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

class CJournal;
class CJournalRecorder;
class CRFIDDevice;

// The page's texts of batches, in the three built-in languages (a language file may carry them by key).
namespace BatchText {
extern const CBuiltInText Label;     // the choice's label
extern const CBuiltInText None;      // the choice that keeps the fields' own numbers
extern const CBuiltInText Counts;    // %1 numbers done, %2 left
extern const CBuiltInText Exhausted; // the reasons a batch card is not written, in the log
extern const CBuiltInText Away;
extern const CBuiltInText InUse;            // %1 station name
extern const CBuiltInText NotRecorded;      // %1 identifier on the card
extern const CBuiltInText CannotRecord;     // %1 identifier on the card
extern const CBuiltInText Failed;           // %1 what the database said
extern const CBuiltInText StaysChosen;      // a written card waits to be recorded
extern const CBuiltInText StoppedExhausted; // the state line of a hands-free run the batch ended
extern const CBuiltInText StoppedAway;
extern const CBuiltInText StoppedBatch;
} // namespace BatchText

class CPageBatch {
public:
    // dataFolder keeps the result of a written card that waits for the database, so that it outlives
    // the station's run (the window closing, the choice going back to none).
    CPageBatch(CJournalRecorder& recorder, CRFIDDevice& reader, const QString& dataFolder);
    ~CPageBatch();
    CPageBatch(const CPageBatch&) = delete;
    CPageBatch& operator=(const CPageBatch&) = delete;

    // The batches of the recorder's database, oldest first; none while the journal is off or cannot be
    // read (then *error says why, when given).
    static QStringList BatchNames(CJournalRecorder* recorder, QString* error = nullptr);

    // Starts the station and claims the number of the first card (a waiting result of an earlier run is
    // recorded first). Anything but Ok or Exhausted leaves the station stopped (Refused: another running
    // station has the name). *keptProblem says what is wrong with the file of waiting results, if anything.
    BatchOutcome Choose(const QString& batch, QString* keptProblem = nullptr);
    const QString& Batch() const { return m_strBatch; }
    const QString& StationName() const;

    // The number the next card gets, while the station holds one.
    std::optional<std::uint64_t> Claimed() const { return m_claimed; }
    // How the last claim went (Exhausted, Unavailable, ... when no number is held).
    BatchStatus LastClaimStatus() const { return m_lastClaim; }
    // Claims the number for the next card (the one held, or the next of the batch).
    BatchOutcome ClaimNext();

    // Writes the claimed number (claiming one first when none is held) through the page's card routine
    // and records the result. A result that waits for the database is recorded first by the next call,
    // before any other card is written. A finished card on the reader is not written (AlreadyWritten).
    BatchCardOutcome WriteCard(CCardRoutine& routine, const CardRequest& request);
    bool HasPendingResult() const { return m_writer && m_writer->HasPendingResult(); }
    // Tries to record a waiting result now; true when none waits any more.
    bool RecordPending();
    // Whether a waiting result is kept in the data folder, so stopping the station loses nothing.
    bool PendingIsKept() const { return m_writer && m_writer->PendingIsKept(); }

    // The batch's counts now, or nothing when the database does not answer.
    std::optional<BatchCounts> Counts();
    // The batch's figures now (good of total, rate, time to finish), or nothing when the database does
    // not answer.
    std::optional<BatchFigures> Figures();
    // Keeps the station's name while the operator pauses; Refused when another run has taken it over.
    BatchOutcome Heartbeat();

    // Gives the station name up; the claim stays with it.
    void Stop();

private:
    bool JournalIsStillOpen() const;
    bool ReconnectIfAway();
    void HookJournal();
    void NoteAway(bool away) { m_bAway = away; }

    CJournalRecorder& m_recorder;
    CRFIDDevice& m_reader;
    QString m_strDataFolder;
    CJournal* m_pJournal = nullptr; // the recorder's journal the station runs on
    std::unique_ptr<CBatchStation> m_station;
    std::unique_ptr<CBatchWriter> m_writer;
    QString m_strBatch;
    std::optional<std::uint64_t> m_claimed;
    bool m_bAway = false;
    BatchStatus m_lastClaim = BatchStatus::Ok;
};
