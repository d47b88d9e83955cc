#include "batches/BatchCard.h"

#include "journal/Journal.h"
#include "journal/JournalReasons.h"

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

std::vector<JournalRecord> BatchCardRecords(const JournalRecord& base, const BatchCardEvent& event) {
    // The records of the card's own number name its batch; an overwritten card's number may be any.
    JournalRecord claimed = base;
    claimed.batch = event.claim.batch;
    if (event.result == BatchCardResult::AlreadyWritten) {
        JournalRecord refused = claimed;
        refused.operation = JournalOperation::Write;
        refused.result = JournalResult::Refused;
        refused.identifier = event.claim.identifier;
        refused.reason = FinishedCardReason(event.claim.identifier, *event.finishedCard);
        return {refused};
    }
    std::vector<JournalRecord> records;
    if (event.overwritten && event.result != BatchCardResult::WriteFailed) {
        JournalRecord overwrite = base;
        overwrite.operation = JournalOperation::Overwrite;
        overwrite.identifier = event.overwritten;
        overwrite.reason = OverwrittenReason(event.claim.identifier);
        records.push_back(overwrite);
    }
    JournalRecord write = claimed;
    write.operation = JournalOperation::Write;
    write.identifier = event.claim.identifier;
    write.verifyRequested = event.verifyRequested;
    write.result = event.result == BatchCardResult::WriteFailed ? JournalResult::Error : JournalResult::Ok;
    if (event.result == BatchCardResult::WriteFailed)
        write.reason = TransferFailedReason();
    records.push_back(write);
    if (event.result != BatchCardResult::Verified && event.result != BatchCardResult::VerifyFailed)
        return records;
    JournalRecord verify = claimed;
    verify.operation = JournalOperation::Verify;
    verify.identifier = event.claim.identifier;
    verify.verifyRequested = true;
    verify.result = event.result == BatchCardResult::Verified ? JournalResult::VerifyOk : JournalResult::VerifyFailed;
    if (event.result == BatchCardResult::VerifyFailed)
        verify.reason = VerifyFailedReason(event.readBack.isEmpty()
                                               ? std::nullopt
                                               : std::optional<std::uint64_t>(DecimalToInt64(event.readBack)));
    records.push_back(verify);
    return records;
}

bool BatchJournalHook::AddInTransaction(QSqlDatabase& db, const BatchCardEvent& event, QString* error) const {
    // The records are part of the station's transaction only on the station's own connection.
    if (db.connectionName() != m_pJournal->Database().connectionName()) {
        *error = QStringLiteral("the journal and the batch station do not share one connection");
        return false;
    }
    for (JournalRecord& record : BatchCardRecords(m_base, event)) {
        if (!m_pJournal->AddInTransaction(record, error))
            return false;
    }
    return true;
}

RecordInTransaction BatchJournalHook::InTransaction(const BatchCardEvent& event) const {
    return [hook = *this, event](QSqlDatabase& db, QString* error) { return hook.AddInTransaction(db, event, error); };
}

ResultJournal BatchJournalHook::For(const BatchCardEvent& event) const {
    ResultJournal journal(InTransaction(event));
    // An overwrite record gives its number back to its batch in a statement of its own.
    if (!m_pJournal->CanAddGuarded() || event.overwritten)
        return journal;
    journal.joined = [target = m_pJournal, records = BatchCardRecords(m_base, event)](
                         const QString& guard, const QVariantList& values, bool* added, QString* error) mutable {
        return target->AddGuarded(guard, values, records, added, error);
    };
    return journal;
}
