#include "station/CardJournal.h"

bool CCardJournal::MayWrite() {
    return !m_pRecorder || m_pRecorder->ReadyToWrite();
}

bool CCardJournal::IsOn() const {
    return m_pRecorder && m_pRecorder->Settings().enabled;
}

bool CCardJournal::Record(JournalOperation operation, JournalResult result, std::optional<std::uint64_t> cardId,
                          const QString& reason, bool verifyRequested) {
    if (!IsOn())
        return true;
    if (m_fnBeforeFirstRecord) {
        m_fnBeforeFirstRecord();
        m_fnBeforeFirstRecord = nullptr;
    }
    JournalRecord record;
    record.source = m_source;
    record.operation = operation;
    record.result = result;
    record.identifier = cardId;
    record.reason = reason;
    record.verifyRequested = verifyRequested;
    return m_pRecorder->Record(std::move(record));
}

CCardJournal::GoodCardAnswer CCardJournal::FindGoodCard(std::uint64_t cardId) {
    GoodCardAnswer answer;
    if (m_pRecorder)
        answer.goodCard = m_pRecorder->FindGoodCard(cardId, &answer.answered);
    return answer;
}

CCardJournal::GoodCardAnswer CCardJournal::FindFinishedCard(std::uint64_t cardId) {
    GoodCardAnswer answer;
    if (m_pRecorder)
        answer.goodCard = m_pRecorder->FindFinishedCard(cardId, &answer.answered);
    return answer;
}
