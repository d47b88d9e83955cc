#include "pages/PageJournal.h"

namespace JournalText {

namespace {
constexpr const char* S = "SPECIAL_STRING";
}

const CBuiltInText Duplicate = {S, "IDS_JOURNAL_DUPLICATE", u" (already on a good card: %1, %2)",
                                u" (已在良卡上: %1, %2)", u" (已在良卡上: %1, %2)"};
const CBuiltInText NotRecorded = {S, "IDS_JOURNAL_NOTRECORDED", u" (the journal cannot record it)",
                                  u" (生产记录无法记录)", u" (生產記錄無法記錄)"};

} // namespace JournalText

bool CPageJournal::MayWrite() {
    return !m_pRecorder || m_pRecorder->ReadyToWrite();
}

bool CPageJournal::Record(JournalOperation operation, JournalResult result,
                          std::optional<std::uint64_t> cardId, const QString& reason, bool verifyRequested) {
    if (!m_pRecorder)
        return true;
    JournalRecord record;
    record.source = m_source;
    record.operation = operation;
    record.result = result;
    record.identifier = cardId;
    record.reason = reason;
    record.verifyRequested = verifyRequested;
    return m_pRecorder->Record(std::move(record));
}

CPageJournal::GoodCardAnswer CPageJournal::FindGoodCard(std::uint64_t cardId) {
    GoodCardAnswer answer;
    if (m_pRecorder)
        answer.goodCard = m_pRecorder->FindGoodCard(cardId, &answer.answered);
    return answer;
}

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

QString VerifyFailedReason(std::optional<std::uint64_t> readBack) {
    return QStringLiteral("the card holds ") +
           (readBack ? CardIdText(*readBack) : QStringLiteral("nothing readable"));
}

QString DuplicateLogText(const CMultiLanguage& language, const JournalRecord& goodCard) {
    return language.GetText(JournalText::Duplicate).arg(JournalTimeText(goodCard.time), goodCard.station);
}
