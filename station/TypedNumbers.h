#pragma once

// The sources of typed numbers for the card routine: Mass Production's vendor ID and card number fields,
// whose number advances after each good card by the number rule, and one identifier written as asked (the
// Read/Write page, rfidctl write). Their cards go on record in the journal of the page or command, each
// record committed as the card goes (the write before the verification pause).

#include "cards/NumberSequence.h"
#include "station/CardJournal.h"
#include "station/CardRoutine.h"

#include <QString>

// How many numbers Random mode draws for one card before it gives up on finding one that is on no good card.
inline constexpr int MAX_RANDOM_DRAWS = 32;

class CTypedNumbers : public CCardSource {
public:
    explicit CTypedNumbers(CCardJournal& journal) : m_journal(journal) {}

    bool GuardsCardOnReader() override;
    std::optional<JournalRecord> FindFinishedCard(std::uint64_t identifier, QString* error) override;
    CardOutcome Unanswered(std::uint64_t held, const QString& error) override;
    void RecordFinishedCard(std::uint64_t held, const JournalRecord& goodCard) override;
    void RecordWriteError(std::uint64_t cardId) override;
    bool RecordWritten(std::uint64_t cardId, bool verifyRequested, std::optional<std::uint64_t> overwritten) override;
    CardOutcome RecordResult(CardOutcome written, bool verifyRequested) override;

protected:
    // The typed text holds no number: recorded as refused.
    CardOutcome RefuseText(NumberTextError error);
    // The journal cannot record the card (or be asked): recorded as refused when it can be later.
    CardOutcome RefuseUnrecorded(std::uint64_t cardId);
    // After a good card whose records are all committed.
    virtual void Advance() {}

    CCardJournal& m_journal;
    bool m_bWriteRecorded = true;
};

// Mass Production's fields. Increase and Random hand out numbers that must be on no other good card (where
// the journal refuses duplicates): Random draws again a bounded number of times, Increase refuses; No Change
// is meant to repeat.
class CFieldNumbers : public CTypedNumbers {
public:
    CFieldNumbers(CCardJournal& journal, QString vendorText, QString cardText, int numberMode,
                  CRandomGenerator& random)
        : CTypedNumbers(journal), m_strVendor(std::move(vendorText)), m_strCard(std::move(cardText)),
          m_nMode(numberMode), m_random(random) {}

    // The card number field's text after the card: the next number after a good card on record, as it
    // was otherwise (also when Random's draws all failed).
    const QString& CardText() const { return m_strCard; }

    std::optional<CardOutcome> Prepare() override;
    std::variant<std::uint64_t, CardOutcome> Take() override;

protected:
    void Advance() override;

private:
    QString m_strVendor;
    QString m_strCard;
    int m_nMode;
    CRandomGenerator& m_random;
    std::uint64_t m_typedId = 0;
};

// One identifier, written as asked: typed text (read strictly) or a number already read.
class CAskedNumber : public CTypedNumbers {
public:
    CAskedNumber(CCardJournal& journal, QString text) : CTypedNumbers(journal), m_strText(std::move(text)) {}
    CAskedNumber(CCardJournal& journal, std::uint64_t cardId) : CTypedNumbers(journal), m_cardId(cardId) {}

    std::optional<CardOutcome> Prepare() override;
    std::variant<std::uint64_t, CardOutcome> Take() override;

private:
    QString m_strText;
    std::optional<std::uint64_t> m_cardId;
};
