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

BatchJournalHook MakeBatchJournalHook(CJournal& journal, const JournalRecord& base) {
    return [&journal, base](QSqlDatabase& db, const BatchCardEvent& event, QString* error) {
        // The records of the card's own number name its batch; an overwritten card's number may be any.
        JournalRecord claimed = base;
        claimed.batch = event.claim.batch;
        // The records are part of the station's transaction only on the station's own connection.
        if (db.connectionName() != journal.Database().connectionName()) {
            *error = QStringLiteral("the journal and the batch station do not share one connection");
            return false;
        }
        if (event.result == BatchCardResult::AlreadyWritten) {
            JournalRecord refused = claimed;
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
        JournalRecord write = claimed;
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
        JournalRecord verify = claimed;
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
