#include "station/BatchWriter.h"

#include "batches/BatchPending.h"
#include "cards/CardIdentifier.h"
#include "journal/Database.h"
#include "journal/JournalReasons.h"

BatchCardOutcome CBatchWriter::WriteNext(const QString& batch, bool verify, int verifyDelayMs,
                                         std::optional<std::uint64_t> laidCard) {
    CardRequest request;
    request.verify = verify;
    request.verifyDelayMs = verifyDelayMs;
    request.laidCard = laidCard;
    return WriteNext(m_routine, batch, std::move(request));
}

BatchCardOutcome CBatchWriter::WriteNext(CCardRoutine& routine, const QString& batch, CardRequest request) {
    m_strBatch = batch;
    m_bVerify = request.verify;
    m_claim.reset();
    m_overwritten.reset();
    m_last = BatchCardOutcome();
    request.overwriteFinished = m_bForce;
    return OutcomeOf(routine.WriteCard(*this, request));
}

BatchCardOutcome CBatchWriter::OutcomeOf(const CardOutcome& card) const {
    if (card.result != CardResult::AlreadyWritten)
        return m_last;
    BatchCardOutcome outcome(BatchCardResult::AlreadyWritten, std::nullopt, QString(),
                             FinishedCardReason(*card.held, *card.goodCard));
    outcome.held = card.held;
    outcome.finishedCard = card.goodCard;
    return outcome;
}

CardOutcome CBatchWriter::Stop(BatchCardOutcome outcome) {
    m_last = std::move(outcome);
    CardOutcome card;
    card.result = CardResult::NoNumber;
    card.message = m_last.message;
    if (m_last.claim)
        card.cardId = m_last.claim->identifier;
    return card;
}

std::optional<CardOutcome> CBatchWriter::Prepare() {
    // A card whose result waits for the database is recorded before any other card is written.
    if (m_pending) {
        BatchCardOutcome pending = RecordPending();
        if (m_pending)
            return Stop(std::move(pending));
    }
    return std::nullopt;
}

std::optional<JournalRecord> CBatchWriter::FindFinishedCard(std::uint64_t identifier, QString* error) {
    return m_fnFindFinished(identifier, error);
}

CardOutcome CBatchWriter::Unanswered(std::uint64_t, const QString& error) {
    const BatchStatus status = DatabaseReachable(m_station.Database()) ? BatchStatus::Failed : BatchStatus::Unavailable;
    return Stop({CardResultOf(status), std::nullopt, QString(),
                 QStringLiteral("the journal cannot say whether the card on the reader is a finished card (%1); "
                                "no card is written")
                     .arg(error)});
}

void CBatchWriter::RecordFinishedCard(std::uint64_t held, const JournalRecord& goodCard) {
    if (!m_journal)
        return;
    BatchCardEvent refusal({m_strBatch, 0, held}, BatchCardResult::AlreadyWritten, false, QString());
    refusal.finishedCard = goodCard;
    m_station.RecordAttempt(m_journal.InTransaction(refusal));
}

std::variant<std::uint64_t, CardOutcome> CBatchWriter::Take() {
    const BatchOutcome claimed = m_station.Claim(m_strBatch);
    if (claimed.status != BatchStatus::Ok)
        return Stop({CardResultOf(claimed.status), std::nullopt, QString(), claimed.message});
    m_claim = *claimed.claim;
    return m_claim->identifier;
}

void CBatchWriter::RecordWriteError(std::uint64_t) {
    const BatchCardEvent event(*m_claim, BatchCardResult::WriteFailed, m_bVerify, QString());
    m_last = BatchCardOutcome(BatchCardResult::WriteFailed, m_claim, QString(),
                              QStringLiteral("writing %1 failed; the number stays for the next card")
                                  .arg(CardIdText(m_claim->identifier)));
    if (m_journal) // the journal keeps the failed write; the batch does not change
        m_station.RecordAttempt(m_journal.InTransaction(event));
}

bool CBatchWriter::RecordWritten(std::uint64_t, bool, std::optional<std::uint64_t> overwritten) {
    // Everything of a batch card is recorded with its result, in one transaction.
    m_overwritten = overwritten;
    return true;
}

CardOutcome CBatchWriter::RecordResult(CardOutcome written, bool verifyRequested) {
    const BatchCardResult result = written.result == CardResult::VerifyFailed ? BatchCardResult::VerifyFailed
                                   : verifyRequested                          ? BatchCardResult::Verified
                                                                              : BatchCardResult::Written;
    BatchCardEvent event(*m_claim, result, verifyRequested, written.readBack ? CardIdText(*written.readBack) : QString());
    event.overwritten = m_overwritten;
    m_last = Record(event);
    if (m_last.result == BatchCardResult::Verified || m_last.result == BatchCardResult::Written ||
        m_last.result == BatchCardResult::VerifyFailed)
        return written;
    // Written, but the batch does not hold it (yet): the card is said to be waiting, or to be thrown away.
    written.result = CardResult::NoNumber;
    written.recorded = false;
    written.message = m_last.message;
    return written;
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
    const bool throwAway = event.result == BatchCardResult::VerifyFailed;
    const BatchOutcome recorded =
        throwAway ? m_station.RecordThrowAway(event.claim, m_journal ? m_journal.InTransaction(event)
                                                                     : RecordInTransaction())
                  : m_station.RecordGood(event.claim, event.result == BatchCardResult::Verified,
                                         m_journal ? m_journal.For(event) : ResultJournal());
    const QString text = CardIdText(event.claim.identifier);
    if (recorded.status != BatchStatus::Unavailable && m_bPendingKept)
        StorePending(); // recorded, or it never can be: the kept result is done with
    if (recorded.status == BatchStatus::Ok) {
        QString message;
        if (throwAway)
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
