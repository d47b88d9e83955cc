#pragma once

// CCardJournal: what one source of cards (a page, an rfidctl command) keeps in the production journal.
// Every read, write, verification, refused write and overwrite is one record, committed before the
// handler that made it returns, and no card is written while the journal could not record its result.
// Without a recorder, or with the journal turned off, cards are written and nothing is recorded.

#include "journal/JournalReasons.h"
#include "journal/JournalRecorder.h"

#include <cstdint>
#include <functional>
#include <optional>

class CCardJournal {
public:
    CCardJournal(CJournalRecorder* recorder, JournalSource source) : m_pRecorder(recorder), m_source(source) {}

    // Called once before the first record (rfidctl asks the reader for its name then, after the card's
    // own transfers).
    void SetBeforeFirstRecord(std::function<void()> prepare) { m_fnBeforeFirstRecord = std::move(prepare); }

    // Whether a card may be written now: no journal, the journal off, or every earlier record committed.
    bool MayWrite();
    // Whether the journal is kept: there is one and it is on.
    bool IsOn() const;
    // Records one operation; true when it is committed or nothing is to be recorded. A record that could
    // not be committed stays with the recorder and is committed before the next card may be written.
    bool Record(JournalOperation operation, JournalResult result, std::optional<std::uint64_t> cardId,
                const QString& reason = QString(), bool verifyRequested = false);
    bool RecordRefused(std::optional<std::uint64_t> cardId, const QString& reason) {
        return Record(JournalOperation::Write, JournalResult::Refused, cardId, reason);
    }

    // What the journal says of a number.
    struct GoodCardAnswer {
        bool answered = true;                  // false: the journal could not be asked, no card is written
        std::optional<JournalRecord> goodCard; // the good card that holds the number
    };
    // The good card that holds a number about to be written, where duplicates are refused.
    GoodCardAnswer FindGoodCard(std::uint64_t cardId);
    // The good card that holds the number a card on the reader holds: a finished card, whatever
    // duplicates are allowed.
    GoodCardAnswer FindFinishedCard(std::uint64_t cardId);

private:
    CJournalRecorder* m_pRecorder;
    JournalSource m_source;
    std::function<void()> m_fnBeforeFirstRecord;
};
