#include "pages/HandsFreeRun.h"

#include <algorithm>

void CHandsFreeRun::Start() {
    m_phase = Phase::WaitingForCard;
    m_stopReason = StopReason::None;
    m_nFailuresInARow = 0;
    m_nEmptyReads = 0;
    m_nPollsWithoutCard = 0;
    m_nSettlePolls = 0;
    m_cardOnReader.clear();
}

void CHandsFreeRun::Stop(StopReason reason) {
    if (!IsRunning())
        return;
    m_phase = Phase::Stopped;
    m_stopReason = reason;
}

bool CHandsFreeRun::IsCardOnReader(std::uint64_t cardId) const {
    return std::find(m_cardOnReader.begin(), m_cardOnReader.end(), cardId) != m_cardOnReader.end();
}

bool CHandsFreeRun::OnPoll(std::optional<std::uint64_t> cardId) {
    if (m_phase == Phase::WaitingForRemoval) {
        const bool bSettling = m_nSettlePolls > 0;
        if (bSettling)
            --m_nSettlePolls;
        if (cardId && IsCardOnReader(*cardId)) {
            m_nEmptyReads = 0;
            return false;
        }
        if (!cardId && bSettling)
            return false;
        // A different card means the written one was swapped for it: that card is written at once.
        if (!cardId && ++m_nEmptyReads < EMPTY_READS_FOR_REMOVAL)
            return false;
        m_phase = Phase::WaitingForCard;
        m_nPollsWithoutCard = 0;
        m_cardOnReader.clear();
        if (!cardId)
            return false;
    }
    if (m_phase != Phase::WaitingForCard)
        return false;
    if (!cardId) {
        ++m_nPollsWithoutCard;
        return false;
    }
    m_nPollsWithoutCard = 0;
    m_nEmptyReads = 0;
    m_cardOnReader = {*cardId};
    m_phase = Phase::WaitingForRemoval;
    return true;
}

void CHandsFreeRun::OnCardDone(bool bGood, const std::vector<std::uint64_t>& cardIds, bool bReadBack) {
    m_nSettlePolls = bReadBack ? 0 : SETTLE_POLLS;
    m_cardOnReader.insert(m_cardOnReader.end(), cardIds.begin(), cardIds.end());
    m_nFailuresInARow = bGood ? 0 : m_nFailuresInARow + 1;
    if (m_nFailuresInARow >= FAILURES_TO_STOP)
        Stop(StopReason::Failures);
}

void CHandsFreeRun::OnCardLeftAsItWas() {
    m_nSettlePolls = 0;
}

bool CHandsFreeRun::ShowNoCardHint() const {
    return m_phase == Phase::WaitingForCard && m_nPollsWithoutCard >= POLLS_FOR_NO_CARD_HINT;
}
