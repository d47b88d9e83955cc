#include "station/TypedNumbers.h"

namespace {

CardOutcome Ending(CardResult result, std::optional<std::uint64_t> cardId = std::nullopt) {
    CardOutcome outcome;
    outcome.result = result;
    outcome.cardId = cardId;
    return outcome;
}

} // namespace

bool CTypedNumbers::GuardsCardOnReader() {
    // A journal that cannot record refuses the card at Take, before any transfer.
    return m_journal.IsOn() && m_journal.MayWrite();
}

std::optional<JournalRecord> CTypedNumbers::FindFinishedCard(std::uint64_t identifier, QString* error) {
    const CCardJournal::GoodCardAnswer answer = m_journal.FindFinishedCard(identifier);
    if (!answer.answered)
        *error = NotRecordedReason();
    return answer.goodCard;
}

CardOutcome CTypedNumbers::Unanswered(std::uint64_t held, const QString&) {
    return RefuseUnrecorded(held);
}

void CTypedNumbers::RecordFinishedCard(std::uint64_t held, const JournalRecord& goodCard) {
    m_journal.RecordRefused(held, FinishedCardReason(held, goodCard));
}

CardOutcome CTypedNumbers::RefuseText(NumberTextError error) {
    m_journal.RecordRefused(std::nullopt, NotANumberReason(error));
    CardOutcome outcome = Ending(CardResult::Refused);
    outcome.refusal = error == NumberTextError::OutOfRange ? CardRefusal::OutOfRange : CardRefusal::NotANumber;
    return outcome;
}

CardOutcome CTypedNumbers::RefuseUnrecorded(std::uint64_t cardId) {
    m_journal.RecordRefused(cardId, NotRecordedReason());
    CardOutcome outcome = Ending(CardResult::Refused, cardId);
    outcome.refusal = CardRefusal::NotRecorded;
    return outcome;
}

void CTypedNumbers::RecordWriteError(std::uint64_t cardId) {
    m_journal.Record(JournalOperation::Write, JournalResult::Error, cardId, TransferFailedReason());
}

bool CTypedNumbers::RecordWritten(std::uint64_t cardId, bool verifyRequested, std::optional<std::uint64_t> overwritten) {
    m_bWriteRecorded = m_journal.Record(JournalOperation::Write, JournalResult::Ok, cardId, QString(), verifyRequested);
    // A good card written over is taken off the record (its batch gets the number back).
    if (overwritten)
        m_bWriteRecorded = m_journal.Record(JournalOperation::Overwrite, JournalResult::Ok, *overwritten,
                                            OverwrittenReason(cardId)) &&
                           m_bWriteRecorded;
    return m_bWriteRecorded;
}

CardOutcome CTypedNumbers::RecordResult(CardOutcome written, bool verifyRequested) {
    const std::uint64_t cardId = *written.cardId;
    if (written.result == CardResult::VerifyFailed) {
        m_journal.Record(JournalOperation::Verify, JournalResult::VerifyFailed, cardId,
                         VerifyFailedReason(written.readBack));
        return written;
    }
    if (verifyRequested)
        written.recorded = m_journal.Record(JournalOperation::Verify, JournalResult::VerifyOk, cardId) && written.recorded;
    // The number never advances past a card that is not on record: its record is committed first, before
    // the next card may be written, and the number is then found on a good card.
    if (written.recorded)
        Advance();
    return written;
}

std::optional<CardOutcome> CFieldNumbers::Prepare() {
    if (m_strVendor.isEmpty() && m_strCard.isEmpty())
        return Ending(CardResult::NotWritten);
    // Pasted text may hold something other than a number, or a vendor ID or card number out of range; the
    // card would then get another identifier than the fields show, so it is not written.
    const FieldNumber typed = ComposeIdentifier(m_strVendor, m_strCard);
    if (!typed.IsValid())
        return RefuseText(typed.error);
    m_typedId = typed.value;
    return std::nullopt;
}

std::variant<std::uint64_t, CardOutcome> CFieldNumbers::Take() {
    std::uint64_t cardId = m_typedId;
    if (!m_journal.MayWrite())
        return RefuseUnrecorded(cardId);
    if (m_nMode != MODE_INCREASE && m_nMode != MODE_RANDOM)
        return cardId;
    const QString typedCard = m_strCard;
    for (int draw = 0;; ++draw) {
        const CCardJournal::GoodCardAnswer answer = m_journal.FindGoodCard(cardId);
        if (!answer.answered) {
            m_strCard = typedCard;
            return RefuseUnrecorded(cardId);
        }
        if (!answer.goodCard)
            return cardId;
        // Random draws another number for this card, a bounded number of times.
        if (m_nMode != MODE_RANDOM || draw + 1 >= MAX_RANDOM_DRAWS) {
            m_strCard = typedCard;
            m_journal.RecordRefused(cardId, DuplicateReason(*answer.goodCard));
            CardOutcome outcome = Ending(CardResult::Refused, cardId);
            outcome.refusal = CardRefusal::Duplicate;
            outcome.goodCard = answer.goodCard;
            return outcome;
        }
        m_strCard = NextCardNumber(MODE_RANDOM, m_strCard, m_random);
        cardId = ComposeIdentifier(m_strVendor, m_strCard).value;
    }
}

void CFieldNumbers::Advance() {
    m_strCard = NextCardNumber(m_nMode, m_strCard, m_random);
}

std::optional<CardOutcome> CAskedNumber::Prepare() {
    if (m_cardId)
        return std::nullopt;
    if (m_strText.isEmpty())
        return Ending(CardResult::NotWritten);
    // Pasted text can hold anything; only the number the field shows may reach the card.
    const FieldNumber asked = ParseFieldNumber(m_strText, MAX_IDENTIFIER);
    if (!asked.IsValid())
        return RefuseText(asked.error);
    m_cardId = asked.value;
    return std::nullopt;
}

std::variant<std::uint64_t, CardOutcome> CAskedNumber::Take() {
    // No card is written whose result the journal could not record.
    if (!m_journal.MayWrite())
        return RefuseUnrecorded(*m_cardId);
    return *m_cardId;
}
