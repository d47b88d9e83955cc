#include "pages/PageJournal.h"

namespace JournalText {

namespace {
constexpr const char* S = "SPECIAL_STRING";
}

const CBuiltInText Duplicate = {S, "IDS_JOURNAL_DUPLICATE", u" (already on a good card: %1, %2)",
                                u" (已在良卡上: %1, %2)", u" (已在良卡上: %1, %2)"};
const CBuiltInText NotRecorded = {S, "IDS_JOURNAL_NOTRECORDED", u" (the journal cannot record it)",
                                  u" (生产记录无法记录)", u" (生產記錄無法記錄)"};
const CBuiltInText OnReader = {S, "IDS_JOURNAL_ONREADER", u" (the card on the reader already holds %1, a good card: %2, %3)",
                               u" (读卡器上的卡片已写有 %1，为良卡: %2, %3)", u" (讀卡器上的卡片已寫有 %1，為良卡: %2, %3)"};
const CBuiltInText Overwritten = {S, "IDS_JOURNAL_OVERWRITTEN", u" (the card held good card %1; recorded as overwritten)",
                                  u" (该卡原为良卡 %1，已记录为覆盖)", u" (該卡原為良卡 %1，已記錄為覆寫)"};

} // namespace JournalText

bool CPageJournal::MayWrite() {
    return !m_pRecorder || m_pRecorder->ReadyToWrite();
}

bool CPageJournal::IsOn() const {
    return m_pRecorder && m_pRecorder->Settings().enabled;
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

CPageJournal::GoodCardAnswer CPageJournal::FindFinishedCard(std::uint64_t cardId) {
    GoodCardAnswer answer;
    if (m_pRecorder)
        answer.goodCard = m_pRecorder->FindFinishedCard(cardId, &answer.answered);
    return answer;
}

bool CPageJournal::RecordOverwrite(std::uint64_t heldId, std::uint64_t writtenId) {
    if (heldId == writtenId || !FindFinishedCard(heldId).goodCard)
        return false;
    // A record that cannot be committed now is kept by the recorder and committed before the next card.
    Record(JournalOperation::Overwrite, JournalResult::Ok, heldId, OverwrittenReason(writtenId));
    return true;
}

QString DuplicateLogText(const CMultiLanguage& language, const JournalRecord& goodCard) {
    return language.GetText(JournalText::Duplicate).arg(JournalTimeText(goodCard.time), goodCard.station);
}

QString FinishedCardLogText(const CMultiLanguage& language, std::uint64_t heldId, const JournalRecord& goodCard) {
    return language.GetText(JournalText::OnReader)
        .arg(CardIdText(heldId), JournalTimeText(goodCard.time), goodCard.station);
}
