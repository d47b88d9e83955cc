#include "journal/JournalReasons.h"

QString NotANumberReason(NumberTextError error) {
    return error == NumberTextError::OutOfRange ? QStringLiteral("out of range")
                                                : QStringLiteral("not a number");
}

QString NotRecordedReason() {
    return QStringLiteral("the journal could not record it");
}

QString TransferFailedReason() {
    return QStringLiteral("transfer failed");
}

QString DuplicateReason(const JournalRecord& goodCard) {
    return QStringLiteral("already on a good card: %1, %2")
        .arg(JournalTimeText(goodCard.time), goodCard.station);
}

QString FinishedCardReason(std::uint64_t heldId, const JournalRecord& goodCard) {
    return QStringLiteral("the card on the reader already holds %1, a good card: %2, %3")
        .arg(CardIdText(heldId), JournalTimeText(goodCard.time), goodCard.station);
}

QString OverwrittenReason(std::uint64_t writtenId) {
    return QStringLiteral("overwritten with %1").arg(CardIdText(writtenId));
}

QString VerifyFailedReason(std::optional<std::uint64_t> readBack) {
    return QStringLiteral("the card holds ") +
           (readBack ? CardIdText(*readBack) : QStringLiteral("nothing readable"));
}
