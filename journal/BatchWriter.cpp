#include "journal/BatchWriter.h"

#include "journal/BatchPending.h"
#include "journal/Database.h"
#include "journal/Journal.h"
#include "journal/JournalReasons.h"
#include "reader/CardIdentifier.h"
#include "reader/RFIDDevice.h"

#include <QThread>

BatchCardResult CardResultOf(BatchStatus status) {
    switch (status) {
    case BatchStatus::Ok:
        return BatchCardResult::Written;
    case BatchStatus::Exhausted:
        return BatchCardResult::Exhausted;
    case BatchStatus::NoBatch:
        return BatchCardResult::NoBatch;
    case BatchStatus::Refused:
        return BatchCardResult::Refused;
    case BatchStatus::Unavailable:
        return BatchCardResult::Unavailable;
    case BatchStatus::Failed:
        break;
    }
    return BatchCardResult::Failed;
}

std::optional<BatchCardOutcome> CBatchWriter::CheckCardOnReader(const QString& batch,
                                                                std::optional<std::uint64_t> laidCard,
                                                                std::optional<std::uint64_t>* overwritten) {
    if (!m_fnFindFinished)
        return std::nullopt;
    // A card that reads nothing (some blanks do) may be written.
    const std::optional<std::uint64_t> held = laidCard ? laidCard : m_device.ReadCardId(true);
    if (!held)
        return std::nullopt;
    QString error;
    const std::optional<JournalRecord> finished = m_fnFindFinished(*held, &error);
    if (!error.isEmpty()) {
        const BatchStatus status = DatabaseReachable(m_station.Database()) ? BatchStatus::Failed : BatchStatus::Unavailable;
        return BatchCardOutcome{CardResultOf(status), std::nullopt, QString(),
                                QStringLiteral("the journal cannot say whether the card on the reader is a finished "
                                               "card (%1); no card is written")
                                    .arg(error)};
    }
    if (!finished)
        return std::nullopt;
    if (m_bForce) {
        *overwritten = held;
        return std::nullopt;
    }
    if (m_journal) {
        BatchCardEvent refusal({batch, 0, *held}, BatchCardResult::AlreadyWritten, false, QString());
        refusal.finishedCard = finished;
        m_station.RecordAttempt([&](QSqlDatabase& db, QString* recordError) { return m_journal(db, refusal, recordError); });
    }
    BatchCardOutcome outcome{BatchCardResult::AlreadyWritten, std::nullopt, QString(),
                             FinishedCardReason(*held, *finished)};
    outcome.held = held;
    outcome.finishedCard = finished;
    return outcome;
}

BatchCardOutcome CBatchWriter::WriteNext(const QString& batch, bool verify, int verifyDelayMs,
                                         std::optional<std::uint64_t> laidCard) {
    if (m_pending) {
        BatchCardOutcome pending = RecordPending();
        if (m_pending)
            return pending;
    }
    std::optional<std::uint64_t> overwritten;
    if (std::optional<BatchCardOutcome> stop = CheckCardOnReader(batch, laidCard, &overwritten))
        return *stop;
    const BatchOutcome claimed = m_station.Claim(batch);
    if (claimed.status != BatchStatus::Ok)
        return {CardResultOf(claimed.status), std::nullopt, QString(), claimed.message};
    const BatchClaim claim = *claimed.claim;
    const QString text = CardIdText(claim.identifier);
    BatchCardEvent event{claim, BatchCardResult::Written, verify, QString()};
    if (overwritten != claim.identifier)
        event.overwritten = overwritten;
    if (!m_device.WriteCardNumber(text)) {
        event.result = BatchCardResult::WriteFailed;
        BatchCardOutcome outcome{BatchCardResult::WriteFailed, claim, QString(),
                                 QStringLiteral("writing %1 failed; the number stays for the next card").arg(text)};
        if (m_journal) // the journal keeps the failed write; the batch does not change
            m_station.RecordAttempt([&](QSqlDatabase& db, QString* error) { return m_journal(db, event, error); });
        return outcome;
    }
    if (verify) {
        if (verifyDelayMs > 0)
            QThread::msleep(verifyDelayMs);
        event.readBack = m_device.ReadCardNumber(true);
        event.result = DecimalToInt64(event.readBack) == DecimalToInt64(text) ? BatchCardResult::Verified
                                                                               : BatchCardResult::VerifyFailed;
    }
    return Record(event);
}

QString CBatchWriter::KeepPendingIn(const QString& path) {
    m_strPendingPath = path;
    PendingResultFile kept = LoadPendingResult(path, m_station.StationName());
    if (kept.event && !m_pending) {
        m_pending = kept.event;
        m_bPendingKept = true;
    }
    return kept.problem;
}

BatchCardOutcome CBatchWriter::RecordPending() {
    if (!m_pending)
        return {BatchCardResult::Failed, std::nullopt, QString(), QStringLiteral("no result is waiting")};
    const BatchCardEvent event = *m_pending;
    const QString text = CardIdText(event.claim.identifier);
    // The claim may still be in the name of the run that wrote the card: take it back first.
    const BatchOutcome held = m_station.Claim(event.claim.batch);
    if (held.status == BatchStatus::Unavailable)
        return {BatchCardResult::NotRecorded, event.claim, event.readBack,
                QStringLiteral("the card holds %1 but is not recorded yet: %2").arg(text, held.message)};
    if (held.status != BatchStatus::Ok || held.claim->index != event.claim.index) {
        m_pending.reset();
        StorePending();
        return {BatchCardResult::Refused, event.claim, event.readBack,
                QStringLiteral("the card holds %1 but this station no longer holds that number%2; throw the card away")
                    .arg(text, held.message.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(held.message))};
    }
    m_pending.reset();
    return Record(event);
}

// Brings the file in line with the pending result: written while one waits, removed once it is recorded.
void CBatchWriter::StorePending() {
    m_bPendingKept = false;
    if (m_strPendingPath.isEmpty())
        return;
    QString error;
    if (m_pending)
        m_bPendingKept = SavePendingResult(m_strPendingPath, m_station.StationName(), *m_pending, &error);
    else
        RemovePendingResult(m_strPendingPath, &error);
}

BatchCardOutcome CBatchWriter::Record(const BatchCardEvent& event) {
    RecordInTransaction journal;
    if (m_journal)
        journal = [&](QSqlDatabase& db, QString* error) { return m_journal(db, event, error); };
    const BatchOutcome recorded = event.result == BatchCardResult::VerifyFailed
                                      ? m_station.RecordThrowAway(event.claim, journal)
                                      : m_station.RecordGood(event.claim, event.result == BatchCardResult::Verified,
                                                             journal);
    const QString text = CardIdText(event.claim.identifier);
    if (recorded.status != BatchStatus::Unavailable && m_bPendingKept)
        StorePending(); // recorded, or it never can be: the kept result is done with
    if (recorded.status == BatchStatus::Ok) {
        QString message;
        if (event.result == BatchCardResult::VerifyFailed)
            message = QStringLiteral("verifying %1 failed (the card gave %2): throw the card away; the number stays "
                                     "for the next card")
                          .arg(text, event.readBack.isEmpty() ? QStringLiteral("nothing") : event.readBack);
        return {event.result, event.claim, event.readBack, message};
    }
    if (recorded.status == BatchStatus::Unavailable) {
        m_pending = event;
        StorePending();
        return {BatchCardResult::NotRecorded, event.claim, event.readBack,
                QStringLiteral("the card holds %1 but is not recorded yet: %2").arg(text, recorded.message)};
    }
    return {CardResultOf(recorded.status), event.claim, event.readBack,
            QStringLiteral("the card holds %1 but cannot be recorded: %2; throw the card away")
                .arg(text, recorded.message)};
}

BatchJournalHook MakeBatchJournalHook(CJournal& journal, const JournalRecord& base) {
    return [&journal, base](QSqlDatabase& db, const BatchCardEvent& event, QString* error) {
        // The records are part of the station's transaction only on the station's own connection.
        if (db.connectionName() != journal.Database().connectionName()) {
            *error = QStringLiteral("the journal and the batch station do not share one connection");
            return false;
        }
        if (event.result == BatchCardResult::AlreadyWritten) {
            JournalRecord refused = base;
            refused.operation = JournalOperation::Write;
            refused.result = JournalResult::Refused;
            refused.identifier = event.claim.identifier;
            refused.reason = FinishedCardReason(event.claim.identifier, *event.finishedCard);
            return journal.AddInTransaction(refused, error);
        }
        if (event.overwritten && event.result != BatchCardResult::WriteFailed) {
            JournalRecord overwrite = base;
            overwrite.operation = JournalOperation::Overwrite;
            overwrite.identifier = event.overwritten;
            overwrite.reason = OverwrittenReason(event.claim.identifier);
            if (!journal.AddInTransaction(overwrite, error))
                return false;
        }
        JournalRecord write = base;
        write.operation = JournalOperation::Write;
        write.identifier = event.claim.identifier;
        write.verifyRequested = event.verifyRequested;
        write.result =
            event.result == BatchCardResult::WriteFailed ? JournalResult::Error : JournalResult::Ok;
        if (event.result == BatchCardResult::WriteFailed)
            write.reason = TransferFailedReason();
        if (!journal.AddInTransaction(write, error))
            return false;
        if (event.result != BatchCardResult::Verified && event.result != BatchCardResult::VerifyFailed)
            return true;
        JournalRecord verify = base;
        verify.operation = JournalOperation::Verify;
        verify.identifier = event.claim.identifier;
        verify.verifyRequested = true;
        verify.result =
            event.result == BatchCardResult::Verified ? JournalResult::VerifyOk : JournalResult::VerifyFailed;
        if (event.result == BatchCardResult::VerifyFailed)
            verify.reason = VerifyFailedReason(event.readBack.isEmpty()
                                                   ? std::nullopt
                                                   : std::optional<std::uint64_t>(DecimalToInt64(event.readBack)));
        return journal.AddInTransaction(verify, error);
    };
}
